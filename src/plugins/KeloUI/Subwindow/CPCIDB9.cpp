#include "CPCIDB9.h"

#include "Db9Frame.h"
#include "RadioEventFilter.h"

#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMutexLocker>
#include <QRadioButton>
#include <QThread>
#include <QUdpSocket>
#include <QVBoxLayout>

namespace {
std::atomic<quint16>& listenPort()
{
    static std::atomic<quint16> port{CPCIDB9::kPort};
    return port;
}
} // namespace

void CPCIDB9::setListenPort(quint16 port)
{
    listenPort() = port;
}

CPCIDB9::CPCIDB9(QWidget* parent)
    : QWidget(parent)
    , m_listenPort(listenPort().load())
{
    buildForm();
    setWindowTitle(tr("DB9输出数据"));
    m_filter = new RadioEventFilter;

    auto* satGrid = new QGridLayout;
    for (int n = 1; n <= 64; ++n) {
        auto* b = new QRadioButton(QStringLiteral("卫星%1").arg(n));
        b->setAutoExclusive(false);
        b->installEventFilter(m_filter);
        satGrid->addWidget(b, (n - 1) % 8, (n - 1) / 8);
        m_satellites << b;
    }
    findChild<QGroupBox*>(QStringLiteral("groupBox_b3"))->setLayout(satGrid);

    auto* ratioGrid = new QGridLayout;
    for (int m = 0; m < 12; ++m) {
        auto* name = new QLabel(QStringLiteral("卫星%1:").arg(m + 1));
        auto* value = new QLabel(QStringLiteral("0"));
        ratioGrid->addWidget(name, m % 4, 2 * (m / 4));
        ratioGrid->addWidget(value, m % 4, 2 * (m / 4) + 1);
        m_ratios << qMakePair(name, value);
    }
    findChild<QGroupBox*>(QStringLiteral("groupBox_cnr"))->setLayout(ratioGrid);

    radioButton_channel1->installEventFilter(m_filter);
    radioButton_channel2->installEventFilter(m_filter);

    m_lastFrame = QByteArray(Db9Frame::kSize, '\0');
    m_lastFrame[0] = char(0x55);
    m_lastFrame[1] = char(0xAA);
    m_lastFrame[2] = char(0x52);
    m_lastFrame[3] = char(0xB2);

    connect(this, &CPCIDB9::haveNewData, this, &CPCIDB9::showData);

    m_socket = new QUdpSocket;
    m_thread = new QThread;
    m_socket->moveToThread(m_thread);
    connect(m_thread, &QThread::started, m_socket, [this] { bindInThread(); }, Qt::DirectConnection);
    // The socket is freed in its own thread as that thread ends.
    QUdpSocket* socket = m_socket;
    connect(m_thread, &QThread::finished, [socket] { delete socket; });
    m_thread->start();
}

CPCIDB9::~CPCIDB9()
{
    disconnect(m_socket, nullptr, this, nullptr);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    delete m_filter;
}

void CPCIDB9::bindInThread()
{
    connect(m_socket, &QUdpSocket::readyRead, this, &CPCIDB9::udpData, Qt::DirectConnection);
    if (m_socket->bind(QHostAddress::AnyIPv4, m_listenPort))
        m_boundPort = m_socket->localPort();
}

