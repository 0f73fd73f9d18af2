#include <UiTestSupport.h>

#include <MaskWidget.h>
#include <MessageDialog.h>
#include <ShapeWidget.h>

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
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

// Answers every dialog on screen and those that follow it.
void closeAll()
{
    QTRY_VERIFY_WITH_TIMEOUT(
        [] {
            for (QWidget* d : openDialogs())
                QTest::mouseClick(buttonsOf(d).first(), Qt::LeftButton);
            return openDialogs().isEmpty() && MessageDialog::waitingCount() == 0;
        }(),
        15000);
}
} // namespace

class tst_MessageDialog : public QObject
{
    Q_OBJECT

    UiTest::RealDialogs m_real;

private slots:
    void cleanup() { closeAll(); }

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

    void secondMessageFollowsTheFirstWithoutWaiting()
    {
        MessageDialog::ShowMessage("一", "first", 3);
        QWidget* first = openDialogs().value(0);
        QVERIFY(first);
        // The caller goes on at once; the second message waits on its own for its turn.
        QCOMPARE(MessageDialog::ShowMessage("二", "second", 2), 0);
        QCOMPARE(openDialogs().size(), 1);
        QCOMPARE(MessageDialog::waitingCount(), 1);
        QTest::mouseClick(buttonsOf(first).first(), Qt::LeftButton);
        QTRY_COMPARE(openDialogs().size(), 1);
        QTRY_COMPARE(openDialogs().first()->findChild<QLabel*>("content")->text(), QStringLiteral("second"));
        QCOMPARE(MessageDialog::waitingCount(), 0);
    }

    void floodOfMessagesStaysBounded()
    {
        for (int i = 0; i < 500; ++i)
            MessageDialog::ShowMessage("设备主动停止", "主动停止错误(1) 硬盘空间不足", 1);
        // The same report again and again is one message.
        QCOMPARE(openDialogs().size(), 1);
        QCOMPARE(MessageDialog::waitingCount(), 0);
        for (int i = 0; i < 500; ++i)
            MessageDialog::ShowMessage("设备主动停止", QStringLiteral("主动停止错误(%1)").arg(i), 1);
        QCOMPARE(openDialogs().size(), 1);
        QCOMPARE(MessageDialog::waitingCount(), MessageDialog::kMaxWaiting);
        // The oldest gave way: the last one is still to come.
        closeAll();
    }

