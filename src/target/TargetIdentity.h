#pragma once

#include "Frames.h"
#include "IdBlock.h"

#include <QtGlobal>

#include <array>

// Everything the connected module says about itself in its identity reply.
// All fields are 0 before the first reply.
struct TargetIdentity {
    qint16 LastErrorCode = 0;
    qint16 InitByte = 0; // 90 (0x5A) once the ID block has been written
    qint16 SystemID = 0;
    qint16 SubsystemID = 0;
    qint16 SerialLow = 0;
    qint16 SerialHigh = 0;
    qint16 IDByte1 = 0;
    qint16 IDByte2 = 0;
    qint16 IDByte3 = 0;
    qint32 SerialNo = 0;
    qint16 BLVersionMinor = 0;
    qint16 BLVersionMajor = 0;
    qint16 AppVersionMinor = 0;
    qint16 AppVersionMajor = 0;
    std::array<qint16, 4> CpuID{};
    std::array<qint16, 11> InfoBytes{};
    // Bit 0: application flash write; bit 1: erasing and writing single pages.
    qint16 BLCapabilities = 0;

    IdBlock IDBlock() const;
};

// Decodes an identity reply (frame[0] = 32, data in frame[1..28]).
TargetIdentity decodeIdentityReply(const RxMsg& frame);
