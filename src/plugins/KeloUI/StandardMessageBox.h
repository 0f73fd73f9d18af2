#pragma once

#include "keloui_global.h"

#include <QList>
#include <QMessageBox>
#include <QString>

// The questions and messages of the windows that name their buttons as the window system's
// message box does (the local record windows, the scene files, the extension panel, ...). They
// show as MessageDialog, in the look of every other message. One question waits for its answer.
class KELOUI_EXPORT StandardMessageBox
{
public:
    // A button of the box: a standard one, or one with its own text and role.
    struct Button
    {
        QMessageBox::StandardButton standard = QMessageBox::NoButton;
        QString text;
        QMessageBox::ButtonRole role = QMessageBox::AcceptRole;

        Button(QMessageBox::StandardButton s)
            : standard(s)
        {}
        Button(const QString& t, QMessageBox::ButtonRole r = QMessageBox::AcceptRole)
            : text(t)
            , role(r)
        {}
    };

    // Shows the question with the buttons in order and returns the index of the one clicked, or
    // -1 when it was left another way. -1 as default index sets none; -1 as escape index lets
    // Escape answer as the window system's box would (Cancel, a lone button, the one that
    // rejects). While
    // DialogSeam has a responder, no box is shown: it answers in place of the user.
    static int ask(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                   const QList<Button>& buttons, int defaultIndex = -1, int escapeIndex = -1);
    // One OK box that does not wait: it joins MessageDialog's queue (one on screen, the rest in
    // turn, the number waiting bounded), so what the instrument reports never holds its caller
    // in a modal loop. While DialogSeam has a responder it gets the same request as ask().
    static void tell(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text);
};
