#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Receives the URLs a window hands to the desktop, in place of the desktop: install it with
// QDesktopServices::setUrlHandler(scheme, &catcher, "open").
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url);
};
