#pragma once

#include <QtGlobal>

// The receiver-relay switch (Extend/1), 8 bytes little-endian, sent as it lies:
//   0 on (1) or off (0) | 1 zero | 2 u32 PC address (ipString2Int) | 6 u16 PC port
// e.g. on, 127.0.0.1, port 9000: 01 00 01 00 00 7F 28 23. All zero switches the relay off.
#pragma pack(push, 1)
struct ReceiverDataTrans
{
    quint8 On = 0;
    quint8 Reserved = 0;
    quint32 Address = 0;
    quint16 Port = 0;
};
#pragma pack(pop)
static_assert(sizeof(ReceiverDataTrans) == 8, "ReceiverDataTrans is the 8-byte wire record");
