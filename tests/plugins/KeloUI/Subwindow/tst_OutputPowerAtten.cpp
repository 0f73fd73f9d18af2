#include <UiTestSupport.h>

#include <ConfigSetting.h>
#include <OutputPowerAtten.h>
#include <ProtocolManager.h>
#include <TcpConnect.h>
#include <TestTime.h>

#include <QCheckBox>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

#include <memory>

using UiTest::child;

class tst_OutputPowerAtten : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    std::unique_ptr<InstrumentSim> m_sim;

    static ProtocolManager* pm() { return ProtocolManager::instance(); }
    // The attenuation commands (Collect/5) the simulator received, as hex payloads.
    QStringList commands() const
    {
        QStringList out;
        for (const auto& r : m_sim->requests())
            if (r.type == 3 && r.cmd == 5)
                out << QString::fromLatin1(r.payload.toHex(' '));
        return out;
    }
    // Waits for n commands, then until the link is quiet, which would bring any further one.
    bool settle(int n)
    {
        if (!QTest::qWaitFor([&] { return commands().size() >= n; }, TestTime::ms(10000)))
            return false;
        UiTest::waitQuiet(*m_sim);
        return commands().size() == n;
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        pm()->setHeartbeatInterval(TestTime::ms(100));
        m_sim = std::make_unique<InstrumentSim>(InstrumentSim::Preset::Test);
        QVERIFY(m_sim->listen(QHostAddress::LocalHost, 0));
        QVERIFY(UiTest::connectTo(*m_sim));
    }
    void cleanupTestCase() { UiTest::disconnect(); }

    void startsWithAllChannelsAndValueZero()
    {
        OutputPowerAtten* w = OutputPowerAtten::Instance();
        QCOMPARE(OutputPowerAtten::Instance(), w);
        QVERIFY(!w->parent());
        QCOMPARE(w->windowTitle(), QStringLiteral("输出功率衰减控制"));
        QVERIFY(w->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(child<QCheckBox>(OutputPowerAtten::Instance(), "checkBox_AllChannel")->isChecked());
        QVERIFY(!child<QSpinBox>(OutputPowerAtten::Instance(), "spb_AttenChannel")->isEnabled());
        QCOMPARE(child<QSpinBox>(OutputPowerAtten::Instance(), "spb_AttenPower")->value(), 0);
        QCOMPARE(child<QSpinBox>(OutputPowerAtten::Instance(), "spb_AttenPower")->maximum(), 60);
        QCOMPARE(child<QSlider>(OutputPowerAtten::Instance(), "hSlider_AttenPower")->maximum(), 60);
        QCOMPARE(child<QSpinBox>(OutputPowerAtten::Instance(), "spb_AttenChannel")->maximum(), 99);
    }

    void everyChangeIsSentWithTheChannel()
    {
        OutputPowerAtten* w = OutputPowerAtten::Instance();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto* slider = child<QSlider>(OutputPowerAtten::Instance(), "hSlider_AttenPower");
        auto* power = child<QSpinBox>(OutputPowerAtten::Instance(), "spb_AttenPower");
        power->setValue(10);
        QVERIFY(settle(1));
        m_sim->clearRequests();
        // All channels: 255 whatever the channel box shows.
        child<QSpinBox>(OutputPowerAtten::Instance(), "spb_AttenChannel")->setValue(7);
        slider->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(power->value(), 13);
        QVERIFY(settle(3));
        QCOMPARE(commands(), (QStringList{"ff 0b 00 00 00", "ff 0c 00 00 00", "ff 0d 00 00 00"}));

        // Unchecking enables the channel box and sends nothing; the next change carries it.
        m_sim->clearRequests();
        QTest::mouseClick(child<QCheckBox>(OutputPowerAtten::Instance(), "checkBox_AllChannel"), Qt::LeftButton);
        QVERIFY(child<QSpinBox>(OutputPowerAtten::Instance(), "spb_AttenChannel")->isEnabled());
        child<QSpinBox>(OutputPowerAtten::Instance(), "spb_AttenChannel")->setValue(3);
        QVERIFY(settle(0));
        power->setValue(60);
        QCOMPARE(slider->value(), 60);
        // The same value again is no change.
        power->setValue(60);
        slider->setValue(60);
        QVERIFY(settle(1));
        QCOMPARE(commands(), QStringList{"03 3c 00 00 00"});
        QTest::mouseClick(child<QCheckBox>(OutputPowerAtten::Instance(), "checkBox_AllChannel"), Qt::LeftButton);
        QVERIFY(!child<QSpinBox>(OutputPowerAtten::Instance(), "spb_AttenChannel")->isEnabled());
        w->close();
        QVERIFY(!w->isVisible());
        // Closing only hides it: the values stay.
        QCOMPARE(power->value(), 60);
    }

    void edgesAndTheTitleBar_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("moves");
        QTest::addColumn<bool>("grows");
        QTest::addColumn<int>("cursor");
        const int keep = Qt::IBeamCursor; // the left and top edges leave the cursor alone
        QTest::newRow("left edge inside the title bar") << QPoint(4, 10) << 3 << false << false << keep;
        QTest::newRow("top edge inside the title bar") << QPoint(100, 3) << 1 << false << false << keep;
        QTest::newRow("title bar") << QPoint(100, 15) << 0 << true << false << int(Qt::ArrowCursor);
        QTest::newRow("first row below the title bar")
            << QPoint(100, 32) << 0 << false << false << int(Qt::ArrowCursor);
        QTest::newRow("bottom-right corner") << QPoint(-1, -1) << 5 << false << true << int(Qt::SizeFDiagCursor);
        QTest::newRow("body") << QPoint(100, 80) << 0 << false << false << int(Qt::ArrowCursor);
    }
    void edgesAndTheTitleBar()
    {
        QFETCH(QPoint, press);
        QFETCH(int, mode);
        QFETCH(bool, moves);
        QFETCH(bool, grows);
        QFETCH(int, cursor);
        OutputPowerAtten* w = OutputPowerAtten::Instance();
        w->setCursor(Qt::IBeamCursor);
        w->resize(360, 200);
        w->move(200, 200);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        if (press == QPoint(-1, -1))
            press = QPoint(w->width() - 2, w->height() - 2);
        const QPoint at = w->pos();
        const QSize size = w->size();
        QTest::mousePress(w, Qt::LeftButton, {}, press);
        QCOMPARE(int(w->edgeMode()), mode);
        QCOMPARE(int(w->cursor().shape()), cursor);
        QMouseEvent move(QEvent::MouseMove, press + QPoint(20, 10), w->mapToGlobal(press) + QPoint(20, 10),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &move);
        QCOMPARE(w->pos() != at, moves);
        QCOMPARE(w->size() != size, grows);
        QTest::mouseRelease(w, Qt::LeftButton, {}, press + QPoint(20, 10));
        QVERIFY(!w->isDragging());
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
        w->hide();
    }
};

QTEST_MAIN(tst_OutputPowerAtten)
#include "tst_OutputPowerAtten.moc"
