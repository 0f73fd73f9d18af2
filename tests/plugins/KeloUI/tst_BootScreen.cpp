#include <UiTestSupport.h>

#include <BootScreen.h>
#include <ConfigSetting.h>
#include <ProtocolManager.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <memory>

class tst_BootScreen : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppDir> m_app;

    static QStackedWidget* pages() { return BootScreen::instance()->findChild<QStackedWidget*>("stackedWidget"); }
    static QLineEdit* addressEdit() { return BootScreen::instance()->findChild<QLineEdit*>("lineEdit_IP"); }

private slots:
    void initTestCase()
    {
        m_app = std::make_unique<TestAppDir>();
        UiTest::stageThemes(*m_app);
        ConfigSetting::instance()->SetInit(ConfigKey::NetworkIp, "127.0.0.9");
    }

    void opensOnTheConnectingPageWithTheStoredAddress()
    {
        BootScreen* boot = BootScreen::instance();
        QCOMPARE(pages()->currentIndex(), 0);
        QCOMPARE(pages()->currentWidget()->objectName(), QStringLiteral("page_BootGif"));
        QCOMPARE(addressEdit()->text(), QStringLiteral("127.0.0.9"));
        QVERIFY(boot->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(boot->testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(boot->styleSheet().contains("#widget_top"));
        QVERIFY(!boot->isVisible());
    }

    void failedAttemptsAreCountedOnTheWaitingPage()
    {
        // Nothing in this program connects: the two failures are the only ones.
        auto* waiting = BootScreen::instance()->findChild<QLabel*>("label_5");
        QCOMPARE(waiting->text(), QStringLiteral("连接中..."));
        emit ProtocolManager::instance()->ConnectFailed();
        emit ProtocolManager::instance()->ConnectFailed();
        QCOMPARE(waiting->text(), QStringLiteral("连接中...\n连接失败（2 次），每 3 秒自动重试"));
    }

    void scalesWithTheScreen()
    {
        const double factor = QGuiApplication::primaryScreen()->logicalDotsPerInch() / 96.0;
        QCOMPARE(BootScreen::instance()->size(), QSize(int(std::lround(411 * factor)), int(std::lround(227 * factor))));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(qAbs(BootScreen::instance()->geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(BootScreen::instance()->geometry().center().y() - screen.center().y()) <= 1);
    }

    void addressPattern_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain address") << "192.168.1.10" << true << "192.168.1.10";
        QTest::newRow("leading zeros within three digits") << "010.001.000.009" << true << "10.1.0.9";
        QTest::newRow("part above 255") << "192.168.1.256" << false << "";
        QTest::newRow("three parts") << "192.168.1" << false << "";
        QTest::newRow("trailing blank") << "192.168.1.10 " << false << "";
        QTest::newRow("four-digit part") << "192.168.1.0010" << false << "";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("host name") << "localhost" << false << "";
    }

    void addressPattern()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, stored);
        QCOMPARE(BootScreen::isValidAddress(text), valid);
        if (valid)
            QCOMPARE(BootScreen::normalisedAddress(text), stored);
    }

    void validAddressIsStoredAndAsksToReconnect()
    {
        BootScreen* boot = BootScreen::instance();
        pages()->setCurrentIndex(1);
        QSignalSpy change(boot, &BootScreen::ChangeConnectIP);
        addressEdit()->setText("127.000.000.002");
        QTest::mouseClick(boot->findChild<QPushButton*>("pbn_ChangeIP"), Qt::LeftButton);
        QCOMPARE(change.count(), 1);
        QCOMPARE(pages()->currentIndex(), 0);
        QSettings ini(m_app->configFile(), QSettings::IniFormat);
        QCOMPARE(ini.value("Network/IP").toString(), QStringLiteral("127.0.0.2"));
        QCOMPARE(addressEdit()->styleSheet(), QString());
    }

    void invalidAddressIsMarkedAndNotStored()
    {
        BootScreen* boot = BootScreen::instance();
        pages()->setCurrentIndex(1);
        QSignalSpy change(boot, &BootScreen::ChangeConnectIP);
        addressEdit()->setText("192.168.1.256");
        QTest::mouseClick(boot->findChild<QPushButton*>("pbn_ChangeIP"), Qt::LeftButton);
        QCOMPARE(change.count(), 0);
        QCOMPARE(pages()->currentIndex(), 1);
        QCOMPARE(addressEdit()->styleSheet(), QStringLiteral("border:1px solid #f50000"));
        QCOMPARE(addressEdit()->toolTip(), QStringLiteral("IP不合法"));
        QSettings ini(m_app->configFile(), QSettings::IniFormat);
        QCOMPARE(ini.value("Network/IP").toString(), QStringLiteral("127.0.0.2"));
    }

    void linkUpClosesTheScreenEvenOnTheAddressPage()
    {
        BootScreen* boot = BootScreen::instance();
        boot->show();
        pages()->setCurrentIndex(1);
        QSignalSpy skip(boot, &BootScreen::SkipWaitingConnect);
        emit ProtocolManager::instance()->NetSuccess(false);
        QVERIFY(boot->isVisible());
        QCOMPARE(skip.count(), 0);
        emit ProtocolManager::instance()->NetSuccess(true);
        QVERIFY(!boot->isVisible());
        QCOMPARE(skip.count(), 1);
        // A later reconnect reports again; the screen stays closed.
        emit ProtocolManager::instance()->NetSuccess(true);
        QCOMPARE(skip.count(), 2);
        QVERIFY(!boot->isVisible());
    }

    void eleventhPressOfTheSettingsButtonSkipsWaiting()
    {
        BootScreen* boot = BootScreen::instance();
        boot->show();
        pages()->setCurrentIndex(0);
        QSignalSpy skip(boot, &BootScreen::SkipWaitingConnect);
        auto* button = boot->findChild<QToolButton*>("pbn_setIP");
        for (int i = 0; i < 10; ++i) {
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(boot->isVisible());
            QCOMPARE(pages()->currentIndex(), 1);
        }
        QCOMPARE(skip.count(), 0);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!boot->isVisible());
        QCOMPARE(skip.count(), 1);
        boot->show();
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(boot->isVisible());
        QCOMPARE(skip.count(), 1);
        boot->close();
    }
};

QTEST_MAIN(tst_BootScreen)
#include "tst_BootScreen.moc"
