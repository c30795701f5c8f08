#include "ResultJson.h"

#include "ExitCodes.h"
#include "IdentityDisplay.h"
#include "IdentityTexts.h"

#include <QJsonArray>

namespace {
template <typename Values> QJsonArray numbers(const Values& values) {
    QJsonArray array;
    for (const auto value : values)
        array.append(static_cast<int>(value));
    return array;
}
} // namespace

QJsonObject identityJson(const TargetIdentity& identity) {
    const IdentityDisplay shown = displayIdentity(identity);
    return QJsonObject{
        {"lastErrorCode", identity.LastErrorCode},
        {"lastError", shown.lastError},
        {"idBlock", numbers(identity.IDBlock())},
        {"initByte", identity.InitByte},
        {"systemId", identity.SystemID},
        {"system", shown.system},
        {"subsystemId", identity.SubsystemID},
        {"subsystem", shown.subSystem},
        {"serialNo", identity.SerialNo},
        {"printedSerial", shown.printedSerial},
        {"bootloaderVersion", shown.bootloaderVersion},
        {"capabilities", identity.BLCapabilities},
        {"appVersion", shown.appVersion},
        {"cpuId", numbers(identity.CpuID)},
        {"infoBytes", numbers(identity.InfoBytes)},
    };
}

const char* serialStateName(SerialState state) {
    switch (state) {
    case SerialState::None:
        break;
    case SerialState::Logged:
        return "logged";
    case SerialState::Reserved:
        return "reserved";
    case SerialState::Cancelled:
        return "cancelled";
    }
    return "";
}

QJsonObject reservationJson(const Reservation& reservation) {
    return QJsonObject{{"serial", reservation.serial},
                       {"reservedAt", reservation.reservedAt.toString(Qt::ISODate)},
                       {"station", reservation.station},
                       {"firmware", reservation.firmware},
                       {"idBlock", numbers(reservation.block)}};
}

QJsonObject resultJson(const QString& operation, const OperationResult& result, const QDateTime& started,
                       qint64 elapsedMs) {
    QJsonObject object{
        {"operation", operation},
        {"outcome", QString::fromLatin1(outcomeName(result.outcome))},
        {"exitCode", ExitCode::forOutcome(result.outcome)},
        {"status", result.status},
        {"started", started.toString(Qt::ISODateWithMs)},
        {"elapsedMs", elapsedMs},
    };
    if (!result.critical.isEmpty())
        object.insert("critical", result.critical);
    if (result.identity)
        object.insert("identity", identityJson(*result.identity));
    if (result.totalPages > 0 || result.pages > 0) {
        object.insert("pages", result.pages);
        object.insert("totalPages", result.totalPages);
    }
    if (result.ignoredBytes > 0)
        object.insert("ignoredBytes", result.ignoredBytes);
    if (result.serial)
        object.insert("serial", *result.serial);
    if (result.serialState != SerialState::None)
        object.insert("serialState", QString::fromLatin1(serialStateName(result.serialState)));
    if (!result.record.isEmpty())
        object.insert("record", QString::fromLatin1(result.record));
    if (!result.file.isEmpty())
        object.insert("file", result.file);
    return object;
}
