#include "MessageDialog.h"

#include "DialogSeam.h"

#include "ShapeWidget.h"
#include "StyleSheetLoader.h"
#include "ui_MessageDialog.h"

#include "MaskWidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QIcon>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <climits>
#include <utility>

namespace {
// What the test responder gets in place of the dialog the user would see.
DialogSeam::Request seamRequest(DialogSeam::Request::Kind kind, const QString& title, const QString& text, int type)
{
    DialogSeam::Request r;
    r.kind = kind;
    r.title = title;
    r.text = text;
    r.type = type;
    return r;
}

// A request waiting for its turn: a message (text only) or a question built by its waiting caller.
struct Waiting
{
    QPointer<MessageDialog> question;
    bool isQuestion = false;
    QString title;
    QString text;
    int type = 0;
};

QPointer<MessageDialog> g_onScreen;
// The questions whose callers wait, and the one a test responder is answering with its withdrawal.
QList<QPointer<MessageDialog>> g_questions;
QString g_seamQuestion;
bool g_seamWithdrawn = false;
int g_seamWithdrawAnswer = 0;
QString g_onScreenKey;
QList<Waiting> g_waiting;

QString keyOf(const QString& title, const QString& text, int type)
{
    return QString::number(type) + QLatin1Char('\x1f') + title + QLatin1Char('\x1f') + text;
}

// The window a message belongs to: the one the user works in, or else the main window.
QWidget* ownerWindow()
{
    QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible() && active->objectName() != QLatin1String("MessageDialog")
        && active != MaskWidget::instance())
        return active;
    QWidget* main = MaskWidget::instance()->mainWidget();
    return main && main->isVisible() ? main : nullptr;
}

struct TypeLook
{
    QColor text;
    QColor shape;
    const char* symbol;
    int shapeKind;
};

bool lookOf(int type, TypeLook* look)
{
    switch (type) {
    case 1:
        *look = {QColor(255, 255, 255), QColor(230, 20, 20), "\u00D7", ShapeWidget::Circle};
        return true;
    case 2:
        *look = {QColor(0, 0, 0), QColor(235, 235, 20), "!", ShapeWidget::Triangle};
        return true;
    case 3:
        *look = {QColor(255, 255, 255), QColor(0, 85, 255), "i", ShapeWidget::Circle};
        return true;
    case 4:
        *look = {QColor(0, 0, 0), QColor(255, 170, 0), "?", ShapeWidget::Circle};
        return true;
    default:
        return false;
    }
}
} // namespace

int MessageDialog::waitingCount()
{
    return g_waiting.size();
}

