#pragma once

#include "DevConfigStore.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What the simulated instrument reports about itself. Tests change it before they ask.
struct DeviceProfile
{
    struct Version
    {
        qint8 major = 0;
        qint8 minor = 0;
        qint16 build = 0;
        qint32 revision = 0;
    };
    struct Board
    {
        Version software;
        qint32 hardware = 0;
        Version fpga;
        quint32 diskTotalMb = 0;
        quint32 diskFreeMb = 0;
        quint32 selfCheckError = 0;
    };

    quint8 sourceId = 7;
    bool heartbeatAccepted = true;
    quint8 charging = 1;
    quint8 power = 80;
    bool externalClock = false; // the clock source the extended heartbeat reports

    quint8 channels = 4;
    Version software{1, 2, 3, 4};
    QList<Board> boards{Board{{2, 0, 1, 9}, 3, {5, 6, 7, 8}, 953869, 512000, 0},
                        Board{{2, 0, 1, 10}, 3, {5, 6, 7, 9}, 953869, 100, 0x20}};
    quint32 values[3] = {4096, 2048, 0};
    QByteArray identifier = "KELO-SIM01";
    bool autoTime = false;

    quint8 state = 1;
    quint32 stateValue = 0;
    quint32 progress = 0;
    quint32 progressTimes = 0;
    // The state report's parameter block of the running collection (the start's payload) or
    // playback (its first 17 bytes); empty: a fixed sample block.
    QByteArray runParameters;

    quint32 clock = 0; // last time set by the PC, seconds since the epoch
    quint32 address = 0, netmask = 0, gateway = 0;
    QList<quint32> customFreqs;
    QStringList pluginVersions{QStringLiteral("record 1.0.3"), QStringLiteral("playback 1.1.0")};
    QByteArray lastUpdateText;

    DevConfigStore devConfig; // System command 12
};
