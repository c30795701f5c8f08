#include "IdentityDisplay.h"

#include "GeneralUtilities.h"
#include "IdentityTexts.h"
#include "TargetIdentity.h"

namespace {
QString version(qint16 major, qint16 minor, QChar separator) {
    return QStringLiteral("%1%2%3").arg(major).arg(separator).arg(minor, 2, 10, QLatin1Char('0'));
}
} // namespace

IdentityDisplay displayIdentity(const TargetIdentity& identity) {
    using GeneralUtilities::BytetoHexStr;
    IdentityDisplay d;
    const auto block = identity.IDBlock();
    for (size_t i = 0; i < block.size(); ++i)
        d.idBlock[i] = QLatin1Char('$') + BytetoHexStr(block[i]);
    d.serialNo = QString::number(identity.SerialNo);
    d.system = SystemIDtoStr(identity.SystemID);
    d.subSystem = SubSystemIDtoStr(identity.SystemID, identity.SubsystemID);
    for (size_t i = 0; i < d.cpuId.size(); ++i)
        d.cpuId[i] = QString::number(identity.CpuID[i]);
    d.bootloaderVersion = version(identity.BLVersionMajor, identity.BLVersionMinor, QLatin1Char(':')) +
                          QLatin1Char('[') + BytetoHexStr(identity.BLCapabilities) + QLatin1Char(']');
    d.appVersion = version(identity.AppVersionMajor, identity.AppVersionMinor, QLatin1Char(':'));
    d.mainSystem = d.system + QStringLiteral(" : ") + d.subSystem;
    d.printedSerial = GetSerialStr(identity);
    d.lastError = ErrorCodetoStr(identity.LastErrorCode);
    return d;
}

QString firmwareVersionText(qint16 major, qint16 minor) {
    return version(major, minor, QLatin1Char('.'));
}
