#include "StandardMessageBox.h"

#include "DialogSeam.h"
#include "MessageDialog.h"

#include <QMetaEnum>

namespace {
QString standardName(QMessageBox::StandardButton button)
{
    const QMetaObject& mo = QMessageBox::staticMetaObject;
    const QMetaEnum e = mo.enumerator(mo.indexOfEnumerator("StandardButtons"));
    return QString::fromLatin1(e.valueToKey(int(button)));
}

MessageDialog::MessageType typeOf(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Critical:
        return MessageDialog::MessageType::Error;
    case QMessageBox::Warning:
        return MessageDialog::MessageType::Warning;
    case QMessageBox::Information:
        return MessageDialog::MessageType::Information;
    case QMessageBox::Question:
        return MessageDialog::MessageType::Question;
    default:
        return MessageDialog::MessageType::NoIcon;
    }
}

// The button Escape answers where none is named, as the window system's box picks it: Cancel,
// else the only button, else the only one that rejects, else the only one of no role (No).
int escapeOf(const QList<StandardMessageBox::Button>& buttons)
{
    const auto roleOf = [](const StandardMessageBox::Button& b) {
        if (b.standard == QMessageBox::NoButton)
            return b.role;
        switch (b.standard) {
        case QMessageBox::Cancel:
        case QMessageBox::Close:
        case QMessageBox::Abort:
            return QMessageBox::RejectRole;
        case QMessageBox::No:
        case QMessageBox::NoToAll:
            return QMessageBox::NoRole;
        default:
            return QMessageBox::AcceptRole;
        }
    };
    for (int i = 0; i < buttons.size(); ++i)
        if (buttons.at(i).standard == QMessageBox::Cancel)
            return i;
    if (buttons.size() == 1)
        return 0;
    for (QMessageBox::ButtonRole role : {QMessageBox::RejectRole, QMessageBox::NoRole}) {
        int found = -1;
        for (int i = 0; i < buttons.size(); ++i) {
            if (roleOf(buttons.at(i)) != role)
                continue;
            found = found < 0 ? i : -2;
        }
        if (found >= 0)
            return found;
    }
    return -1;
}
} // namespace

int StandardMessageBox::ask(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                            const QList<Button>& buttons, int defaultIndex, int escapeIndex)
{
    if (DialogSeam::answering()) {
        DialogSeam::Request request;
        request.kind = DialogSeam::Request::Box;
        request.parent = parent;
        request.icon = icon;
        request.title = title;
        request.text = text;
        for (const Button& b : buttons)
            request.buttons << (b.standard != QMessageBox::NoButton ? standardName(b.standard) : b.text);
        request.defaultIndex = defaultIndex;
        request.escapeIndex = escapeIndex;
        return DialogSeam::answer(request).button;
    }

    // The program's own dialog, in the look of every other message.
    QStringList texts;
    for (const Button& b : buttons)
        texts << (b.standard != QMessageBox::NoButton
                      ? MessageDialog::buttonText(QDialogButtonBox::StandardButton(int(b.standard)))
                      : b.text);
    return MessageDialog::Choose(title, text, int(typeOf(icon)), texts, defaultIndex,
                                 escapeIndex >= 0 ? escapeIndex : escapeOf(buttons), parent);
}

void StandardMessageBox::tell(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    if (DialogSeam::answering()) {
        ask(parent, icon, title, text, {QMessageBox::Ok});
        return;
    }
    MessageDialog::ShowMessage(title, text, int(typeOf(icon)));
}
