#include <UiTestSupport.h>

#include <MessageDialog.h>
#include <ShapeWidget.h>

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {
QList<QWidget*> openDialogs()
{
    return UiTest::visibleWindows(QStringLiteral("MessageDialog"));
}

QList<QAbstractButton*> buttonsOf(QWidget* dialog)
{
    return dialog->findChild<QDialogButtonBox*>("buttonBox")->buttons();
}

QAbstractButton* buttonWithText(QWidget* dialog, const QString& text)
{
    for (QAbstractButton* b : buttonsOf(dialog)) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

// Runs `step` from the event loop once a dialog is open; the dialog calls block until then.
void whenOpen(std::function<void(QWidget*)> step)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        const auto dialogs = openDialogs();
        if (dialogs.isEmpty())
            return;
        timer->stop();
        timer->deleteLater();
        step(dialogs.first());
    });
    timer->start();
}

void closeAll()
{
    for (QWidget* d : openDialogs())
        QTest::mouseClick(buttonsOf(d).first(), Qt::LeftButton);
    QTRY_VERIFY(openDialogs().isEmpty());
}
} // namespace

class tst_MessageDialog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        MessageDialog::setResponder(nullptr);
        closeAll();
    }

    void showMessageReturnsAtOnceWithTextsAndOk()
    {
        TestAppDir app;
        UiTest::stageThemes(app);
        QCOMPARE(MessageDialog::ShowMessage("提示", "记录已删除", 3), 0);
        const auto dialogs = openDialogs();
        QCOMPARE(dialogs.size(), 1);
        QWidget* d = dialogs.first();
        QCOMPARE(d->findChild<QLabel*>("title")->text(), QStringLiteral("提示"));
        QCOMPARE(d->findChild<QLabel*>("content")->text(), QStringLiteral("记录已删除"));
        QCOMPARE(d->windowTitle(), QStringLiteral("信息"));
        QVERIFY(d->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(d->windowModality(), Qt::ApplicationModal);
        QVERIFY(d->styleSheet().contains("#widget_top"));
        QCOMPARE(buttonsOf(d).size(), 1);
        QPointer<QWidget> guard(d);
        QTest::mouseClick(buttonsOf(d).first(), Qt::LeftButton);
        QTRY_VERIFY(guard.isNull());
    }

    void windowSystemCannotCloseAMessage()
    {
        MessageDialog::ShowMessage("提示", "x", 3);
        QWidget* d = openDialogs().value(0);
        QVERIFY(d);
        QVERIFY(!d->close());
        QVERIFY(d->isVisible());
    }

    void secondMessageWaitsForTheFirst()
    {
        MessageDialog::ShowMessage("一", "first", 3);
        QWidget* first = openDialogs().value(0);
        QVERIFY(first);
        bool clickedFirst = false;
        // The second call blocks; the first dialog is answered from the event loop it runs.
        QTimer::singleShot(50, [&] {
            QCOMPARE(openDialogs().size(), 1);
            clickedFirst = true;
            QTest::mouseClick(buttonsOf(first).first(), Qt::LeftButton);
        });
        MessageDialog::ShowMessage("二", "second", 2);
        QVERIFY(clickedFirst);
        const auto now = openDialogs();
        QCOMPARE(now.size(), 1);
        QCOMPARE(now.first()->findChild<QLabel*>("content")->text(), QStringLiteral("second"));
    }

    void questionButtonsAndAnswer_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("click");
        QTest::addColumn<int>("answer");
        QTest::newRow("three texts, third clicked")
            << QStringList{"停止并退出", "不停止退出", "取消"} << QStringList{"停止并退出", "不停止退出", "取消"}
            << "取消" << 2;
        QTest::newRow("empty first text shows Ok") << QStringList{"", "", ""} << QStringList{"Ok"} << "Ok" << 0;
        QTest::newRow("texts in 1 and 3, second button is index 1")
            << QStringList{"是", "", "否"} << QStringList{"是", "否"} << "否" << 1;
    }

    void questionButtonsAndAnswer()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, shown);
        QFETCH(QString, click);
        QFETCH(int, answer);
        QStringList seen;
        whenOpen([&](QWidget* d) {
            for (QAbstractButton* b : buttonsOf(d))
                seen << b->text();
            QTest::mouseClick(buttonWithText(d, click), Qt::LeftButton);
        });
        QCOMPARE(MessageDialog::Question("退出", "是否退出?", 4, texts[0], texts[1], texts[2]), answer);
        QCOMPARE(seen, shown);
        QTRY_VERIFY(openDialogs().isEmpty());
    }

    void questionExAnswersWithTheStandardButton_data()
    {
        QTest::addColumn<int>("b1");
        QTest::addColumn<int>("b2");
        QTest::addColumn<int>("b3");
        QTest::addColumn<int>("click");
        QTest::addColumn<int>("count");
        QTest::newRow("no buttons gives Ok") << 0 << 0 << 0 << int(QDialogButtonBox::Ok) << 1;
        QTest::newRow("yes of yes and no") << int(QDialogButtonBox::Yes) << int(QDialogButtonBox::No) << 0
                                           << int(QDialogButtonBox::Yes) << 2;
        QTest::newRow("no of yes and no") << int(QDialogButtonBox::Yes) << int(QDialogButtonBox::No) << 0
                                          << int(QDialogButtonBox::No) << 2;
    }

    void questionExAnswersWithTheStandardButton()
    {
        QFETCH(int, b1);
        QFETCH(int, b2);
        QFETCH(int, b3);
        QFETCH(int, click);
        QFETCH(int, count);
        int buttons = 0;
        whenOpen([&](QWidget* d) {
            buttons = buttonsOf(d).size();
            auto* box = d->findChild<QDialogButtonBox*>("buttonBox");
            QTest::mouseClick(box->button(QDialogButtonBox::StandardButton(click)), Qt::LeftButton);
        });
        const int result = MessageDialog::QuestionEx("删除", "确认删除?", 4, QDialogButtonBox::StandardButton(b1),
                                                     QDialogButtonBox::StandardButton(b2),
                                                     QDialogButtonBox::StandardButton(b3));
        QCOMPARE(result, click);
        QCOMPARE(buttons, count);
    }

    void escapeAnswersAsCancel()
    {
        whenOpen([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
        // Index 0 would be "stop and exit" in the exit question; leaving must not choose it.
        QCOMPARE(MessageDialog::Question("退出", "?", 4, "停止并退出", "不停止退出", "取消"), -1);
        whenOpen([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
        QCOMPARE(MessageDialog::QuestionEx("删除", "?", 4, QDialogButtonBox::Yes, QDialogButtonBox::No), 0);
    }

    void messageFromInsideAnOpenQuestionCompletes()
    {
        bool messageReturned = false;
        whenOpen([&](QWidget* question) {
            // A time-out handler that reports while the question is open: it waits its turn.
            QTimer::singleShot(0, [&messageReturned] {
                MessageDialog::ShowMessage("设备响应超时", "设备响应超时", 1);
                messageReturned = true;
            });
            QTimer::singleShot(30, [question] { QTest::mouseClick(buttonsOf(question).at(1), Qt::LeftButton); });
        });
        const int answer = MessageDialog::Question("退出", "?", 4, "a", "b", "c");
        QCOMPARE(answer, 1);
        QTRY_VERIFY(messageReturned);
        const auto dialogs = openDialogs();
        QCOMPARE(dialogs.size(), 1);
        QCOMPARE(dialogs.first()->findChild<QLabel*>("title")->text(), QStringLiteral("设备响应超时"));
    }

    void iconFollowsTheType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("iconVisible");
        QTest::addColumn<int>("shape");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QColor>("textColor");
        QTest::addColumn<QColor>("shapeColor");
        QTest::newRow("NoIcon hides the area") << 0 << false << 0 << "" << QColor(0, 0, 0) << QColor(255, 255, 255);
        QTest::newRow("Error") << 1 << true << 1 << QString(QChar(0xD7)) << QColor(255, 255, 255) << QColor(230, 20, 20);
        QTest::newRow("Warning") << 2 << true << 2 << "!" << QColor(0, 0, 0) << QColor(235, 235, 20);
        QTest::newRow("Information") << 3 << true << 1 << "!" << QColor(255, 255, 255) << QColor(0, 85, 255);
        QTest::newRow("Question") << 4 << true << 1 << "?" << QColor(0, 0, 0) << QColor(255, 170, 0);
        QTest::newRow("5 leaves an empty area") << 5 << true << 0 << "" << QColor(0, 0, 0) << QColor(255, 255, 255);
        QTest::newRow("-1 leaves an empty area") << -1 << true << 0 << "" << QColor(0, 0, 0) << QColor(255, 255, 255);
    }

    void iconFollowsTheType()
    {
        QFETCH(int, type);
        QFETCH(bool, iconVisible);
        QFETCH(int, shape);
        QFETCH(QString, symbol);
        QFETCH(QColor, textColor);
        QFETCH(QColor, shapeColor);
        MessageDialog::ShowMessage("t", "x", type);
        QWidget* d = openDialogs().value(0);
        QVERIFY(d);
        QWidget* area = d->findChild<QWidget*>("widget_icon");
        QCOMPARE(area->isVisible(), iconVisible);
        QCOMPARE(area->size(), QSize(40, 40));
        auto* icon = d->findChild<ShapeWidget*>();
        QCOMPARE(icon->size(), QSize(40, 40));
        QCOMPARE(icon->shape(), shape);
        QCOMPARE(icon->text(), symbol);
        QCOMPARE(icon->textColor(), textColor);
        QCOMPARE(icon->shapeColor(), shapeColor);
    }

    void errorIconIsARedCircleWithAWhiteCross()
    {
        ShapeWidget w;
        w.resize(40, 40);
        w.setShape(ShapeWidget::Circle);
        w.setShapeColor(QColor(230, 20, 20));
        w.setTextColor(Qt::white);
        w.setText(QString(QChar(0xD7)));
        QCOMPARE(ShapeWidget::symbolFont(40).pixelSize(), 26);
        QCOMPARE(ShapeWidget::symbolFont(40).weight(), 75);
        QImage img(40, 40, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(QColor(img.pixel(8, 20)), QColor(230, 20, 20));
        QCOMPARE(qAlpha(img.pixel(1, 1)), 0);
        QCOMPARE(QColor(img.pixel(20, 20)), QColor(255, 255, 255));
    }

    void warningIconIsATriangle()
    {
        ShapeWidget w;
        w.resize(40, 40);
        w.setShape(ShapeWidget::Triangle);
        w.setShapeColor(QColor(235, 235, 20));
        QImage img(40, 40, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(QColor(img.pixel(20, 36)), QColor(235, 235, 20));
        QCOMPARE(qAlpha(img.pixel(3, 10)), 0);
        QCOMPARE(qAlpha(img.pixel(36, 10)), 0);
    }

    void responderRecordsAndAnswersWithoutADialog()
    {
        QList<MessageDialog::Request> seen;
        MessageDialog::setResponder([&seen](const MessageDialog::Request& r) {
            seen << r;
            return r.kind == MessageDialog::Request::AskStandard ? int(QDialogButtonBox::Yes) : 2;
        });
        QCOMPARE(MessageDialog::ShowMessage("提示", "a", 3), 0);
        QCOMPARE(MessageDialog::Question("退出", "b", 4, "停止并退出", "不停止退出", "取消"), 2);
        QCOMPARE(MessageDialog::QuestionEx("删除", "c", 4, QDialogButtonBox::Yes, QDialogButtonBox::No),
                 int(QDialogButtonBox::Yes));
        QVERIFY(openDialogs().isEmpty());
        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen[0].kind, MessageDialog::Request::Show);
        QCOMPARE(seen[1].buttons, (QStringList{"停止并退出", "不停止退出", "取消"}));
        QCOMPARE(seen[1].type, 4);
        QCOMPARE(seen[2].standardButtons, (QList<int>{int(QDialogButtonBox::Yes), int(QDialogButtonBox::No)}));
        QCOMPARE(seen[2].text, QStringLiteral("c"));
    }
};

QTEST_MAIN(tst_MessageDialog)
#include "tst_MessageDialog.moc"
