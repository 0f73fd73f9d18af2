#include "StandardMessageBox.h"

#include "DialogSeam.h"
#include "MessageDialog.h"

#include <QMetaEnum>
#include <QPushButton>

namespace {
QString standardName(QMessageBox::StandardButton button)
{
    const QMetaObject& mo = QMessageBox::staticMetaObject;
    const QMetaEnum e = mo.enumerator(mo.indexOfEnumerator("StandardButtons"));
    return QString::fromLatin1(e.valueToKey(int(button)));
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

    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> made;
    for (const Button& b : buttons) {
        if (b.standard != QMessageBox::NoButton)
            made << box.addButton(b.standard);
        else
            made << box.addButton(b.text, b.role);
    }
    if (defaultIndex >= 0 && defaultIndex < made.size())
        box.setDefaultButton(qobject_cast<QPushButton*>(made.at(defaultIndex)));
    if (escapeIndex >= 0 && escapeIndex < made.size())
        box.setEscapeButton(made.at(escapeIndex));
    box.exec();
    return made.indexOf(box.clickedButton());
}

void StandardMessageBox::tell(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    if (DialogSeam::answering()) {
        ask(parent, icon, title, text, {QMessageBox::Ok});
        return;
    }
    MessageDialog::MessageType type = MessageDialog::MessageType::NoIcon;
    switch (icon) {
    case QMessageBox::Critical:
        type = MessageDialog::MessageType::Error;
        break;
    case QMessageBox::Warning:
        type = MessageDialog::MessageType::Warning;
        break;
    case QMessageBox::Information:
        type = MessageDialog::MessageType::Information;
        break;
    case QMessageBox::Question:
        type = MessageDialog::MessageType::Question;
        break;
    default:
        break;
    }
    MessageDialog::ShowMessage(title, text, int(type));
}
