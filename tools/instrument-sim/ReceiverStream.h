#pragma once

#include "SkyModel.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class ReceiverRelayPeer;

// The instrument's GNSS receiver as it talks over the relay: once a second an epoch of NMEA
// sentences (GNGGA, GNRMC, then GSV sets of GPS L1 C/A, BeiDou B1I, B1C and B3I, GLONASS G1 and
// Galileo E1), and the ephemeris logs (GPSEPHA, BDSEPHA, BD3EPHA, GLOEPHA, GALEPHA) of the
// satellites in view when a connection opens and when the PC asks for a log by name
// ("GPSEPHA ONCHANGED\r\n" and the like). Sentences carry the NMEA XOR checksum, logs the
// reflected CRC-32 (0xEDB88320, initial 0, no final inversion) in eight hexadecimal digits:
//   $GNGGA,093000.00,3959.12346,N,11618.54324,E,1,24,0.5,52.3,M,-8.6,M,,*hh\r\n
//   #GPSEPHA,1,F,S,2447,207000000,0,0,0,18;5,207000.000,...*1a2b3c4d\r\n
// Numbers are written in plain decimals (no exponent), as the receiver's parsers read them.
//
// The "518" and "LEO" instruments carry a TX518 receiver instead, which reports BeiDou alone:
// once a second BDGGA, BDRMC and one EGSVA sentence with every BeiDou satellite in view, each
// with its signals (identifier, carrier-to-noise ratio in 0.1 dB-Hz), and no ephemeris logs. The
// 518's receiver tracks B3I (signal 1); the LEO's B3I on every satellite and B1C (4) and B2a (5)
// on BeiDou-3 (numbers 19 and up):
//   $EGSVA,0,2,7,45,120,1,1,452,21,30,200,3,1,401,4,415,5,423*73\r\n
//   system 0 (BDS), 2 satellites: number 7, elevation 45, azimuth 120, 1 pair (B3I, 45.2 dB-Hz);
//   number 21 ... 3 pairs; 73 is the XOR of the bytes between '$' and '*', as in NMEA.
class ReceiverStream : public QObject
{
    Q_OBJECT
public:
    enum class Receiver { Um98x, Tx518B3i, Tx518Leo };

    explicit ReceiverStream(ReceiverRelayPeer& relay, QObject* parent = nullptr);

    // The receiver of an instrument variant (the PC's configMode): "518" and "LEO" the TX518 of
    // their own signals, every other the UM98X.
    static Receiver receiverOf(const QString& variant);
    void setReceiver(Receiver r) { m_receiver = r; }
    Receiver receiver() const { return m_receiver; }

    // On: the stream above runs while the relay has a connection. Off: the relay sends only what
    // a test gives it.
    void setLive(bool on);
    bool isLive() const { return m_live; }

    // The bytes of one epoch and of the ephemeris logs at a time (milliseconds since the epoch);
    // `names` chooses logs by name ("GPSEPHA" ...), empty for all five.
    static QByteArray epoch(qint64 msecs, Receiver receiver = Receiver::Um98x);
    static QByteArray ephemerides(qint64 msecs, const QList<QByteArray>& names = {});
    static QByteArray sentence(const QByteArray& body); // '$' body '*' XOR, CR LF
    static QByteArray log(const QByteArray& body);      // '#' body '*' CRC-32, CR LF
    static quint32 crc32(const QByteArray& bytes);

private:
    void onConnected();
    void onData(const QByteArray& data);
    void tick();

    ReceiverRelayPeer& m_relay;
    QTimer m_timer;
    QByteArray m_commands;
    bool m_live = false;
    Receiver m_receiver = Receiver::Um98x;
};
