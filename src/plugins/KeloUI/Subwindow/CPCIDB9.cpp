#include "CPCIDB9.h"
#include "ui_CPCIDB9.h"

#include "Db9Frame.h"
#include "PanelFit.h"
#include "RadioEventFilter.h"

#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMutexLocker>
#include <QRadioButton>
#include <QThread>
#include <QUdpSocket>

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
    , ui(new Ui::CPCIDB9)
    , m_listenPort(listenPort().load())
{
    ui->setupUi(this);
    m_fit = new PanelFit(this, ui->verticalLayout_panel, ui->PanelArea, ui->verticalLayout_root);
    m_filter = new RadioEventFilter;

    auto* satGrid = new QGridLayout;
    for (int n = 1; n <= 64; ++n) {
        auto* b = new QRadioButton(tr("卫星%1").arg(n));
        b->setAutoExclusive(false);
        b->installEventFilter(m_filter);
        satGrid->addWidget(b, (n - 1) % 8, (n - 1) / 8);
        m_satellites << b;
    }
    ui->groupBox_b3->setLayout(satGrid);

    auto* ratioGrid = new QGridLayout;
    for (int m = 0; m < 12; ++m) {
        auto* name = new QLabel(tr("卫星%1:").arg(m + 1));
        auto* value = new QLabel(QStringLiteral("0"));
        ratioGrid->addWidget(name, m % 4, 2 * (m / 4));
        ratioGrid->addWidget(value, m % 4, 2 * (m / 4) + 1);
        m_ratios << qMakePair(name, value);
    }
    ui->groupBox_cnr->setLayout(ratioGrid);

    // Indicators that code sets one by one (not exclusive in the form); the user cannot change them.
    ui->radioButton_channel1->installEventFilter(m_filter);
    ui->radioButton_channel2->installEventFilter(m_filter);
    // They look like lamps, not like choices: no focus, no hover, lit green when on.
    QVector<QRadioButton*> lamps = m_satellites;
    lamps << ui->radioButton_channel1 << ui->radioButton_channel2;
    for (QRadioButton* lamp : qAsConst(lamps)) {
        lamp->setFocusPolicy(Qt::NoFocus);
        lamp->setStyleSheet(
            QStringLiteral("QRadioButton::indicator { width: 10px; height: 10px; border-radius: 6px;"
                           " border: 1px solid #9A9A9A; background: #E4E4E4; }"
                           "QRadioButton::indicator:checked { border-color: #1E7B34; background: #2EAA4A; }"));
    }
    ui->groupBox_b3->setToolTip(tr("由设备数据点亮，不可点选"));

    m_lastFrame = QByteArray(Db9Frame::kSize, '\0');
    m_lastFrame[0] = char(0x55);
    m_lastFrame[1] = char(0xAA);
    m_lastFrame[2] = char(0x52);
    m_lastFrame[3] = char(0xB2);

    connect(this, &CPCIDB9::haveNewData, this, &CPCIDB9::showData);

    m_socket = new QUdpSocket;
    m_thread = new QThread;
    m_socket->moveToThread(m_thread);
    connect(
        m_thread, &QThread::started, m_socket, [this] { bindInThread(); }, Qt::DirectConnection);
    // The socket is freed in its own thread as that thread ends.
    QUdpSocket* socket = m_socket;
    connect(m_thread, &QThread::finished, [socket] { delete socket; });
    m_thread->start();
}

QSize CPCIDB9::sizeHint() const
{
    // Where the screen allows, it opens showing all of its content: a scroll area's own hint is
    // capped at a few dozen lines.
    return ui->PanelContents->sizeHint();
}

QSize CPCIDB9::minimumSizeHint() const
{
    return m_fit ? m_fit->leastSize().expandedTo(QWidget::minimumSizeHint()) : QWidget::minimumSizeHint();
}

CPCIDB9::~CPCIDB9()
{
    disconnect(m_socket, nullptr, this, nullptr);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    delete m_filter;
    delete ui;
}

void CPCIDB9::bindInThread()
{
    connect(m_socket, &QUdpSocket::readyRead, this, &CPCIDB9::udpData, Qt::DirectConnection);
    if (m_socket->bind(QHostAddress::AnyIPv4, m_listenPort))
        m_boundPort = m_socket->localPort();
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
    ui->label_version->setText(Db9Frame::version(f));
    ui->label_valid_weektime->setText(u8(8) & 0x1 ? tr("有效") : tr("无效"));
    ui->label_valid_prn->setText(u8(8) & 0x2 ? tr("有效") : tr("无效"));
    ui->label_bdWeek->setText(QString::number(Db9Frame::le(f, 10, 2)));
    ui->label_bdWSec->setText(QString::number(Db9Frame::le(f, 12, 8)));
    for (QRadioButton* b : qAsConst(m_satellites))
        b->setChecked(false);
    for (int n = 1; n <= 64; ++n) {
        if (Db9Frame::satelliteBit(f, n))
            m_satellites[n - 1]->setChecked(true);
    }
    ui->label_satCnt->setText(QString::number(Db9Frame::le(f, 28, 2)));
    ui->label_positionOk->setText(u8(30) & 0x1 ? tr("有效") : tr("无效"));
    ui->label_longi->setText(Db9Frame::degrees(f, 31));
    ui->label_lati->setText(Db9Frame::degrees(f, 35));
    ui->label_alti->setText(Db9Frame::altitude(f));
    ui->label_datetime->setText(Db9Frame::dateTime(f));
    const QString band = Db9Frame::band(u8(55));
    ui->label_satCN0Freq->setText(band.isEmpty() ? tr("无效") : band);
    for (int i = 0; i < 12; ++i) {
        m_ratios[i].first->setText(tr("卫星%1:").arg(u8(56 + 2 * i)));
        m_ratios[i].second->setText(QStringLiteral("%1 ").arg(u8(57 + 2 * i)));
    }
    ui->radioButton_channel1->setChecked(u8(80) != 0);
    ui->radioButton_channel2->setChecked(u8(81) != 0);
    ui->label_pdop->setText(Db9Frame::pdop(f));
    ui->label_selfCheck->setText(u8(82) & 0x1 ? tr("成功") : tr("故障"));
}
