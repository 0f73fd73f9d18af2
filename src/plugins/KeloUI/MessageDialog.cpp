#include "MessageDialog.h"

#include "ShapeWidget.h"
#include "StyleSheetLoader.h"
#include "ui_MessageDialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMutex>
#include <QPushButton>
#include <QTimer>

namespace {
// The turn: held from the creation of a dialog until it is finished. Every caller is in the GUI
// thread, so this is a flag that also keeps a second request of the same thread out.
QMutex g_turn;
MessageDialog::Responder g_responder;

void waitForTurn()
{
    while (!g_turn.tryLock()) {
        QEventLoop loop;
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
    }
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
        *look = {QColor(255, 255, 255), QColor(0, 85, 255), "!", ShapeWidget::Circle};
        return true;
    case 4:
        *look = {QColor(0, 0, 0), QColor(255, 170, 0), "?", ShapeWidget::Circle};
        return true;
    default:
        return false;
    }
}
} // namespace

void MessageDialog::setResponder(Responder responder)
{
    g_responder = std::move(responder);
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

void MessageDialog::setTexts(const QString& title, const QString& text)
{
    ui->title->setText(title);
    ui->content->setText(text);
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

int MessageDialog::runUntilFinished()
{
    QEventLoop loop;
    // The turn is given back as soon as the user has answered, not when this caller's loop
    // returns: a message requested from inside the question's loop (a timer, a reply) waits in
    // a loop nested above this one, and would otherwise never get its turn.
    connect(this, &QDialog::finished, &loop, [&loop] {
        g_turn.unlock();
        loop.quit();
    });
    show();
    loop.exec();
    const int answer = m_result;
    deleteLater();
    return answer;
}

int MessageDialog::ShowMessage(const QString& title, const QString& text, int type)
{
    if (g_responder) {
        Request r;
        r.kind = Request::Show;
        r.title = title;
        r.text = text;
        r.type = type;
        r.buttons = QStringList(QStringLiteral("OK"));
        g_responder(r);
        return 0;
    }
    waitForTurn();
    auto* dialog = new MessageDialog;
    connect(dialog, &QDialog::finished, dialog, [dialog] {
        g_turn.unlock();
        dialog->deleteLater();
    });
    dialog->setTexts(title, text);
    dialog->SetMessageType(type);
    dialog->show();
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
    if (g_responder) {
        Request r;
        r.kind = Request::Ask;
        r.title = title;
        r.text = text;
        r.type = type;
        r.buttons = texts;
        return g_responder(r);
    }
    waitForTurn();
    auto* dialog = new MessageDialog;
    dialog->setTexts(title, text);
    dialog->ui->buttonBox->clear();
    for (const QString& t : qAsConst(texts))
        dialog->m_buttons << dialog->ui->buttonBox->addButton(t, QDialogButtonBox::AcceptRole);
    // Escape leaves without a click: that is no answer, which every caller takes as cancel.
    dialog->m_result = -1;
    connect(dialog->ui->buttonBox, &QDialogButtonBox::clicked, dialog,
            [dialog](QAbstractButton* button) { dialog->m_result = dialog->m_buttons.indexOf(button); },
            Qt::DirectConnection);
    dialog->SetMessageType(type);
    return dialog->runUntilFinished();
}

int MessageDialog::QuestionEx(const QString& title, const QString& text, int type,
                              QDialogButtonBox::StandardButton button1,
                              QDialogButtonBox::StandardButton button2,
                              QDialogButtonBox::StandardButton button3)
{
    QList<int> standard{button1 == QDialogButtonBox::NoButton ? int(QDialogButtonBox::Ok) : int(button1)};
    if (button2 != QDialogButtonBox::NoButton)
        standard << int(button2);
    if (button3 != QDialogButtonBox::NoButton)
        standard << int(button3);
    if (g_responder) {
        Request r;
        r.kind = Request::AskStandard;
        r.title = title;
        r.text = text;
        r.type = type;
        r.standardButtons = standard;
        return g_responder(r);
    }
    waitForTurn();
    auto* dialog = new MessageDialog;
    dialog->setTexts(title, text);
    dialog->ui->buttonBox->clear();
    dialog->m_standardButtons = standard;
    for (int b : qAsConst(standard))
        dialog->m_buttons << dialog->ui->buttonBox->addButton(QDialogButtonBox::StandardButton(b));
    connect(dialog->ui->buttonBox, &QDialogButtonBox::clicked, dialog,
            [dialog](QAbstractButton* button) {
                const int i = dialog->m_buttons.indexOf(button);
                dialog->m_result = i < 0 ? -1 : dialog->m_standardButtons.at(i);
            },
            Qt::DirectConnection);
    dialog->SetMessageType(type);
    return dialog->runUntilFinished();
}
