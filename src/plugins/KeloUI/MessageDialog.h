#pragma once

#include "keloui_global.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QList>
#include <QPointer>
#include <QStringList>

namespace Ui {
class MessageDialog;
}
class QAbstractButton;
class QPlainTextEdit;
class QPushButton;
class ShapeWidget;

// The information and question dialogs of the user interface. One is on screen at a time; the
// others wait in order and follow when it closes. A message never makes its caller wait, so it
// may come from a protocol or state handler; a question waits for its answer and belongs to user
// actions only. The dialogs are frameless, application-modal, named "MessageDialog" (the mask
// dims the main window behind them), kept above the window they belong to, and as large as
// their text needs within the screen.
class KELOUI_EXPORT MessageDialog : public QDialog
{
    Q_OBJECT
public:
    // The icon shown beside the text.
    enum class MessageType : int { NoIcon = 0, Error = 1, Warning = 2, Information = 3, Question = 4 };

    // Returns 0 at once: the message is shown now, or after those already waiting. A message equal
    // to one on screen or waiting is not shown twice, and at most kMaxWaiting wait (the oldest
    // gives way), so an instrument that keeps reporting cannot pile them up without bound.
    static int ShowMessage(const QString& title, const QString& text, int type);
    // Waits for the answer, in a local event loop: the index (0 to 2) of the button clicked among the non-empty texts
    // (an empty first text gives "Ok"), or -1 when the dialog was left with Escape.
    static int Question(const QString& title, const QString& text, int type, const QString& button1,
                        const QString& button2 = QString(), const QString& button3 = QString());
    // Waits for the answer: the standard-button value clicked (NoButton in the first place
    // gives Ok), or NoButton (0) when the dialog was left with Escape.
    static int QuestionEx(const QString& title, const QString& text, int type, QDialogButtonBox::StandardButton button1,
                          QDialogButtonBox::StandardButton button2 = QDialogButtonBox::NoButton,
                          QDialogButtonBox::StandardButton button3 = QDialogButtonBox::NoButton);
    // A question whose yes destroys data (records, the instrument's disk): true only when the
    // person clicked yes, or pressed Space once they had moved the focus to it. The focus starts
    // on no; Return and Enter answer no as Escape does, so a key meant for something else
    // destroys nothing. Empty texts give "是" and "否".
    static bool ConfirmDestructive(const QString& title, const QString& text, int type, const QString& yes = QString(),
                                   const QString& no = QString());
    // A question whose other answers do what cannot be undone: the focus starts on `safe`, and
    // Return, Enter and Escape answer it; any other button takes a click, or Space once the focus
    // was moved to it. Returns the index of the answer among `buttons`.
    static int QuestionSafe(const QString& title, const QString& text, int type, const QStringList& buttons, int safe);

    // A question with buttons of its own: `defaultIndex` takes Return, `escapeIndex` Escape
    // (-1: none). Returns the index of the button clicked, or `escapeIndex` when left with
    // Escape. It stays above `owner`'s window when one is given, else above the active one.
    static int Choose(const QString& title, const QString& text, int type, const QStringList& buttons, int defaultIndex,
                      int escapeIndex, QWidget* owner = nullptr);

    // An editor of a text of several lines in the dialogs' own frame, with 确定 and 取消, placed
    // over `owner`'s window and owned by `owner`. Its caller opens it (open()), so nothing waits
    // for it, and reads editedText() when it finished accepted.
    static MessageDialog* TextEditor(const QString& title, const QString& label, const QString& text, QWidget* owner);
    QString editedText() const;

    // Withdraws the question asked with this text, on screen or waiting its turn, when what it
    // asks about is gone: its caller gets `answer` as if a button had given it. True when there
    // was one. A responder of DialogSeam that withdraws the question it answers (by what it does)
    // gives its caller `answer` too.
    static bool Withdraw(const QString& text, int answer);

    // While DialogSeam has a responder, no dialog is shown: it answers in place of the user.

    // The words the dialogs give a standard button (确定, 是, 否, 取消), in the interface's language.
    static QString buttonText(QDialogButtonBox::StandardButton button);

    static constexpr int kMaxWaiting = 50;
    // Messages waiting behind the one on screen.
    static int waitingCount();

    ~MessageDialog() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MessageDialog();
    void SetMessageType(int type);
    void setTexts(const QString& title, const QString& text);
    int runUntilFinished();
    // Shows the question with its type; the index of the button clicked among m_buttons answers.
    int runByIndex(int type);
    // Shown when its turn comes: above its owner, sized to its text, on the owner's screen.
    void present();
    // Sized to its text and centred over `owner` (or the screen), within the screen.
    void placeOver(QWidget* owner);
    // A standard button in the dialogs' words, without the style's icon.
    QPushButton* addStandardButton(QDialogButtonBox::StandardButton button);
    void fitToText(const QRect& available);
    void relayout();
    static void enqueue(MessageDialog* question, const QString& title, const QString& text, int type);
    static void showNext();

    Ui::MessageDialog* ui;
    ShapeWidget* m_icon;
    int m_result = 0;
    QList<QAbstractButton*> m_buttons;
    QList<int> m_standardButtons;
    bool m_keysAnswerSafe = false;
    QAbstractButton* m_firstFocus = nullptr;
    QString m_text;
    QPointer<QWidget> m_owner;
    QPlainTextEdit* m_editor = nullptr;
};
