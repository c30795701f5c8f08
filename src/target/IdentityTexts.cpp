#include "IdentityTexts.h"

#include "GeneralUtilities.h"
#include "TargetIdentity.h"

#include <QHash>

namespace {
const QString kUndefined = QStringLiteral("Undefined");

constexpr quint32 pairKey(qint16 id, qint16 subId) {
    return (static_cast<quint32>(static_cast<quint16>(id)) << 16) | static_cast<quint16>(subId);
}
} // namespace

QString SystemIDtoStr(qint16 ID) {
    static const QHash<qint16, QString> kNames{
        {1, QStringLiteral("Solvane")},
        {2, QStringLiteral("MERLAX Linkbay")},
        {3, QStringLiteral("MERLAX System Unit")},
        {8, QStringLiteral("MERLAX Stabrix")},
        {16, QStringLiteral("MERLAX Cuedeck")},
        {17, QStringLiteral("MERLAX Brushless Driver")},
    };
    return kNames.value(ID, kUndefined);
}

QString SubSystemIDtoStr(qint16 ID, qint16 SubID) {
    static const QHash<quint32, QString> kNames{
        {pairKey(1, 1), QStringLiteral("PWM")},
        {pairKey(1, 8), QStringLiteral("RC/Analog")},
        {pairKey(1, 10), QStringLiteral("PWM (FF)")},
        {pairKey(1, 11), QStringLiteral("PWM (Enh PID)")},
        {pairKey(1, 15), QStringLiteral("-> Stabrix (2-axis)")},
        {pairKey(1, 16), QStringLiteral("-> Stabrix (3-axis)")},
        {pairKey(1, 17), QStringLiteral("-> Stabrix (3-axis Pro)")},
        {pairKey(2, 1), QStringLiteral("System 3.0")},
        {pairKey(3, 1), QStringLiteral("SysCntrl 3.3")},
        {pairKey(3, 2), QStringLiteral("FltCntrl 3.3")},
        {pairKey(8, 15), QStringLiteral("-> 2-axis")},
        {pairKey(8, 16), QStringLiteral("-> 3-axis")},
        {pairKey(8, 17), QStringLiteral("-> 3-axis Pro")},
        {pairKey(16, 1), QString()},
        {pairKey(17, 1), QStringLiteral("(2-Axis)")},
        {pairKey(17, 2), QStringLiteral("(1-Axis)")},
    };
    return kNames.value(pairKey(ID, SubID), kUndefined);
}

QString ErrorCodetoStr(qint16 Err) {
    static const QHash<qint16, QString> kTexts{
        {-1, QStringLiteral("NoResp.")},          {0, QStringLiteral("OK")},
        {1, QStringLiteral("InvalidCommand")},    {2, QStringLiteral("MsgChecksumFail")},
        {3, QStringLiteral("SysIDmismatch")},     {4, QStringLiteral("SubsysIDmismatch")},
        {5, QStringLiteral("SerialNo mismatch")}, {6, QStringLiteral("EncDataChSumFail")},
        {7, QStringLiteral("IDlocked")},          {8, QStringLiteral("MemWriteFail")},
        {9, QStringLiteral("InvParam")},          {10, QStringLiteral("No Permission")},
    };
    const auto found = kTexts.constFind(Err);
    return found != kTexts.constEnd() ? *found : QStringLiteral("Code: %1").arg(Err);
}

QString GetSerialStr(const TargetIdentity& identity) {
    using GeneralUtilities::BytetoHexStr;
    return BytetoHexStr(identity.SystemID) + BytetoHexStr(identity.SubsystemID) + QLatin1Char('-') +
           BytetoHexStr(identity.SerialHigh) + BytetoHexStr(identity.SerialLow) + QLatin1Char(':') +
           BytetoHexStr(identity.IDByte1) + BytetoHexStr(identity.IDByte2) + BytetoHexStr(identity.IDByte3);
}

std::optional<QString> FwSystemIDtoStr(qint16 ID, qint16 SubID) {
    switch (ID) {
    case 1:
        if (SubID == 1 || SubID == 8 || SubID == 10)
            return QStringLiteral("Orbin Gimbal Stabiliser");
        if (SubID == 15 || SubID == 16)
            return QStringLiteral("MERLAX Stabrix System");
        return std::nullopt;
    case 2:
        return QStringLiteral("MERLAX Linkbay");
    case 3:
        return QStringLiteral("MERLAX 3.3");
    case 8:
        return QStringLiteral("MERLAX Stabrix");
    case 16:
        return QStringLiteral("MERLAX Cuedeck");
    case 17:
        if (SubID == 1)
            return QStringLiteral("MERLAX 2-Axis BLD");
        if (SubID == 2)
            return QStringLiteral("MERLAX 1-Axis BLD");
        return QStringLiteral("MERLAX BLD(xxxxxx)");
    default:
        return kUndefined;
    }
}
