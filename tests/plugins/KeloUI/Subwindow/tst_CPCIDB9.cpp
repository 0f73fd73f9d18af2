#include <UiTestSupport.h>

#include <CPCIDB9.h>
#include <Db9Frame.h>
#include <Db9FrameCutter.h>
#include <TestTime.h>

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {
// An 86-byte frame with the given bytes placed by offset, and its sum over bytes 2 to 84.
QByteArray frame(std::initializer_list<QPair<int, QByteArray>> fields)
{
    QByteArray f(86, '\0');
    f.replace(0, 4, QByteArray::fromHex("55AA52B2"));
    for (const auto& field : fields)
        f.replace(field.first, field.second.size(), field.second);
    int sum = 0;
    for (int i = 2; i <= 84; ++i)
        sum += quint8(f[i]);
    f[85] = char(sum & 0xFF);
    return f;
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}
} // namespace

class tst_CPCIDB9 : public QObject
{
    Q_OBJECT

    std::unique_ptr<CPCIDB9> m_panel;
    QUdpSocket m_sender;

    QString text(const char* name) { return UiTest::child<QLabel>(*m_panel, name)->text(); }
    QList<int> checkedSatellites()
    {
        QList<int> out;
        const auto buttons = UiTest::child<QGroupBox>(*m_panel, "groupBox_b3")->findChildren<QRadioButton*>();
        for (QRadioButton* b : buttons)
            if (b->isChecked())
                out << b->text().mid(2).toInt();
        std::sort(out.begin(), out.end());
        return out;
    }
    // Sends datagrams to the panel and waits for `shown` displays.
    bool sendAndWait(const QList<QByteArray>& datagrams, int shown)
    {
        QueuedSignalSpy newData(m_panel.get(), &CPCIDB9::haveNewData);
        for (const QByteArray& d : datagrams)
            m_sender.writeDatagram(d, QHostAddress::LocalHost, m_panel->boundPort());
        if (!LinkTest::waitCount(newData, shown, TestTime::ms(10000)))
            return false;
        QCoreApplication::processEvents();
        return true;
    }

private slots:
    void initTestCase() { CPCIDB9::setListenPort(0); }

    void init()
    {
        m_panel = std::make_unique<CPCIDB9>();
        QTRY_VERIFY_WITH_TIMEOUT(m_panel->boundPort() != 0, TestTime::ms(10000));
    }
    void cleanup() { m_panel.reset(); }

    void cutter_data()
    {
        QTest::addColumn<QList<QByteArray>>("datagrams");
        QTest::addColumn<int>("good");
        QTest::addColumn<int>("bad");
        QTest::addColumn<int>("left");
        const QByteArray f = frame({{10, hex("8403")}});
        QByteArray wrong = f;
        wrong[85] = char(wrong[85] ^ 1);
        QTest::newRow("one frame") << QList<QByteArray>{f} << 1 << 0 << 0;
        QTest::newRow("split 40 and 46") << QList<QByteArray>{f.left(40), f.mid(40)} << 1 << 0 << 0;
        QTest::newRow("first half waits") << QList<QByteArray>{f.left(40)} << 0 << 0 << 40;
        QTest::newRow("three bytes of noise first") << QList<QByteArray>{hex("010203") + f} << 1 << 0 << 0;
        QTest::newRow("two frames in one datagram") << QList<QByteArray>{f + f} << 2 << 0 << 0;
        QTest::newRow("wrong sum, then a good frame") << QList<QByteArray>{wrong, f} << 1 << 1 << 0;
        QTest::newRow("sync without identifier is stepped over")
            << QList<QByteArray>{hex("55AA0000") + f} << 1 << 0 << 0;
        // 86 bytes of noise ending in the 55 of a pair: emptied whole, and that frame is lost.
        QByteArray noise(85, '\x11');
        noise.append('\x55');
        QTest::newRow("noise emptied, pair split across datagrams lost")
            << QList<QByteArray>{noise, f.mid(1)} << 0 << 0 << 85;
        QTest::newRow("short noise is kept until a frame's worth")
            << QList<QByteArray>{QByteArray(50, '\x11')} << 0 << 0 << 50;
    }
    void cutter()
    {
        QFETCH(QList<QByteArray>, datagrams);
        QFETCH(int, good);
        QFETCH(int, bad);
        QFETCH(int, left);
        Db9FrameCutter cutter;
        QList<Db9FrameCutter::BadSum> sums;
        int frames = 0;
        for (const QByteArray& d : datagrams)
            frames += cutter.append(d, &sums).size();
        QCOMPARE(frames, good);
        QCOMPARE(sums.size(), bad);
        QCOMPARE(cutter.pending(), left);
    }

    void startsWithoutData()
    {
        for (const char* name : {"label_positionOk", "label_datetime", "label_pdop", "label_satCN0Freq"})
            QCOMPARE(text(name), QStringLiteral("--"));
        QCOMPARE(m_panel->windowTitle(), QStringLiteral("DB9数据"));
        QCOMPARE(UiTest::child<QGroupBox>(*m_panel, "groupBox_b3")->findChildren<QRadioButton*>().size(), 64);
    }

