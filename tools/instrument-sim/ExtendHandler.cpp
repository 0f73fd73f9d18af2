#include "ExtendHandler.h"

#include "InstrumentSim.h"
#include "ReceiverRelayPeer.h"
#include "RecordHandler.h"
#include "SimBytes.h"
#include "SpectrumSender.h"

using SimBytes::get;
using SimBytes::put;

namespace {
enum Cmd : quint8 {
    Relay = 1,
    Bandwidth = 2,
    Output = 3,
    FrequencyControl = 4,
    FrequencyData = 5,
    PowerAmplifier = 6,
};
} // namespace

void ExtendHandler::handle(const SimFrame& request)
{
    const QByteArray& in = request.payload;
    switch (request.cmd) {
    case Relay:
        if (in.size() == 8) {
            relayOn = get(in, 0, 1) != 0;
            relayAddress = get(in, 2, 4);
            relayPort = quint16(get(in, 6, 2));
            m_sim.relay().command({relayOn, relayAddress, relayPort});
        }
        break;
    case Bandwidth:
        if (in.size() == 4) {
            if (silentBandwidth != 0) {
                if (silentBandwidth > 0)
                    --silentBandwidth;
                return;
            }
            auto* records = m_sim.handler<RecordHandler>(2);
            const RecordHandler::SimRecord* r = records ? records->find(get(in, 0, 4)) : nullptr;
            QByteArray out;
            put(out, r ? r->bandwidth : 0, 4);
            m_sim.reply(request, Bandwidth, out);
        }
        break;
    case Output:
        lastOutputSetting = in;
        break;
    case FrequencyControl:
        if (in.isEmpty()) {
            QByteArray out;
            put(out, spectrumOn ? 1 : 0, 1);
            put(out, spectrumBand, 4);
            put(out, spectrumPort, 2);
            m_sim.reply(request, FrequencyControl, out);
        }
        break;
    case FrequencyData:
        if (in.size() == 5) {
            spectrumOn = get(in, 0, 1) != 0;
            spectrumBand = get(in, 1, 4);
            QByteArray out;
            put(out, spectrumOn ? spectrumPort : 0, 2);
            m_sim.reply(request, FrequencyData, out);
            if (spectrumOn)
                m_sim.spectrum().start(m_sim.peerAddress(), spectrumPort);
            else
                m_sim.spectrum().stop();
        }
        break;
    case PowerAmplifier:
        if (in.size() == 3) {
            amplifier = get(in, 0, 3);
            m_sim.reply(request, PowerAmplifier, QByteArray(1, '\x01'));
        }
        break;
    default:
        break;
    }
}
