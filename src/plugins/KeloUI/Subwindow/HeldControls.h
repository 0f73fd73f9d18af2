#pragma once

#include "keloui_global.h"

#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

// The controls a page holds off while a request of their kind is open, each showing why
// ("等待设备应答…", "正在核对…"). A control the page's layout left off is the layout's: it is not
// held, and only the layout lets it go.
class KELOUI_EXPORT HeldControls
{
public:
    // Why a control that sends `code` is held, or empty when nothing of its kind is open.
    using Reason = std::function<QString(int code)>;
    explicit HeldControls(Reason reason);

    // Holds the control while its kind is open; one already held shows the reason as it now is.
    void hold(QWidget* control, int code);
    // Gives the control back to the layout as it stands, not held any more.
    void leave(QWidget* control);
    // Lets go of the controls whose kinds are no longer open; the rest show their reason anew.
    void release();
    // Lets go of every control held.
    void releaseAll();

private:
    Reason m_reason;
    QList<QPair<QPointer<QWidget>, int>> m_held;
};
