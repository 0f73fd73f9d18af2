#include "SimPresets.h"

#include "CollectHandler.h"
#include "ReceiverStream.h"
#include "RecordHandler.h"
#include "SpectrumSender.h"
#include "TransferHandler.h"

void SimPresets::apply(InstrumentSim& sim, InstrumentSim::Preset preset)
{
    if (preset == InstrumentSim::Preset::Test)
        applyTest(sim);
    else
        applyDefault(sim);
}

void SimPresets::applyDefault(InstrumentSim& sim)
{
    DeviceProfile& p = sim.profile();
    p = DeviceProfile();
    p.charging = 1;
    p.power = 86;
    p.channels = 4;
    p.software = {3, 2, 1, 2041};
    const DeviceProfile::Version cardSoftware{2, 4, 0, 1187};
    const DeviceProfile::Version fpga{1, 8, 2, 20260915};
    p.boards = {DeviceProfile::Board{cardSoftware, 3, fpga, 1907729, 1415210, 0},
                DeviceProfile::Board{cardSoftware, 3, fpga, 1907729, 1398044, 0}};
    // Total and free capacity of all disks in MB, then a reserved word.
    p.values[0] = 2 * 1907729;
    p.values[1] = 1415210 + 1398044;
    p.values[2] = 0;
    p.identifier = "KELO-SIM01";
    p.devConfig.load(DevConfigStore::Profile::Standard);

    // A few records of the last weeks, sized by what they hold (bands of the band table).
    auto* records = sim.handler<RecordHandler>(2);
    records->records().clear();
    const struct
    {
        quint32 name;
        quint32 duration;
        QList<int> bands;
        qint8 bit;
        quint32 bandwidth;
        quint32 sampleRate;
        const char* remark;
    } seeds[] = {
        {1795512600, 30, {1, 2}, 2, 40000000, 62500000, "楼顶天线静态采集"},
        {1795788300, 60, {1, 2, 3, 7}, 2, 20000000, 31250000, "城区跑车 四频点"},
        {1796206320, 12, {2}, 2, 2046000, 62500000, "B1I 窄带测试"},
        {1796661900, 20, {5, 6}, 4, 40000000, 62500000, "L2/L5 双频"},
    };
    for (const auto& s : seeds) {
        RecordHandler::SimRecord r;
        r.name = s.name;
        r.startTime = s.name;
        r.duration = s.duration;
        r.bands = s.bands;
        r.bit = s.bit;
        r.bandwidth = s.bandwidth;
        r.sampleRate = s.sampleRate;
        r.remark = QString::fromUtf8(s.remark);
        r.size = RecordHandler::sizeMiB(r, p.boards.size());
        // Already on the disks: the free figures above count them.
        records->records() << r;
    }

    auto* collect = sim.handler<CollectHandler>(3);
    collect->model().realTime = true;
    collect->model().recordOnStop = true;
    collect->faults().endPlaybackOnOwn = true;
    collect->progressTimer().setInterval(250);

    sim.handler<TransferHandler>(4)->blocksFromRecord = true;
    sim.spectrum().setShaped(true);
    sim.receiver().setLive(true);
}

void SimPresets::applyTest(InstrumentSim& sim)
{
    DeviceProfile& p = sim.profile();
    p = DeviceProfile();
    p.devConfig.load(DevConfigStore::Profile::FullFeatured);
    sim.handler<RecordHandler>(2)->records().clear();
    auto* collect = sim.handler<CollectHandler>(3);
    collect->model() = CollectHandler::Model();
    collect->faults().endPlaybackOnOwn = false;
    collect->progressTimer().setInterval(100);
    sim.handler<TransferHandler>(4)->blocksFromRecord = false;
    sim.spectrum().setShaped(false);
    sim.receiver().setLive(false);
}
