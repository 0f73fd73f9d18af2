#pragma once

#include "keloui_global.h"

#include "Db9FrameCutter.h"

#include <QByteArray>
#include <QMutex>
#include <QPair>
#include <QVector>
#include <QWidget>

#include <atomic>

class PanelFit;
class QLabel;
class QRadioButton;
class QThread;
class QUdpSocket;
class RadioEventFilter;

namespace Ui {
class CPCIDB9;
}

// The DB9 output-data panel of the "CPCI" variant: the instrument's DB9 frames (Db9Frame)
// arrive over UDP on a socket in a thread of its own, are cut and checked there, and the last
// good frame is shown here. The panel sends nothing.
class KELOUI_EXPORT CPCIDB9 : public QWidget
{
    Q_OBJECT
public:
    static constexpr quint16 kPort = 54321;
    // Test seam: the port the next panel binds (54321 in use; 0 for a free one).
    static void setListenPort(quint16 port);

    explicit CPCIDB9(QWidget* parent = nullptr);
    ~CPCIDB9() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The bound local port, 0 until the socket thread has bound it (or when binding failed).
    quint16 boundPort() const { return m_boundPort.load(); }

signals:
    void haveNewData();

public slots:
    void udpData();
    void showData();

private:
    void bindInThread();

    Ui::CPCIDB9* ui;
    PanelFit* m_fit = nullptr;

    Db9FrameCutter m_cutter; // socket thread only
    QUdpSocket* m_socket = nullptr;
    // The last good frame is written by the socket thread and read by the display.
    mutable QMutex m_frameLock;
    QByteArray m_lastFrame;
    QVector<QRadioButton*> m_satellites;
    QVector<QPair<QLabel*, QLabel*>> m_ratios;
    RadioEventFilter* m_filter = nullptr;
    QThread* m_thread = nullptr;
    quint16 m_listenPort = kPort;
    std::atomic<quint16> m_boundPort{0};
};