    void frameFieldsShown()
    {
        const QByteArray f = frame({
            {4, hex("07")},
            {6, hex("F3")},
            {7, hex("A2")},                // version 2.3.7, high bits ignored
            {8, hex("01")},                // timing valid, numbers not
            {10, hex("8403")},             // week 900
            {12, hex("40E2010000000000")}, // 123456 s
            {20, hex("0180")},             // satellites 16 and 1
            {26, hex("0100")},             // satellite 64
            {28, hex("0C00")},
            {30, hex("01")},
            {31, hex("80A0D845")}, // 1171824768 -> 117.1824768
            {35, hex("FF3F9CFE")}, // -23314433 -> -2.3314433
            {39, hex("A0860100")}, // 100000 -> 10.0000
            {43, hex("190C03")},
            {46, hex("0574C05C")}, // 2025-12-3 01:01:01.500000
            {55, hex("04")},
            {56, hex("0A2D")},
            {78, hex("3F20")}, // satellite 10 at 45, satellite 63 at 32
            {80, hex("0100")},
            {82, hex("01")},
            {83, hex("9600")}, // 150 -> 1.5
        });
        QVERIFY(sendAndWait({f}, 1));
        QCOMPARE(text("label_version"), QStringLiteral("2.3.7"));
        QCOMPARE(text("label_valid_weektime"), QStringLiteral("有效"));
        QCOMPARE(text("label_valid_prn"), QStringLiteral("无效"));
        QCOMPARE(text("label_bdWeek"), QStringLiteral("900"));
        QCOMPARE(text("label_bdWSec"), QStringLiteral("123456"));
        QCOMPARE(checkedSatellites(), (QList<int>{1, 16, 64}));
        QCOMPARE(text("label_satCnt"), QStringLiteral("12"));
        QCOMPARE(text("label_positionOk"), QStringLiteral("有效"));
        QCOMPARE(text("label_longi"), QStringLiteral("117.1824768"));
        QCOMPARE(text("label_lati"), QStringLiteral("-2.3314433"));
        QCOMPARE(text("label_alti"), QStringLiteral("10.0000"));
        QCOMPARE(text("label_datetime"), QStringLiteral("2025-12-3 01:01:01.500000"));
        QCOMPARE(text("label_satCN0Freq"), QStringLiteral("B3A/B3I"));
        QCOMPARE(text("label_pdop"), QStringLiteral("1.5"));
        QCOMPARE(text("label_selfCheck"), QStringLiteral("成功"));
        const auto* ch1 = UiTest::child<QRadioButton>(*m_panel, "radioButton_channel1");
        const auto* ch2 = UiTest::child<QRadioButton>(*m_panel, "radioButton_channel2");
        QVERIFY(ch1->isChecked());
        QVERIFY(!ch2->isChecked());
        const auto labels = UiTest::child<QGroupBox>(*m_panel, "groupBox_cnr")->findChildren<QLabel*>();
        QStringList texts;
        for (const QLabel* l : labels)
            texts << l->text();
        QVERIFY(texts.contains(QStringLiteral("卫星10:")));
        QVERIFY(texts.contains(QStringLiteral("45 ")));
        QVERIFY(texts.contains(QStringLiteral("卫星63:")));

        // The next frame replaces everything: 5000 µs padded to six digits, unknown band, both
        // channels on.
        const QByteArray g =
            frame({{43, hex("190C03")}, {46, hex("055D4AFD")}, {55, hex("05")}, {80, hex("01")}, {81, hex("02")}});
        QVERIFY(sendAndWait({g}, 1));
        QCOMPARE(text("label_datetime"), QStringLiteral("2025-12-3 01:00:00.005000"));
        QCOMPARE(text("label_satCN0Freq"), QStringLiteral("无效"));
        QCOMPARE(text("label_selfCheck"), QStringLiteral("故障"));
        QVERIFY(checkedSatellites().isEmpty());
        QVERIFY(ch1->isChecked());
        QVERIFY(ch2->isChecked());
    }

    void badFramesKeepTheDisplay()
    {
        const QByteArray good = frame({{10, hex("0100")}});
        QByteArray bad = frame({{10, hex("0200")}});
        bad[85] = char(bad[85] + 1);
        const QByteArray next = frame({{10, hex("0300")}});
        QVERIFY(sendAndWait({good}, 1));
        QCOMPARE(text("label_bdWeek"), QStringLiteral("1"));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^校验错误 [0-9a-f]+ [0-9a-f]+$"));
        // A frame split 40/46, behind the bad one: shown once, after its second half.
        QVERIFY(sendAndWait({bad, next.left(40), next.mid(40)}, 1));
        QCOMPARE(text("label_bdWeek"), QStringLiteral("3"));
    }

    void manyDatagramsAtOnceAreAllRead()
    {
        QList<QByteArray> burst;
        for (int i = 1; i <= 50; ++i)
            burst << frame({{10, QByteArray(1, char(i)) + QByteArray(1, '\0')}});
        QVERIFY(sendAndWait(burst, 50));
        QCOMPARE(text("label_bdWeek"), QStringLiteral("50"));
    }

    void indicatorsIgnoreClicks()
    {
        auto* sat = UiTest::child<QGroupBox>(*m_panel, "groupBox_b3")->findChildren<QRadioButton*>().first();
        auto* ch = UiTest::child<QRadioButton>(*m_panel, "radioButton_channel1");
        m_panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
        QTest::mouseClick(sat, Qt::LeftButton);
        QTest::mouseClick(ch, Qt::LeftButton);
        QVERIFY(!sat->isChecked());
        QVERIFY(!ch->isChecked());
    }
};

QTEST_MAIN(tst_CPCIDB9)
#include "tst_CPCIDB9.moc"
