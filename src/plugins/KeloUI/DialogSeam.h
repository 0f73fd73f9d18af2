#pragma once

#include "keloui_global.h"

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Every message box and file dialog of the user interface passes here. Without a responder the
// window system's dialogs (or MessageDialog) are shown; while one is set (the tests set one)
// nothing is shown: each request goes to it and its answer stands for the user's.
class KELOUI_EXPORT DialogSeam
{
public:
    struct Request
    {
        enum Kind {
            Show,        // MessageDialog::ShowMessage
            Ask,         // MessageDialog::Question: `buttons` holds the texts of its buttons
            AskStandard, // MessageDialog::QuestionEx: `standardButtons` holds its buttons
            Box,         // StandardMessageBox: own texts as given, standard buttons by name ("Ok", ...)
            OpenFile,    // the file dialogs: `title` is the caption, `directory` where it opens
            OpenFiles,
            SaveFile,
            Directory
        };
        Kind kind = Show;
        QWidget* parent = nullptr;
        QString title;
        QString text;
        int type = 0; // MessageDialog's message type
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        QList<int> standardButtons;
        int defaultIndex = -1;
        int escapeIndex = -1;
        // A question whose first button destroys data (MessageDialog::ConfirmDestructive).
        bool destructive = false;
        QString directory;
        QString filter;

        bool isFileDialog() const { return kind >= OpenFile; }
    };
    // For a message, the index (Ask, Box) or value (AskStandard) of the button pressed; for a
    // file dialog the paths chosen, none when it was cancelled.
    struct Answer
    {
        int button = 0;
        QStringList paths;

        Answer(int b = 0)
            : button(b)
        {}
        Answer(const QStringList& p)
            : paths(p)
        {}
        Answer(const QString& p)
            : paths(p.isEmpty() ? QStringList() : QStringList(p))
        {}
    };
    using Responder = std::function<Answer(const Request&)>;
    static void setResponder(Responder responder);
    // True while a responder answers in place of the user.
    static bool answering();
    static Answer answer(const Request& request);

    // The file dialogs; an empty result is a cancelled dialog.
    static QString openFileName(QWidget* parent, const QString& caption, const QString& directory,
                                const QString& filter = QString());
    static QStringList openFileNames(QWidget* parent, const QString& caption, const QString& directory);
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& directory,
                                const QString& filter = QString());
    static QString existingDirectory(QWidget* parent, const QString& caption, const QString& directory);
};
