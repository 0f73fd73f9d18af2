#include <ReceiverDataTransportManager.h>

#include <QtTest>

namespace {
NetworkInterfaceEntry iface(QNetworkInterface::InterfaceType type, const QString& name, const QStringList& addresses)
{
    NetworkInterfaceEntry e;
    e.type = type;
    e.humanReadableName = name;
    for (const QString& a : addresses)
        e.addresses << QHostAddress(a);
    return e;
}
} // namespace

Q_DECLARE_METATYPE(QList<NetworkInterfaceEntry>)

// Only the choice is exercised here: the addresses are data and nothing is sent to them.
class tst_ReceiverRelayAddress : public QObject
{
    Q_OBJECT

private slots:
    void choosesAddress_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QList<NetworkInterfaceEntry>>("interfaces");
        QTest::addColumn<QString>("expected");

        const auto eth = QNetworkInterface::Ethernet;
        const auto wifi = QNetworkInterface::Wifi;
        const QList<NetworkInterfaceEntry> two{iface(eth, QStringLiteral("以太网"), {QStringLiteral("10.1.2.3")}),
                                               iface(wifi, QStringLiteral("WLAN"), {QStringLiteral("172.16.0.9")})};

        QTest::newRow("real link address used as it is")
            << QStringLiteral("10.9.9.9") << two << QStringLiteral("10.9.9.9");
        QTest::newRow("link down: empty text used as it is") << QString() << two << QString();
        QTest::newRow("loopback, no interfaces")
            << QStringLiteral("127.0.0.1") << QList<NetworkInterfaceEntry>() << QStringLiteral("127.0.0.1");
        QTest::newRow("loopback: last address of last interface")
            << QStringLiteral("127.0.0.1") << two << QStringLiteral("172.16.0.9");
        QTest::newRow("other loopback host also replaced")
            << QStringLiteral("127.0.0.5") << two << QStringLiteral("172.16.0.9");
        QTest::newRow("127.1.0.1 is not looked past")
            << QStringLiteral("127.1.0.1") << two << QStringLiteral("127.1.0.1");
        QTest::newRow("virtual in any case skipped")
            << QStringLiteral("127.0.0.1")
            << QList<NetworkInterfaceEntry>{iface(eth, QStringLiteral("LAN"), {QStringLiteral("10.1.2.3")}),
                                            iface(eth, QStringLiteral("VirtualBox Host-Only"),
                                                  {QStringLiteral("10.0.0.7")}),
                                            iface(eth, QStringLiteral("Hyper-V VIRTUAL Switch"),
                                                  {QStringLiteral("10.0.0.8")})}
            << QStringLiteral("10.1.2.3");
        QTest::newRow("vmware in any case skipped")
            << QStringLiteral("127.0.0.1")
            << QList<NetworkInterfaceEntry>{iface(wifi, QStringLiteral("WLAN"), {QStringLiteral("10.1.2.3")}),
                                            iface(eth, QStringLiteral("vmware Network Adapter VMnet8"),
                                                  {QStringLiteral("10.0.0.7")})}
            << QStringLiteral("10.1.2.3");
        QTest::newRow("other interface types skipped")
            << QStringLiteral("127.0.0.1")
            << QList<NetworkInterfaceEntry>{iface(eth, QStringLiteral("eth0"), {QStringLiteral("10.1.2.3")}),
                                            iface(QNetworkInterface::Ppp, QStringLiteral("ppp0"),
                                                  {QStringLiteral("10.0.0.7")}),
                                            iface(QNetworkInterface::Unknown, QStringLiteral("tun0"),
                                                  {QStringLiteral("10.0.0.8")})}
            << QStringLiteral("10.1.2.3");
        QTest::newRow("IPv6 and loopback addresses skipped, last IPv4 of the interface wins")
            << QStringLiteral("127.0.0.1")
            << QList<NetworkInterfaceEntry>{iface(eth, QStringLiteral("eth0"),
                                                  {QStringLiteral("10.1.2.3"), QStringLiteral("10.1.2.4"),
                                                   QStringLiteral("fe80::1"), QStringLiteral("127.0.0.1")})}
            << QStringLiteral("10.1.2.4");
        QTest::newRow("only unsuitable addresses: loopback stays")
            << QStringLiteral("127.0.0.1")
            << QList<NetworkInterfaceEntry>{iface(eth, QStringLiteral("eth0"),
                                                  {QStringLiteral("::1"), QStringLiteral("fe80::2")})}
            << QStringLiteral("127.0.0.1");
    }
    void choosesAddress()
    {
        QFETCH(QString, link);
        QFETCH(QList<NetworkInterfaceEntry>, interfaces);
        QFETCH(QString, expected);
        QCOMPARE(ReceiverDataTransportManager::choosePcAddress(link, interfaces), expected);
    }
};

QTEST_GUILESS_MAIN(tst_ReceiverRelayAddress)
#include "tst_ReceiverRelayAddress.moc"