MessageDialog::MessageDialog()
    : QDialog(nullptr)
    , ui(new Ui::MessageDialog)
{
    ui->setupUi(this);
    setWindowTitle(tr("信息"));
    setWindowFlag(Qt::FramelessWindowHint, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setWindowModality(Qt::ApplicationModal);
    StyleSheetLoader::apply(this, QStringLiteral("silvery.css"));
    m_icon = new ShapeWidget(ui->widget_icon);
    m_icon->setFixedSize(ui->widget_icon->size().expandedTo(ui->widget_icon->minimumSize()));
    // The text scrolls only when it is longer than the screen; the body's colour shows through.
    ui->scrollArea_content->viewport()->setAutoFillBackground(false);
    ui->scrollAreaWidgetContents->setAutoFillBackground(false);
    // The form's own button reads as every other: the interface's word, no icon of the style's.
    ui->buttonBox->clear();
    addStandardButton(QDialogButtonBox::Ok);
}

QPushButton* MessageDialog::addStandardButton(QDialogButtonBox::StandardButton button)
{
    QPushButton* b = ui->buttonBox->addButton(button);
    b->setText(buttonText(button));
    b->setIcon(QIcon());
    return b;
}

MessageDialog::~MessageDialog()
{
    delete ui;
}

void MessageDialog::closeEvent(QCloseEvent* event)
{
    // Only the buttons (or Escape) end a message; the window system cannot.
    event->ignore();
}

void MessageDialog::keyPressEvent(QKeyEvent* event)
{
    if (m_keysAnswerSafe && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool MessageDialog::eventFilter(QObject* watched, QEvent* event)
{
    // A focused button, or the one the button box made the default on showing, would take
    // Return as its own click.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (m_keysAnswerSafe && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void MessageDialog::setTexts(const QString& title, const QString& text)
{
    ui->title->setText(title);
    ui->content->setText(text);
    m_text = text;
}

void MessageDialog::SetMessageType(int type)
{
    if (type == 0) {
        ui->spacer_iconGap->changeSize(0, 0, QSizePolicy::Minimum, QSizePolicy::Minimum);
        ui->widget_icon->hide();
        m_icon->hide();
        ui->gridLayout->invalidate();
        return;
    }
    TypeLook look;
    if (!lookOf(type, &look))
        return;
    m_icon->setTextColor(look.text);
    m_icon->setShapeColor(look.shape);
    m_icon->setText(QString::fromUtf8(look.symbol));
    m_icon->setShape(look.shapeKind);
    m_icon->show();
    ui->spacer_iconGap->changeSize(20, 20, QSizePolicy::Minimum, QSizePolicy::Minimum);
    ui->widget_icon->show();
    ui->gridLayout->invalidate();
}

void MessageDialog::relayout()
{
    // Before the dialog is shown nothing passes a child's new size up to the window's layout:
    // the body says it changed, and the layout works its limits out at once.
    ui->gridLayout->invalidate();
    ui->BackgroundWidget->updateGeometry();
    layout()->activate();
}

void MessageDialog::fitToText(const QRect& available)
{
    ensurePolished();
    QLabel* label = ui->content;
    label->ensurePolished();
    const QFontMetrics fm(label->font());
    const int em = qMax(1, fm.horizontalAdvance(QChar(0x4E2D)));
    // Lines of about thirty characters read well; the icon, margins and frame need the rest.
    const int readable = qMax(em * 8, qMin(em * 32, available.width() * 3 / 5));
    const QRect natural =
        fm.boundingRect(QRect(0, 0, readable, INT_MAX), Qt::TextWordWrap | Qt::TextExpandTabs, label->text());
    const int frameWidth = label->width() - label->contentsRect().width() + 2 * label->margin();
    int labelWidth = qMax(em * 10, qMin(readable, natural.width() + 1)) + frameWidth;
    // The label lays text out a little differently from the font's own measure: widen it until
    // it breaks no more lines than it would at the full readable width.
    const int fewestLines = label->heightForWidth(readable + frameWidth);
    while (labelWidth < readable + frameWidth && label->heightForWidth(labelWidth) > fewestLines)
        labelWidth += qMax(1, em / 2);
    label->setMinimumWidth(labelWidth);
    const int labelHeight = label->heightForWidth(labelWidth);
    QScrollArea* area = ui->scrollArea_content;
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setFixedSize(labelWidth, labelHeight);
    relayout();
    QSize size = sizeHint().expandedTo(minimumSizeHint());
    // A text longer than the screen scrolls inside the dialog; the dialog itself stays on it.
    const int room = available.height() * 9 / 10;
    if (size.height() > room) {
        const int areaHeight = qMax(em * 3, labelHeight - (size.height() - room));
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        area->setFixedSize(labelWidth + area->verticalScrollBar()->sizeHint().width(), areaHeight);
        relayout();
        size = sizeHint().expandedTo(minimumSizeHint());
    }
    resize(size.boundedTo(available.size()));
}

void MessageDialog::present()
{
    QWidget* owner = m_owner && m_owner->isVisible() ? m_owner.data() : ownerWindow();
    if (owner) {
        // A child dialog stays above its owner, which may raise itself on a state change.
        setParent(owner, windowFlags());
    }
    placeOver(owner);
    show();
    raise();
    activateWindow();
    // Taken by a new parent, the focus is set where it belongs once shown.
    if (m_firstFocus)
        m_firstFocus->setFocus();
}

void MessageDialog::placeOver(QWidget* owner)
{
    QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    fitToText(available);
    QRect frame(QPoint(), size());
    frame.moveCenter(owner ? owner->frameGeometry().center() : available.center());
    frame.moveLeft(
        qBound(available.left(), frame.left(), qMax(available.left(), available.right() - frame.width() + 1)));
    frame.moveTop(qBound(available.top(), frame.top(), qMax(available.top(), available.bottom() - frame.height() + 1)));
    move(frame.topLeft());
}

void MessageDialog::enqueue(MessageDialog* question, const QString& title, const QString& text, int type)
{
    Waiting w;
    w.question = question;
    w.isQuestion = question != nullptr;
    w.title = title;
    w.text = text;
    w.type = type;
    if (!w.isQuestion) {
        const QString key = keyOf(title, text, type);
        if (g_onScreen && g_onScreenKey == key)
            return;
        for (const Waiting& other : qAsConst(g_waiting)) {
            if (!other.isQuestion && keyOf(other.title, other.text, other.type) == key)
                return;
        }
        if (g_waiting.size() >= kMaxWaiting) {
            for (int i = 0; i < g_waiting.size(); ++i) {
                if (!g_waiting.at(i).isQuestion) {
                    g_waiting.removeAt(i);
                    break;
                }
            }
        }
    }
    g_waiting.append(w);
    showNext();
}

void MessageDialog::showNext()
{
    if (g_onScreen)
        return;
    while (!g_waiting.isEmpty()) {
        const Waiting w = g_waiting.takeFirst();
        MessageDialog* dialog = w.question.data();
        if (w.isQuestion && !dialog)
            continue; // its caller is gone
        if (!dialog) {
            dialog = new MessageDialog;
            dialog->setTexts(w.title, w.text);
            dialog->SetMessageType(w.type);
            connect(dialog, &QDialog::finished, dialog, [dialog] { dialog->deleteLater(); });
        }
        g_onScreen = dialog;
        g_onScreenKey = w.isQuestion ? QString() : keyOf(w.title, w.text, w.type);
        connect(dialog, &QDialog::finished, dialog, [dialog] {
            if (g_onScreen == dialog)
                g_onScreen.clear();
            showNext();
        });
        // An owner closed under an open message takes the message with it; the next one follows.
        connect(dialog, &QObject::destroyed, qApp, [] { QTimer::singleShot(0, qApp, &MessageDialog::showNext); });
        dialog->present();
        return;
    }
}

bool MessageDialog::Withdraw(const QString& text, int answer)
{
    if (DialogSeam::answering() && !g_seamQuestion.isNull() && g_seamQuestion == text) {
        g_seamWithdrawn = true;
        g_seamWithdrawAnswer = answer;
        return true;
    }
    bool found = false;
    for (const QPointer<MessageDialog>& q : QList<QPointer<MessageDialog>>(g_questions)) {
        if (!q || q->m_text != text)
            continue;
        for (int i = g_waiting.size() - 1; i >= 0; --i) {
            if (g_waiting.at(i).question == q)
                g_waiting.removeAt(i);
        }
        q->m_result = answer;
        q->done(QDialog::Rejected);
        found = true;
    }
    return found;
}

int MessageDialog::runUntilFinished()
{
    QPointer<MessageDialog> self(this);
    g_questions.append(self);
    // What the caller gets when no button answers (Escape, or the owner closed under it).
    const int noAnswer = m_result;
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    enqueue(this, QString(), QString(), 0);
    loop.exec();
    g_questions.removeAll(self);
    g_questions.removeAll(QPointer<MessageDialog>());
    if (!self)
        return noAnswer;
    const int answer = m_result;
    deleteLater();
    return answer;
}

int MessageDialog::runByIndex(int type)
{
    connect(
        ui->buttonBox, &QDialogButtonBox::clicked, this,
        [this](QAbstractButton* button) { m_result = m_buttons.indexOf(button); }, Qt::DirectConnection);
    SetMessageType(type);
    return runUntilFinished();
}

int MessageDialog::ShowMessage(const QString& title, const QString& text, int type)
{
    if (DialogSeam::answering()) {
        DialogSeam::Request r = seamRequest(DialogSeam::Request::Show, title, text, type);
        r.buttons = QStringList(QStringLiteral("OK"));
        DialogSeam::answer(r);
        return 0;
    }
    enqueue(nullptr, title, text, type);
    return 0;
}

int MessageDialog::Question(const QString& title, const QString& text, int type, const QString& button1,
                            const QString& button2, const QString& button3)
{
    QStringList texts{button1.isEmpty() ? QStringLiteral("Ok") : button1};
    if (!button2.isEmpty())
        texts << button2;
    if (!button3.isEmpty())
        texts << button3;
    if (DialogSeam::answering()) {
        DialogSeam::Request r = seamRequest(DialogSeam::Request::Ask, title, text, type);
        r.buttons = texts;
        return DialogSeam::answer(r).button;
    }
    auto* dialog = new MessageDialog;
    dialog->setTexts(title, text);
    dialog->ui->buttonBox->clear();
    for (const QString& t : qAsConst(texts))
        dialog->m_buttons << dialog->ui->buttonBox->addButton(t, QDialogButtonBox::AcceptRole);
    // Escape leaves without a click: that is no answer, which every caller takes as cancel.
    dialog->m_result = -1;
    return dialog->runByIndex(type);
}

int MessageDialog::QuestionEx(const QString& title, const QString& text, int type,
                              QDialogButtonBox::StandardButton button1, QDialogButtonBox::StandardButton button2,
                              QDialogButtonBox::StandardButton button3)
{
    QList<int> standard{button1 == QDialogButtonBox::NoButton ? int(QDialogButtonBox::Ok) : int(button1)};
    if (button2 != QDialogButtonBox::NoButton)
        standard << int(button2);
    if (button3 != QDialogButtonBox::NoButton)
        standard << int(button3);
    if (DialogSeam::answering()) {
        DialogSeam::Request r = seamRequest(DialogSeam::Request::AskStandard, title, text, type);
        r.standardButtons = standard;
        return DialogSeam::answer(r).button;
    }
    auto* dialog = new MessageDialog;
    dialog->setTexts(title, text);
    dialog->ui->buttonBox->clear();
    dialog->m_standardButtons = standard;
    for (int b : qAsConst(standard))
        dialog->m_buttons << dialog->addStandardButton(QDialogButtonBox::StandardButton(b));
    connect(
        dialog->ui->buttonBox, &QDialogButtonBox::clicked, dialog,
        [dialog](QAbstractButton* button) {
            const int i = dialog->m_buttons.indexOf(button);
            dialog->m_result = i < 0 ? -1 : dialog->m_standardButtons.at(i);
        },
        Qt::DirectConnection);
    dialog->SetMessageType(type);
    return dialog->runUntilFinished();
}

MessageDialog* MessageDialog::TextEditor(const QString& title, const QString& label, const QString& text,
                                         QWidget* owner)
{
    auto* dialog = new MessageDialog;
    if (owner)
        dialog->setParent(owner, dialog->windowFlags());
    dialog->setWindowTitle(title);
    dialog->setTexts(title, label);
    dialog->SetMessageType(0);
    dialog->ui->buttonBox->clear();
    dialog->addStandardButton(QDialogButtonBox::Ok);
    dialog->addStandardButton(QDialogButtonBox::Cancel);
    auto* editor = new QPlainTextEdit(dialog->ui->BackgroundWidget);
    editor->setObjectName(QStringLiteral("textEdit_value"));
    editor->setPlainText(text);
    editor->ensurePolished();
    // Room for a few lines of a remark; longer ones scroll.
    const QFontMetrics fm(editor->font());
    editor->setMinimumSize(fm.horizontalAdvance(QChar(0x4E2D)) * 24, fm.lineSpacing() * 6);
    // Under the label, in the text's column.
    dialog->ui->gridLayout->addWidget(editor, 2, 3);
    editor->setFocus();
    dialog->m_editor = editor;
    dialog->placeOver(owner ? owner->window() : nullptr);
    return dialog;
}

QString MessageDialog::editedText() const
{
    return m_editor ? m_editor->toPlainText() : QString();
}

QString MessageDialog::buttonText(QDialogButtonBox::StandardButton button)
{
    switch (button) {
    case QDialogButtonBox::Ok:
        return tr("确定");
    case QDialogButtonBox::Yes:
        return tr("是");
    case QDialogButtonBox::No:
        return tr("否");
    case QDialogButtonBox::Cancel:
        return tr("取消");
    default: {
        // Any other keeps the window system's own words.
        QDialogButtonBox box;
        return box.addButton(button)->text();
    }
    }
}

int MessageDialog::Choose(const QString& title, const QString& text, int type, const QStringList& buttons,
                          int defaultIndex, int escapeIndex, QWidget* owner)
{
    if (DialogSeam::answering()) {
        DialogSeam::Request r = seamRequest(DialogSeam::Request::Ask, title, text, type);
        r.buttons = buttons;
        r.defaultIndex = defaultIndex;
        r.escapeIndex = escapeIndex;
        return DialogSeam::answer(r).button;
    }
    auto* dialog = new MessageDialog;
    dialog->setTexts(title, text);
    dialog->ui->buttonBox->clear();
    for (int i = 0; i < buttons.size(); ++i) {
        QPushButton* b = dialog->ui->buttonBox->addButton(
            buttons.at(i), i == escapeIndex ? QDialogButtonBox::RejectRole : QDialogButtonBox::AcceptRole);
        b->setDefault(i == defaultIndex);
        dialog->m_buttons << b;
    }
    dialog->m_firstFocus = dialog->m_buttons.value(defaultIndex);
    dialog->m_owner = owner ? owner->window() : nullptr;
    dialog->m_result = escapeIndex;
    return dialog->runByIndex(type);
}

bool MessageDialog::ConfirmDestructive(const QString& title, const QString& text, int type, const QString& yes,
                                       const QString& no)
{
    return QuestionSafe(title, text, type, {yes.isEmpty() ? tr("是") : yes, no.isEmpty() ? tr("否") : no}, 1) == 0;
}

int MessageDialog::QuestionSafe(const QString& title, const QString& text, int type, const QStringList& buttons,
                                int safe)
{
    if (DialogSeam::answering()) {
        DialogSeam::Request r = seamRequest(DialogSeam::Request::Ask, title, text, type);
        r.buttons = buttons;
        r.destructive = true;
        r.escapeIndex = safe;
        const QString outer = std::exchange(g_seamQuestion, text);
        g_seamWithdrawn = false;
        const int answer = DialogSeam::answer(r).button;
        g_seamQuestion = outer;
        return std::exchange(g_seamWithdrawn, false) ? g_seamWithdrawAnswer : answer;
    }
    auto* dialog = new MessageDialog;
    dialog->setTexts(title, text);
    dialog->ui->buttonBox->clear();
    for (int i = 0; i < buttons.size(); ++i) {
        QPushButton* b = dialog->ui->buttonBox->addButton(buttons.at(i), i == safe ? QDialogButtonBox::RejectRole
                                                                                   : QDialogButtonBox::AcceptRole);
        b->setAutoDefault(false);
        b->installEventFilter(dialog);
        dialog->m_buttons << b;
    }
    QAbstractButton* safeButton = dialog->m_buttons.value(safe);
    dialog->m_firstFocus = safeButton;
    // Tab goes from the safe answer to the others in their order.
    QWidget* previous = safeButton;
    for (QAbstractButton* b : qAsConst(dialog->m_buttons)) {
        if (b == safeButton || !previous)
            continue;
        QWidget::setTabOrder(previous, b);
        previous = b;
    }
    dialog->m_keysAnswerSafe = true;
    dialog->m_result = safe;
    return dialog->runByIndex(type);
}