    void questionAskedWhileAMessageIsOpenWaitsItsTurn()
    {
        MessageDialog::ShowMessage("提示", "记录已删除", 3);
        QWidget* message = openDialogs().value(0);
        QVERIFY(message);
        QStringList seen;
        auto* timer = new QTimer;
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, [&seen, timer] {
            const auto dialogs = openDialogs();
            if (dialogs.isEmpty())
                return;
            QWidget* d = dialogs.first();
            seen << d->findChild<QLabel*>("title")->text();
            QTest::mouseClick(buttonsOf(d).last(), Qt::LeftButton);
            if (seen.size() == 2) {
                timer->stop();
                timer->deleteLater();
            }
        });
        timer->start();
        QCOMPARE(MessageDialog::QuestionEx("删除确认", "是否确认删除选择的 2 条记录", 4, QDialogButtonBox::Yes,
                                           QDialogButtonBox::No),
                 int(QDialogButtonBox::No));
        QCOMPARE(seen, (QStringList{"提示", "删除确认"}));
    }

    void messageBelongsToTheMainWindow()
    {
        QWidget main;
        main.resize(600, 400);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        MaskWidget::instance()->setMainWidget(&main);
        MessageDialog::ShowMessage("设备主动停止", "主动停止错误(3) 无射频数据，启动失败", 1);
        QWidget* d = openDialogs().value(0);
        QVERIFY(d);
        // A window of its owner, which the window system keeps above it.
        QCOMPARE(d->parentWidget(), &main);
        QVERIFY(d->isWindow());
        closeAll();
        MaskWidget::instance()->setMainWidget(nullptr);
    }

    // The whole text is shown, wrapped at a readable width, within the screen.
    void dialogShowsItsWholeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("short hint on one line") << QStringLiteral("请选择一条记录进行回放") << false;
        QTest::newRow("data-path instruction keeps its second line")
            << QStringLiteral("数据本地储存文件夹不存在!\n请手动前往【系统设置】界面修改【数据保存路径】") << false;
        QTest::newRow("self-check with every fault")
            << QStringLiteral("[采集卡 5]\n射频模块故障\n硬盘故障\n无校准文件") << false;
        QString cards;
        for (int i = 1; i <= 4; ++i)
            cards +=
                QStringLiteral("[采集卡 %1]\r\n硬件版本:V1.2\r\n软件版本:VA.1.2.03\r\nFPGA:VA.1.2.0a\r\n\r\n").arg(i);
        QTest::newRow("card versions of four cards") << cards << false;
        QString list;
        for (int i = 1; i <= 300; ++i)
            list += QStringLiteral("[采集卡 %1]\n").arg(i);
        QTest::newRow("a list longer than the screen scrolls") << list << true;
        QTest::newRow("one long line wraps") << QString(QStringLiteral("设备响应超时，")).repeated(40) << false;
    }

    void dialogShowsItsWholeText()
    {
        QFETCH(QString, text);
        QFETCH(bool, scrolls);
        MessageDialog::ShowMessage("提示", text, 3);
        QWidget* d = openDialogs().value(0);
        QVERIFY(d);
        QVERIFY(QTest::qWaitForWindowExposed(d));
        auto* label = d->findChild<QLabel*>("content");
        auto* area = d->findChild<QScrollArea*>("scrollArea_content");
        QVERIFY(label && area);
        QTRY_VERIFY(label->height() >= label->heightForWidth(label->width()));
        const QRect screen = d->screen()->availableGeometry();
        QVERIFY2(screen.contains(d->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(d->x()).arg(d->y()).arg(d->width()).arg(d->height())));
        // A text scrolls only once the dialog has taken a good part of the screen: on a small
        // screen the card versions do, on a large one they show whole.
        const bool scrolled = area->verticalScrollBar()->maximum() > 0;
        if (scrolls)
            QVERIFY(scrolled);
        if (scrolled)
            QVERIFY(d->height() >= screen.height() / 2);
        else
            QVERIFY(area->viewport()->height() >= label->height());
        // Short lines are never broken.
        const QFontMetrics fm(label->font());
        for (const QString& line : text.split(QRegularExpression("\r?\n"))) {
            if (line.size() <= 25)
                QVERIFY2(label->contentsRect().width() >= fm.horizontalAdvance(line), qPrintable(line));
        }
        QVERIFY(label->contentsRect().width() <= fm.horizontalAdvance(QChar(0x4E2D)) * 40);
        closeAll();
    }

    void questionButtonsAndAnswer_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("click");
        QTest::addColumn<int>("answer");
        QTest::newRow("three texts, third clicked") << QStringList{"停止并退出", "不停止退出", "取消"}
                                                    << QStringList{"停止并退出", "不停止退出", "取消"} << "取消" << 2;
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
        QTest::addColumn<QStringList>("words"); // in the interface's language, not the window system's
        QTest::newRow("no buttons gives Ok") << 0 << 0 << 0 << int(QDialogButtonBox::Ok) << 1 << QStringList{"确定"};
        QTest::newRow("yes of yes and no") << int(QDialogButtonBox::Yes) << int(QDialogButtonBox::No) << 0
                                           << int(QDialogButtonBox::Yes) << 2 << QStringList{"是", "否"};
        QTest::newRow("no of yes and no") << int(QDialogButtonBox::Yes) << int(QDialogButtonBox::No) << 0
                                          << int(QDialogButtonBox::No) << 2 << QStringList{"是", "否"};
    }

    void questionExAnswersWithTheStandardButton()
    {
        QFETCH(int, b1);
        QFETCH(int, b2);
        QFETCH(int, b3);
        QFETCH(int, click);
        QFETCH(int, count);
        QFETCH(QStringList, words);
        int buttons = 0;
        QStringList seen;
        whenOpen([&](QWidget* d) {
            buttons = buttonsOf(d).size();
            for (QAbstractButton* b : buttonsOf(d))
                seen << b->text();
            auto* box = d->findChild<QDialogButtonBox*>("buttonBox");
            QTest::mouseClick(box->button(QDialogButtonBox::StandardButton(click)), Qt::LeftButton);
        });
        const int result =
            MessageDialog::QuestionEx("删除", "确认删除?", 4, QDialogButtonBox::StandardButton(b1),
                                      QDialogButtonBox::StandardButton(b2), QDialogButtonBox::StandardButton(b3));
        QCOMPARE(result, click);
        QCOMPARE(buttons, count);
        QCOMPARE(seen, words);
    }

    void escapeAnswersAsCancel()
    {
        whenOpen([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
        // Index 0 would be "stop and exit" in the exit question; leaving must not choose it.
        QCOMPARE(MessageDialog::Question("退出", "?", 4, "停止并退出", "不停止退出", "取消"), -1);
        whenOpen([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
        QCOMPARE(MessageDialog::QuestionEx("删除", "?", 4, QDialogButtonBox::Yes, QDialogButtonBox::No), 0);
    }

    void destructiveQuestionTakesOnlyADeliberateYes_data()
    {
        QTest::addColumn<QList<int>>("keys"); // none: a click on yes
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("exit"); // the exit question while a run goes on: "yes" stops it
        QTest::newRow("Return answers no") << QList<int>{Qt::Key_Return} << false << false;
        QTest::newRow("Escape answers no") << QList<int>{Qt::Key_Escape} << false << false;
        QTest::newRow("Return on yes answers no") << QList<int>{Qt::Key_Tab, Qt::Key_Return} << false << false;
        QTest::newRow("Tab to yes, then Space") << QList<int>{Qt::Key_Tab, Qt::Key_Space} << true << false;
        QTest::newRow("click on yes") << QList<int>{} << true << false;
        QTest::newRow("Return on the exit question cancels") << QList<int>{Qt::Key_Return} << false << true;
        QTest::newRow("click on stop and exit") << QList<int>{} << true << true;
    }
    void destructiveQuestionTakesOnlyADeliberateYes()
    {
        QFETCH(QList<int>, keys);
        QFETCH(bool, yes);
        QFETCH(bool, exit);
        whenOpen([keys, exit](QWidget* d) {
            for (int key : keys)
                QTest::keyClick(d->focusWidget() ? d->focusWidget() : d, Qt::Key(key));
            if (keys.isEmpty())
                QTest::mouseClick(buttonWithText(d, exit ? "停止并退出" : "确认"), Qt::LeftButton);
        });
        if (exit)
            QCOMPARE(MessageDialog::QuestionSafe("退出", "?", 4, {"停止并退出", "不停止退出", "取消"}, 2), yes ? 0 : 2);
        else
            QCOMPARE(MessageDialog::ConfirmDestructive("警告", "是否确认清空所有数据!", 2, "确认", "取消"), yes);
        QTRY_VERIFY(openDialogs().isEmpty());
    }

    void messageFromInsideAnOpenQuestionCompletes()
    {
        bool messageReturned = false;
        whenOpen([&](QWidget* question) {
            // A time-out handler that reports while the question is open: it goes on at once,
            // and its message follows the answer.
            QTimer::singleShot(0, [&messageReturned] {
                MessageDialog::ShowMessage("设备响应超时", "设备响应超时", 1);
                messageReturned = true;
            });
            QTimer::singleShot(30, [question, &messageReturned] {
                QVERIFY(messageReturned);
                QCOMPARE(openDialogs().size(), 1);
                QTest::mouseClick(buttonsOf(question).at(1), Qt::LeftButton);
            });
        });
        const int answer = MessageDialog::Question("退出", "?", 4, "a", "b", "c");
        QCOMPARE(answer, 1);
        QVERIFY(messageReturned);
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
        QTest::newRow("Error") << 1 << true << 1 << QString(QChar(0xD7)) << QColor(255, 255, 255)
                               << QColor(230, 20, 20);
        QTest::newRow("Warning") << 2 << true << 2 << "!" << QColor(0, 0, 0) << QColor(235, 235, 20);
        QTest::newRow("Information") << 3 << true << 1 << "i" << QColor(255, 255, 255) << QColor(0, 85, 255);
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
        UiTest::DialogRecorder dialogs;
        dialogs.respond = [](const DialogSeam::Request& r) {
            return r.kind == DialogSeam::Request::AskStandard ? int(QDialogButtonBox::Yes) : 2;
        };
        const QList<DialogSeam::Request>& seen = dialogs.requests;
        QCOMPARE(MessageDialog::ShowMessage("提示", "a", 3), 0);
        QCOMPARE(MessageDialog::Question("退出", "b", 4, "停止并退出", "不停止退出", "取消"), 2);
        QCOMPARE(MessageDialog::QuestionEx("删除", "c", 4, QDialogButtonBox::Yes, QDialogButtonBox::No),
                 int(QDialogButtonBox::Yes));
        QVERIFY(openDialogs().isEmpty());
        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen[0].kind, DialogSeam::Request::Show);
        QCOMPARE(seen[1].buttons, (QStringList{"停止并退出", "不停止退出", "取消"}));
        QCOMPARE(seen[1].type, 4);
        QCOMPARE(seen[2].standardButtons, (QList<int>{int(QDialogButtonBox::Yes), int(QDialogButtonBox::No)}));
        QCOMPARE(seen[2].text, QStringLiteral("c"));
    }
};

QTEST_MAIN(tst_MessageDialog)
#include "tst_MessageDialog.moc"
