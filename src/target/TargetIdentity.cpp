#include "TargetIdentity.h"

IdBlock TargetIdentity::IDBlock() const {
    return {InitByte, SystemID, SubsystemID, SerialLow, SerialHigh, IDByte1, IDByte2, IDByte3};
}

TargetIdentity decodeIdentityReply(const RxMsg& frame) {
    const auto byte = [&frame](size_t i) { return static_cast<qint16>(frame[i] & 0xFF); };
    TargetIdentity id;
    id.LastErrorCode = byte(1);
    id.InitByte = byte(2);
    id.SystemID = byte(3);
    id.SubsystemID = byte(4);
    id.SerialLow = byte(5);
    id.SerialHigh = byte(6);
    id.IDByte1 = byte(7);
    id.IDByte2 = byte(8);
    id.IDByte3 = byte(9);
    id.SerialNo = static_cast<qint32>(id.SerialHigh) * 256 + id.SerialLow;
    id.BLVersionMinor = byte(10);
    id.BLVersionMajor = byte(11);
    id.AppVersionMinor = byte(12);
    id.AppVersionMajor = byte(13);
    for (size_t i = 0; i < id.CpuID.size(); ++i)
        id.CpuID[i] = byte(14 + i);
    for (size_t i = 0; i < id.InfoBytes.size(); ++i)
        id.InfoBytes[i] = byte(18 + i);
    id.BLCapabilities = byte(28);
    return id;
}
