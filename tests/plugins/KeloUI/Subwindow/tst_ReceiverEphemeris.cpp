#include <UiTestSupport.h>

#include "ReceiverTestSupport.h"

#include <ConfigSetting.h>
#include <FileLogger.h>
#include <ReceiverEphemeris.h>
#include <SkyvaneManager.h>
#include <TestAppDir.h>
#include <TestTime.h>

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include <memory>

using UiTest::child;

using namespace ReceiverTest;
using GPSEPH = ReceiverEphemeris::GPSEPH;
using BD3EPH = ReceiverEphemeris::BD3EPH;

namespace {
GPSEPH gpsRecord(int prn)
{
    GPSEPH e;
    e.prn = prn;
    e.tow = 345600.0;
    e.health = 0;
    e.week = 2068;
    e.zWeek = 2068;
    e.toe = 388800.0;
    e.a = 26559750.5;
    e.e = 0.00512;
    e.iodc = 44;
    e.af0 = -1.25e-5;
    e.as = 1;
    e.ura = 2.0;
    return e;
}
} // namespace

class tst_ReceiverEphemeris : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;
    QMap<unsigned char, GPSEPH> m_gps;
    QMap<unsigned char, BD3EPH> m_bd3;
    QMutex m_locks[4];

    static QString field(ReceiverEphemeris& w, int sysid, int index)
    {
        QLineEdit* e = w.fieldEdit(sysid, index);
        return e ? e->text() : QStringLiteral("<no widget>");
    }
    static QStringList items(QComboBox* box)
    {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        QDir::setCurrent(m_app->root());
    }
    void init()
    {
        m_gps.clear();
        m_bd3.clear();
    }

    void formAndTables()
    {
        ReceiverEphemeris w;
        QCOMPARE(w.windowTitle(), QStringLiteral("星历数据"));
        auto* tabs = child<QTabWidget>(w, "tabWidget");
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral("BDS"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("GPS"));
        QCOMPARE(tabs->currentIndex(), 0);
        // Each table walks its record to the last byte.
        int end = 19;
        for (const auto& f : ReceiverEphemeris::gpsFields())
            end += f.size;
        QCOMPARE(end, int(sizeof(GPSEPH)));
        end = 19;
        for (const auto& f : ReceiverEphemeris::bd3Fields())
            end += f.size;
        QCOMPARE(end, int(sizeof(BD3EPH)));
        // Shown fields get a read-only line edit each: 32 GPS, 45 BDS-3 less the two hidden.
        QCOMPARE(child<QWidget>(w, "tab_2")->findChildren<QLineEdit*>().size(), 32);
        QCOMPARE(child<QWidget>(w, "tab")->findChildren<QLineEdit*>().size(), 43);
        QVERIFY(w.fieldEdit(1, 42) == nullptr && w.fieldEdit(1, 43) == nullptr);
        QVERIFY(w.fieldEdit(1, 44)->isReadOnly());
        // Ten fields per column: entry 12 is the third of the second column.
        auto* grid = qobject_cast<QGridLayout*>(child<QWidget>(w, "tab_2")->layout()->itemAt(1)->layout());
        QVERIFY(grid);
        int row = -1, column = -1, rs = 0, cs = 0;
        grid->getItemPosition(grid->indexOf(w.fieldEdit(0, 12)), &row, &column, &rs, &cs);
        QCOMPARE(row, 5);
        QCOMPARE(column, 1);
    }

    void eachTabNamesItsOwnSystemsWeek_data()
    {
        QTest::addColumn<int>("sysid");
        QTest::addColumn<QString>("tab");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("label");
        QTest::newRow("GPS week on the GPS tab") << 0 << "tab_2" << 5 << "GPS周计数";
        QTest::newRow("BDS week on the BDS tab") << 1 << "tab" << 6 << "北斗周计数";
        QTest::newRow("BDS Toe week on the BDS tab") << 1 << "tab" << 7 << "北斗周Z计数周期(TOE周)";
    }
    void eachTabNamesItsOwnSystemsWeek()
    {
        QFETCH(int, sysid);
        QFETCH(QString, tab);
        QFETCH(int, index);
        QFETCH(QString, label);
        ReceiverEphemeris w;
        // The label sits above its field.
        auto* grid =
            qobject_cast<QGridLayout*>(child<QWidget>(w, tab.toLatin1().constData())->layout()->itemAt(1)->layout());
        QVERIFY(grid);
        int row = -1, column = -1, rs = 0, cs = 0;
        grid->getItemPosition(grid->indexOf(w.fieldEdit(sysid, index)), &row, &column, &rs, &cs);
        QLayoutItem* above = grid->itemAtPosition(row - 1, column);
        auto* caption = above ? qobject_cast<QLabel*>(above->widget()) : nullptr;
        QVERIFY(caption);
        QCOMPARE(caption->text(), label);
    }

    void listsInOrderAndShowsTheLowest()
    {
        ReceiverEphemeris w;
        w.setEphemerisSource(&m_bd3, &m_gps, m_locks);
        for (int prn : {5, 12, 3})
            m_gps.insert(quint8(prn), gpsRecord(prn));
        w.ephMapUpdate(0);
        auto* box = child<QComboBox>(w, "comboBox_gps");
        QCOMPARE(items(box), (QStringList{"3", "5", "12"}));
        QCOMPARE(box->currentIndex(), 0);
        QCOMPARE(field(w, 0, 0), QStringLiteral("3"));
        QCOMPARE(field(w, 0, 7), QStringLiteral("388800"));
        QCOMPARE(field(w, 0, 8), QStringLiteral("2.65598e+07"));
        QCOMPARE(field(w, 0, 11), QStringLiteral("0.00512"));
        QCOMPARE(field(w, 0, 23), QStringLiteral("44"));
        QCOMPARE(field(w, 0, 26), QStringLiteral("-1.25e-05"));
        QCOMPARE(field(w, 0, 29), QStringLiteral("1"));
        QCOMPARE(field(w, 0, 31), QStringLiteral("2"));
        // The BDS tab is untouched.
        QCOMPARE(child<QComboBox>(w, "comboBox_bds")->count(), 0);

        // The user picks another satellite.
        m_gps[12].toe = 396000.0;
        box->setCurrentIndex(2);
        QCOMPARE(field(w, 0, 0), QStringLiteral("12"));
        QCOMPARE(field(w, 0, 7), QStringLiteral("396000"));

        // An update rebuilds the list: the selection starts again at the lowest.
        m_gps.remove(3);
        w.ephMapUpdate(0);
        QCOMPARE(items(box), (QStringList{"5", "12"}));
        QCOMPARE(field(w, 0, 0), QStringLiteral("5"));

        // An empty map leaves an empty list and empty fields.
        m_gps.clear();
        w.ephMapUpdate(0);
        QCOMPARE(box->count(), 0);
        for (int i = 0; i < ReceiverEphemeris::gpsFields().size(); ++i)
            QCOMPARE(field(w, 0, i), QString());

        // Another system number changes nothing.
        w.ephMapUpdate(2);
    }

    void bd3FieldsByOffset()
    {
        ReceiverEphemeris w;
        w.setEphemerisSource(&m_bd3, &m_gps, m_locks);
        BD3EPH e;
        e.prn = 21;
        e.satType = 2;
        e.iode = 300;
        e.zWeek = 950;
        e.tow = 518400.0;
        e.sisaiOc2 = 7;
        e.frequencyType = 11; // offset 275: a hidden entry
        e.extra1 = 12;        // 279: hidden
        e.extra2 = 13;        // 283: shown as the frequency type
        m_bd3.insert(21, e);
        w.ephMapUpdate(1);
        QCOMPARE(items(child<QComboBox>(w, "comboBox_bds")), QStringList{"21"});
        QCOMPARE(field(w, 1, 0), QStringLiteral("21"));
        QCOMPARE(field(w, 1, 2), QStringLiteral("2"));
        QCOMPARE(field(w, 1, 4), QStringLiteral("300"));
        QCOMPARE(field(w, 1, 7), QStringLiteral("950"));
        QCOMPARE(field(w, 1, 8), QStringLiteral("518400"));
        QCOMPARE(field(w, 1, 41), QStringLiteral("7"));
        QCOMPARE(field(w, 1, 44), QStringLiteral("13"));
        bool labelled = false;
        for (QLabel* l : child<QWidget>(w, "tab")->findChildren<QLabel*>())
            labelled = labelled || l->text() == QStringLiteral("频点类型");
        QVERIFY(labelled);
    }

    void updateButtonWaitsASecondOrNewData()
    {
        ReceiverEphemeris w;
        w.setEphemerisSource(&m_bd3, &m_gps, m_locks);
        w.show();
        QSignalSpy asked(&w, &ReceiverEphemeris::updateEph);
        auto* gps = child<QPushButton>(w, "pushButton_gps_clear");
        auto* bds = child<QPushButton>(w, "pushButton_bds_clear");
        auto* said = child<QLabel>(w, "label_status");
        // Without a receiver on the relay nothing is asked, and the window says why.
        QTest::mouseClick(gps, Qt::LeftButton);
        QCOMPARE(said->text(), QStringLiteral("未发送：接收机未连接，请在“监测数据”中点击“打开输出”"));
        w.StatusChange(true);
        QTest::mouseClick(gps, Qt::LeftButton);
        QTest::mouseClick(gps, Qt::LeftButton);
        QCOMPARE(said->text(), QStringLiteral("已发送：GPSEPHA ONCHANGED"));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).at(0).toInt(), 0);
        QVERIFY(!gps->isEnabled());
        QVERIFY(bds->isEnabled());
        // New data of the system enable it at once.
        w.ephMapUpdate(0);
        QVERIFY(gps->isEnabled());

        QTest::mouseClick(bds, Qt::LeftButton);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.at(1).at(0).toInt(), 1);
        QVERIFY(!bds->isEnabled());
        w.ephMapUpdate(0); // another system's data leave it disabled
        QVERIFY(!bds->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(bds->isEnabled(), TestTime::ms(10000));
    }

    void closingHidesAndTells()
    {
        ReceiverEphemeris w;
        w.show();
        QSignalSpy closed(&w, &ReceiverEphemeris::closed);
        QVERIFY(w.close());
        QCOMPARE(closed.size(), 1);
        QVERIFY(w.isHidden());
    }

    // The whole road: logs from the simulated receiver fill the window; its button asks the
    // receiver for fresh logs.
    void managerFillsTheWindowAndTheButtonReachesTheReceiver()
    {
        Bench bench;
        QVERIFY(bench.start());
        ConfigSetting::instance()->configMode = QStringLiteral("CPCI");
        SkyvaneManager manager;
        ReceiverEphemeris* w = ReceiverEphemeris::Instance();
        auto* box = child<QComboBox>(*w, "comboBox_gps");
        bench.sim.relay().setStream(gpsEphemeris(17) + gpsEphemeris(4, "403200.0"));
        manager.dataTransportControl(true);
        QVERIFY(waitFor(&manager, SIGNAL(UpdateEphMap(int)), [&] { return box->count() == 2; }));
        QCOMPARE(items(box), (QStringList{"4", "17"}));
        QCOMPARE(field(*w, 0, 7), QStringLiteral("403200"));

        const int mark = bench.receivedSoFar();
        w->show();
        QTest::mouseClick(child<QPushButton>(*w, "pushButton_bds_clear"), Qt::LeftButton);
        QVERIFY(bench.receiverGot(mark, "BD3EPHA ONCHANGED\r\nBDSEPHA ONCHANGED\r\n"));
        w->hide();
        ReceiverDataTransportManager::Instance()->StopReceiverDataTrans();
        ProtocolManager::instance()->DisConnectTcp();
    }
};

QTEST_MAIN(tst_ReceiverEphemeris)
#include "tst_ReceiverEphemeris.moc"
