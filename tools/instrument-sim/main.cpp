// instrument-sim: the simulated instrument for running the host without hardware.
//   instrument-sim [--listen IP] [--port N] [--profile standard|full|transponder|norate]
//   [--variant NAME] [--ext-port N] [--ext-records NAME,...] [--ext-fault lose|error|late:CODE]...
//   [--calibration-port N] [--db9-port N] [--hostile N] [--unasked N] [--fault SWITCH:TYPE:CMD[:N[:AFTER]]]...
//   [--card-upload CARD:RESULT]... [--card-download CARD:0|1]... [--card-delay CARD:MS]...
//   [--card-connects CARD:0|1]... [--card-slow CARD:MS]... [--card-resume-early CARD:0|1]...
//   (default 127.0.0.1:5000, the standard configuration store; --variant names the PC's
//   configMode, whose receiver the instrument carries: "518" and "LEO" a TX518, every other the
//   UM98X; with --ext-port the extension protocol of the "518" variant answers on that UDP port
//   of the same address, holding the records named, with each fault given: the replies of CODE
//   lost, a command error in their place, or the first one held until the next; with
//   --calibration-port the acquisition card answers the calibration window's datagrams there;
//   with --db9-port the "CPCI" instrument's DB9 frames go to that UDP port on loopback; with
//   --hostile N every heartbeat reply is followed by N pieces of junk, and with --unasked N by N
//   well-formed replies nobody asked for, for soaking the host; each
//   --fault lose|repeat|malformed|unanswered:TYPE:CMD[:COUNT[:AFTER]] loses the next COUNT requests
//   of that message type and command, sends their replies twice, sends them without payload, or
//   acts on them and sends no reply, once AFTER of them went as usual; late:TYPE:CMD:MS sends
//   every reply of that kind MS ms late, slow:TYPE:CMD:MS acts on (and answers) every request of
//   that kind MS ms after it came; each
//   --card-upload CARD:RESULT has that card (from 1) answer every upload start with RESULT
//   (0 accepted, 1 failed, 2 record not found); each --card-download CARD:RESULT every download
//   start (1 accepted, 0 refused); each --card-delay CARD:MS answers that card's transfer starts,
//   and connects it, MS ms later, so that its answer comes after those of the cards behind it;
//   each --card-connects CARD:0 has that card accept its starts and never connect; each
//   --card-slow CARD:MS has that card send one upload answer at a time, each MS ms after its
//   request; each --card-resume-early CARD:1 has it answer the first request of a resumed
//   upload with the block before it first)
#include "CalibrationCard.h"
#include "Db9Sender.h"
#include "ExtProtocolDevice.h"
#include "InstrumentSim.h"
#include "ReceiverStream.h"
#include "TransferHandler.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <functional>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("instrument-sim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated instrument on the control port."));
    parser.addHelpOption();
    const QCommandLineOption listenOption(QStringLiteral("listen"), QStringLiteral("Address to listen on."),
                                          QStringLiteral("IP"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Control port."), QStringLiteral("N"),
                                        QStringLiteral("5000"));
    const QCommandLineOption profileOption(
        QStringLiteral("profile"), QStringLiteral("Configuration store: standard, full, transponder or norate."),
        QStringLiteral("NAME"), QStringLiteral("standard"));
    const QCommandLineOption variantOption(QStringLiteral("variant"),
                                           QStringLiteral("Instrument variant (configMode) whose receiver to carry."),
                                           QStringLiteral("NAME"));
    parser.addOption(variantOption);
    const QCommandLineOption extPortOption(QStringLiteral("ext-port"),
                                           QStringLiteral("UDP port of the extension protocol (0: off)."),
                                           QStringLiteral("N"), QStringLiteral("0"));
    parser.addOption(extPortOption);
    const QCommandLineOption extRecordsOption(QStringLiteral("ext-records"),
                                              QStringLiteral("Records the extension protocol lists."),
                                              QStringLiteral("NAME,..."));
    parser.addOption(extRecordsOption);
    const QCommandLineOption extFaultOption(
        QStringLiteral("ext-fault"),
        QStringLiteral("Extension protocol replies of CODE lost, replaced by a command error, or the first held."),
        QStringLiteral("lose|error|late:CODE"));
    parser.addOption(extFaultOption);
    const QCommandLineOption calibrationOption(QStringLiteral("calibration-port"),
                                               QStringLiteral("UDP port of the calibration card (0: off)."),
                                               QStringLiteral("N"), QStringLiteral("0"));
    parser.addOption(calibrationOption);
    const QCommandLineOption db9Option(QStringLiteral("db9-port"),
                                       QStringLiteral("UDP port on loopback for the DB9 frames (0: off)."),
                                       QStringLiteral("N"), QStringLiteral("0"));
    parser.addOption(db9Option);
    const QCommandLineOption hostileOption(QStringLiteral("hostile"),
                                           QStringLiteral("Junk sent after each heartbeat reply (0: off)."),
                                           QStringLiteral("N"), QStringLiteral("0"));
    parser.addOption(hostileOption);
    const QCommandLineOption unaskedOption(
        QStringLiteral("unasked"),
        QStringLiteral("Well-formed replies nobody asked for, sent after each heartbeat reply (0: off)."),
        QStringLiteral("N"), QStringLiteral("0"));
    parser.addOption(unaskedOption);
    const QCommandLineOption faultOption(
        QStringLiteral("fault"),
        QStringLiteral("lose, repeat, malformed or unanswered, for the next COUNT (default 1) of a type and command, "
                       "once AFTER (default 0) of them went as usual; late:TYPE:CMD:MS sends every reply of the "
                       "kind MS ms late; slow:TYPE:CMD:MS acts on every request of the kind MS ms after it came."),
        QStringLiteral("SWITCH:TYPE:CMD[:COUNT[:AFTER]]"));
    parser.addOption(faultOption);
    const QCommandLineOption cardUploadOption(
        QStringLiteral("card-upload"),
        QStringLiteral(
            "The answer of a card (from 1) to every upload start: 0 accepted, 1 failed, 2 record not found."),
        QStringLiteral("CARD:RESULT"));
    parser.addOption(cardUploadOption);
    const QCommandLineOption cardDownloadOption(
        QStringLiteral("card-download"),
        QStringLiteral("The answer of a card (from 1) to every download start: 1 accepted, 0 refused."),
        QStringLiteral("CARD:RESULT"));
    parser.addOption(cardDownloadOption);
    const QCommandLineOption cardDelayOption(
        QStringLiteral("card-delay"),
        QStringLiteral("A card (from 1) answers every transfer start, and connects, MS ms later: answers out of "
                       "card order."),
        QStringLiteral("CARD:MS"));
    parser.addOption(cardDelayOption);
    const QCommandLineOption cardConnectsOption(
        QStringLiteral("card-connects"),
        QStringLiteral(
            "Whether a card (from 1) connects once it accepted a transfer start: 0 never, 1 (default) at once."),
        QStringLiteral("CARD:0|1"));
    parser.addOption(cardConnectsOption);
    const QCommandLineOption cardSlowOption(
        QStringLiteral("card-slow"),
        QStringLiteral("A card (from 1) sends its upload answers one at a time, each MS ms after its request."),
        QStringLiteral("CARD:MS"));
    parser.addOption(cardSlowOption);
    const QCommandLineOption cardResumeEarlyOption(
        QStringLiteral("card-resume-early"),
        QStringLiteral("A card (from 1) answers the first request of a resumed upload with the block before it first."),
        QStringLiteral("CARD:0|1"));
    parser.addOption(cardResumeEarlyOption);
    parser.addOption(profileOption);
    parser.addOption(listenOption);
    parser.addOption(portOption);
    parser.process(app);

    QTextStream err(stderr);
    const QHostAddress address(parser.value(listenOption));
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (address.isNull() || !portOk || port > 65535) {
        err << "instrument-sim: bad address or port\n";
        return 2;
    }
    const QString profile = parser.value(profileOption);
    DevConfigStore::Profile storeProfile = DevConfigStore::Profile::Standard;
    if (profile == QLatin1String("full"))
        storeProfile = DevConfigStore::Profile::FullFeatured;
    else if (profile == QLatin1String("transponder"))
        storeProfile = DevConfigStore::Profile::Transponder;
    else if (profile == QLatin1String("norate"))
        storeProfile = DevConfigStore::Profile::NoRateControl;
    else if (profile != QLatin1String("standard")) {
        err << "instrument-sim: unknown profile " << profile << '\n';
        return 2;
    }
    InstrumentSim sim;
    sim.profile().devConfig.load(storeProfile);
    sim.receiver().setReceiver(ReceiverStream::receiverOf(parser.value(variantOption)));
    sim.faults().hostile = int(qMin(parser.value(hostileOption).toUInt(), 10000u));
    sim.faults().unasked = int(qMin(parser.value(unaskedOption).toUInt(), 10000u));
    for (const QString& fault : parser.values(faultOption)) {
        if (!sim.setKindFault(fault)) {
            err << "instrument-sim: bad fault " << fault << '\n';
            return 2;
        }
    }
    // A per-card switch reads CARD:VALUE, the card from 1, the value no more than `max`.
    const auto cardValues = [&](const QCommandLineOption& option, uint max, const char* what,
                                const std::function<void(int, uint)>& set) {
        for (const QString& item : parser.values(option)) {
            bool cardOk = false;
            bool valueOk = false;
            const uint card = item.section(QLatin1Char(':'), 0, 0).toUInt(&cardOk);
            const uint value = item.section(QLatin1Char(':'), 1).toUInt(&valueOk);
            if (!cardOk || !valueOk || card < 1 || card > 255 || value > max) {
                err << "instrument-sim: bad " << what << ' ' << item << '\n';
                return false;
            }
            set(int(card), value);
        }
        return true;
    };
    TransferHandler* transfer = sim.handler<TransferHandler>();
    if (!cardValues(cardUploadOption, 2, "card answer",
                    [transfer](int card, uint v) { transfer->cardUploadResults[card] = quint8(v); })
        || !cardValues(cardDownloadOption, 1, "card answer",
                       [transfer](int card, uint v) { transfer->cardDownloadAccepted[card] = v == 1; })
        || !cardValues(cardDelayOption, 600000, "card delay",
                       [transfer](int card, uint v) { transfer->cardReplyDelayMs[card] = int(v); })
        || !cardValues(cardConnectsOption, 1, "card connection",
                       [transfer](int card, uint v) {
                           if (v == 0)
                               transfer->unconnectedCards.insert(card);
                           else
                               transfer->unconnectedCards.remove(card);
                       })
        || !cardValues(cardSlowOption, 600000, "card answer delay",
                       [transfer](int card, uint v) { transfer->cardFaults[card].answerDelayMs = int(v); })
        || !cardValues(cardResumeEarlyOption, 1, "card resume",
                       [transfer](int card, uint v) { transfer->cardFaults[card].firstAnswerBlockBefore = v == 1; }))
        return 2;
    if (!sim.listen(address, quint16(port))) {
        err << "instrument-sim: cannot listen on " << address.toString() << ':' << port << '\n';
        return 1;
    }
    err << "instrument-sim: listening on " << address.toString() << ':' << sim.port() << '\n';
    err.flush();
    ExtProtocolDevice extension;
    const uint extPort = parser.value(extPortOption).toUInt();
    if (extPort > 0 && extPort <= 65535) {
        if (!extension.listen(address, quint16(extPort))) {
            err << "instrument-sim: cannot bind the extension port " << extPort << '\n';
            return 1;
        }
        for (const QString& name : parser.value(extRecordsOption).split(QLatin1Char(','), Qt::SkipEmptyParts))
            extension.records << name.toUInt();
        for (const QString& fault : parser.values(extFaultOption)) {
            const QString kind = fault.section(QLatin1Char(':'), 0, 0);
            bool ok = false;
            const uint code = fault.section(QLatin1Char(':'), 1).toUInt(&ok);
            ExtProtocolDevice::Faults& f = extension.faults();
            if (ok && code < 256 && kind == QLatin1String("lose"))
                f.silentCodes << quint8(code);
            else if (ok && code < 256 && kind == QLatin1String("error"))
                f.errorCodes << quint8(code);
            else if (ok && code < 256 && kind == QLatin1String("late"))
                f.holdUntilNext[quint8(code)] = 1;
            else {
                err << "instrument-sim: bad extension fault " << fault << '\n';
                return 2;
            }
        }
        err << "instrument-sim: extension protocol on udp " << address.toString() << ':' << extension.port() << '\n';
        err.flush();
        QObject::connect(&extension, &ExtProtocolDevice::requestReceived, [&](const ExtProtocolDevice::Request& r) {
            err << "extension code " << r.code << " payload " << r.payload.toHex(' ')
                << (r.checksumGood ? "" : " (bad checksum)") << '\n';
            err.flush();
        });
    }
    CalibrationCard card;
    const uint calibrationPort = parser.value(calibrationOption).toUInt();
    if (calibrationPort > 0 && calibrationPort <= 65535) {
        if (!card.listen(address, quint16(calibrationPort))) {
            err << "instrument-sim: cannot bind the calibration port " << calibrationPort << '\n';
            return 1;
        }
        err << "instrument-sim: calibration card on udp " << address.toString() << ':' << card.port() << '\n';
        err.flush();
        QObject::connect(&card, &CalibrationCard::datagramReceived, [&] {
            const CalibrationCard::Datagram& d = card.received().last();
            err << "calibration type " << d.type << " cmd " << d.cmd << " seq " << d.sequence << " payload "
                << d.payload.toHex(' ') << (d.crcGood ? "" : " (bad CRC)") << '\n';
            err.flush();
            card.clear(); // logged; the program keeps none
        });
    }
    const uint db9Port = parser.value(db9Option).toUInt();
    if (db9Port > 0 && db9Port <= 65535) {
        sim.db9().start(quint16(db9Port));
        err << "instrument-sim: DB9 frames to udp 127.0.0.1:" << db9Port << '\n';
        err.flush();
    }
    QObject::connect(&sim, &InstrumentSim::clientConnected, [&] {
        err << "connected\n";
        err.flush();
    });
    QObject::connect(&sim, &InstrumentSim::clientDisconnected, [&] {
        err << "disconnected\n";
        err.flush();
    });
    QObject::connect(&sim, &InstrumentSim::requestReceived, [&](const InstrumentSim::Request& r) {
        err << "request type " << r.type << " cmd " << r.cmd << " card " << r.card << " seq " << r.sequence
            << " payload " << r.payload.toHex(' ') << (r.crcGood ? "" : " (bad crc)") << '\n';
        err.flush();
    });
    return app.exec();
}