void CPCIDB9::buildForm()
{
    setObjectName(QStringLiteral("CPCIDB9"));
    auto value = [this](QLabel*& label, const char* name) {
        label = new QLabel(tr("无数据"), this);
        label->setObjectName(QLatin1String(name));
        return label;
    };
    auto* root = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    const struct
    {
        QString caption;
        QLabel** label;
        const char* name;
    } rows[] = {
        {tr("定位有效性"), &label_positionOk, "label_positionOk"},
        {tr("卫星编号有效性"), &label_valid_prn, "label_valid_prn"},
        {tr("授时信息有效性"), &label_valid_weektime, "label_valid_weektime"},
        {tr("北斗周"), &label_bdWeek, "label_bdWeek"},
        {tr("北斗周内秒"), &label_bdWSec, "label_bdWSec"},
        {tr("时间"), &label_datetime, "label_datetime"},
        {tr("经度"), &label_longi, "label_longi"},
        {tr("纬度"), &label_lati, "label_lati"},
        {tr("高度"), &label_alti, "label_alti"},
        {tr("PDOP"), &label_pdop, "label_pdop"},
        {tr("软件版本"), &label_version, "label_version"},
        {tr("自检结果"), &label_selfCheck, "label_selfCheck"},
    };
    int i = 0;
    for (const auto& r : rows) {
        fields->addWidget(new QLabel(r.caption, this), i % 6, 2 * (i / 6));
        fields->addWidget(value(*r.label, r.name), i % 6, 2 * (i / 6) + 1);
        ++i;
    }
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);
    root->addLayout(fields);

    auto* b3 = new QGroupBox(tr("北斗B3卫星列表"), this);
    b3->setObjectName(QStringLiteral("groupBox_b3"));
    auto* count = new QHBoxLayout;
    count->addWidget(new QLabel(tr("卫星数目:"), this));
    count->addWidget(value(label_satCnt, "label_satCnt"));
    count->addStretch();
    root->addLayout(count);
    root->addWidget(b3);

    auto* band = new QHBoxLayout;
    band->addWidget(new QLabel(tr("载噪比频点:"), this));
    band->addWidget(value(label_satCN0Freq, "label_satCN0Freq"));
    band->addStretch();
    root->addLayout(band);
    auto* cnr = new QGroupBox(tr("卫星载噪比列表"), this);
    cnr->setObjectName(QStringLiteral("groupBox_cnr"));
    root->addWidget(cnr);

    auto* channels = new QGroupBox(tr("通道开关"), this);
    auto* channelRow = new QHBoxLayout(channels);
    radioButton_channel1 = new QRadioButton(tr("通道1"), channels);
    radioButton_channel1->setObjectName(QStringLiteral("radioButton_channel1"));
    radioButton_channel2 = new QRadioButton(tr("通道2"), channels);
    radioButton_channel2->setObjectName(QStringLiteral("radioButton_channel2"));
    // Indicators that code sets one by one, not a choice of one.
    radioButton_channel1->setAutoExclusive(false);
    radioButton_channel2->setAutoExclusive(false);
    channelRow->addWidget(radioButton_channel1);
    channelRow->addWidget(radioButton_channel2);
    channelRow->addStretch();
    root->addWidget(channels);
}

void CPCIDB9::udpData()
{
    // Socket thread. Every pending datagram is read: one left unread would hold back the
    // notification of the next.
    while (m_socket->hasPendingDatagrams()) {
        QByteArray datagram(int(qMax<qint64>(0, m_socket->pendingDatagramSize())), '\0');
        const qint64 got = m_socket->readDatagram(datagram.data(), datagram.size());
        if (got < 0)
            break;
        datagram.resize(int(got));
        QList<Db9FrameCutter::BadSum> bad;
        const QList<QByteArray> frames = m_cutter.append(datagram, &bad);
        for (const auto& b : bad)
            qDebug().noquote() << "校验错误" << QString::number(b.computed, 16) << QString::number(b.carried, 16);
        for (const QByteArray& f : frames) {
            {
                QMutexLocker lock(&m_frameLock);
                m_lastFrame = f;
            }
            emit haveNewData();
        }
    }
}

void CPCIDB9::showData()
{
    QByteArray f;
    {
        QMutexLocker lock(&m_frameLock);
        f = m_lastFrame;
    }
    auto u8 = [&](int at) { return quint8(f.at(at)); };
    label_version->setText(Db9Frame::version(f));
    label_valid_weektime->setText(u8(8) & 0x1 ? tr("有效") : tr("无效"));
    label_valid_prn->setText(u8(8) & 0x2 ? tr("有效") : tr("无效"));
    label_bdWeek->setText(QString::number(Db9Frame::le(f, 10, 2)));
    label_bdWSec->setText(QString::number(Db9Frame::le(f, 12, 8)));
    for (QRadioButton* b : qAsConst(m_satellites))
        b->setChecked(false);
    for (int n = 1; n <= 64; ++n) {
        if (Db9Frame::satelliteBit(f, n))
            m_satellites[n - 1]->setChecked(true);
    }
    label_satCnt->setText(QString::number(Db9Frame::le(f, 28, 2)));
    label_positionOk->setText(u8(30) & 0x1 ? QStringLiteral("有效") : QStringLiteral("无效"));
    label_longi->setText(Db9Frame::degrees(f, 31));
    label_lati->setText(Db9Frame::degrees(f, 35));
    label_alti->setText(Db9Frame::altitude(f));
    label_datetime->setText(Db9Frame::dateTime(f));
    const QString band = Db9Frame::band(u8(55));
    label_satCN0Freq->setText(band.isEmpty() ? tr("无效") : band);
    for (int i = 0; i < 12; ++i) {
        m_ratios[i].first->setText(tr("卫星%1:").arg(u8(56 + 2 * i)));
        m_ratios[i].second->setText(QStringLiteral("%1 ").arg(u8(57 + 2 * i)));
    }
    radioButton_channel1->setChecked(u8(80) != 0);
    radioButton_channel2->setChecked(u8(81) != 0);
    label_pdop->setText(Db9Frame::pdop(f));
    label_selfCheck->setText(u8(82) & 0x1 ? tr("成功") : tr("故障"));
}
