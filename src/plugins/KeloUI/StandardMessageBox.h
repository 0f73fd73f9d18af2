#pragma once

#include "keloui_global.h"

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

// The window system's own message box, for the windows that use it rather than MessageDialog
// (the local backup list and record import). One call shows one box and waits for the answer.
class KELOUI_EXPORT StandardMessageBox
{
public:
    // A button of the box: a standard one, or one with its own text and role.
    struct Button
    {
        QMessageBox::StandardButton standard = QMessageBox::NoButton;
        QString text;
        QMessageBox::ButtonRole role = QMessageBox::AcceptRole;

        Button(QMessageBox::StandardButton s) : standard(s) {}
        Button(const QString& t, QMessageBox::ButtonRole r = QMessageBox::AcceptRole) : text(t), role(r) {}
    };

    // Shows the box with the buttons in order and returns the index of the one clicked, or -1
    // when the box was left another way. -1 as default or escape index sets none.
    static int ask(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                   const QList<Button>& buttons, int defaultIndex = -1, int escapeIndex = -1);

    // Test seam: while a responder is set no box is shown; each request goes to it and its
    // answer is returned in place of the user's.
    struct Request
    {
        QWidget* parent = nullptr;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QStringList buttons; // own texts as given, standard buttons by name ("Ok", "Cancel", ...)
        int defaultIndex = -1;
        int escapeIndex = -1;
    };
    using Responder = std::function<int(const Request&)>;
    static void setResponder(Responder responder);
};
