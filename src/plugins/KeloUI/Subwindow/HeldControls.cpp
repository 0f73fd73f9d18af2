#include "HeldControls.h"

#include <utility>

namespace {
void letGo(QWidget* control)
{
    control->setToolTip(QString());
    control->setEnabled(true);
}
} // namespace

HeldControls::HeldControls(Reason reason)
    : m_reason(std::move(reason))
{}

void HeldControls::hold(QWidget* control, int code)
{
    const QString reason = m_reason(code);
    for (const auto& held : qAsConst(m_held))
        if (held.first == control) {
            control->setToolTip(reason);
            return;
        }
    if (reason.isEmpty() || !control->isEnabled())
        return;
    control->setEnabled(false);
    control->setToolTip(reason);
    m_held.append({control, code});
}

void HeldControls::leave(QWidget* control)
{
    for (int i = 0; i < m_held.size(); ++i)
        if (m_held.at(i).first == control)
            m_held.removeAt(i--);
}

void HeldControls::release()
{
    for (int i = 0; i < m_held.size();) {
        QWidget* control = m_held.at(i).first;
        const QString reason = control ? m_reason(m_held.at(i).second) : QString();
        if (control && !reason.isEmpty()) {
            control->setToolTip(reason);
            ++i;
            continue;
        }
        if (control)
            letGo(control);
        m_held.removeAt(i);
    }
}

void HeldControls::releaseAll()
{
    for (const auto& held : qAsConst(m_held))
        if (held.first)
            letGo(held.first);
    m_held.clear();
}
