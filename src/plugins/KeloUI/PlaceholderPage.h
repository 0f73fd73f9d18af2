#pragma once

#include "keloui_global.h"

#include <QWidget>

class QLabel;

// Stands in for a page or window that is not built yet and says so where the user looks.
class KELOUI_EXPORT PlaceholderPage : public QWidget
{
    Q_OBJECT
public:
    PlaceholderPage(const QString& title, const QString& objectName, QWidget* parent = nullptr);

    QString notice() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    QLabel* m_heading = nullptr;
    QLabel* m_notice;
};
