#pragma once

#include "keloui_global.h"

#include <QObject>
#include <QStringList>

#include <functional>

// Makes the watched widget a drop target for files: every drag is accepted, and a drop hands
// the handler the dropped paths in order.
class KELOUI_EXPORT SimpleDropEvent : public QObject
{
public:
    using Handler = std::function<void(QObject* owner, const QStringList& paths)>;

    SimpleDropEvent(QObject* parent, QObject* owner, Handler handler);

    // The paths of a drop's text: one per non-empty line, each "file:///" URL made a local
    // path ("file:///C:/a.zip" gives "C:/a.zip", "file:///tmp/a.zip" gives "/tmp/a.zip").
    static QStringList pathsOf(const QString& mimeText);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* m_owner;
    Handler m_handler;
};
