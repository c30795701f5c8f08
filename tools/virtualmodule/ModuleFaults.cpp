#include "ModuleFaults.h"

#include <QStringList>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {
using Kind = PlannedFault::Kind;

// The kinds by their names in the program's options.
constexpr std::pair<const char*, Kind> kKindNames[] = {
    {"no-reply", Kind::NoReply},     {"refuse", Kind::Refuse}, {"bad-checksum", Kind::BadChecksum},
    {"garbage", Kind::Garbage},      {"pause", Kind::Pause},   {"delay", Kind::Delay},
    {"double-ack", Kind::DoubleAck}, {"hang-up", Kind::HangUp}};

bool takesTime(Kind kind) {
    return kind == Kind::Pause || kind == Kind::Delay;
}

std::optional<int> number(const QString& text, int lowest, int highest) {
    bool ok = false;
    const int value = text.toInt(&ok, 0);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}
} // namespace

std::optional<FaultPlan> parseFaultPlan(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3)
        return std::nullopt;
    FaultPlan planned;
    const auto code = number(parts[0], 0, 255);
    if (!code)
        return std::nullopt;
    planned.code = *code;
    if (parts[1] != QLatin1String("*")) {
        const auto occurrence = number(parts[1], 1, 1'000'000);
        if (!occurrence)
            return std::nullopt;
        planned.occurrence = *occurrence;
    }
    const QString name = parts[2].section(QLatin1Char('='), 0, 0);
    const QString time = parts[2].section(QLatin1Char('='), 1);
    const auto named = std::find_if(std::begin(kKindNames), std::end(kKindNames), [&name](const auto& entry) {
        return name == QLatin1String(entry.first);
    });
    if (named == std::end(kKindNames) || takesTime(named->second) == time.isEmpty())
        return std::nullopt;
    planned.fault.kind = named->second;
    if (takesTime(planned.fault.kind)) {
        const auto ms = number(time, 0, 3'600'000);
        if (!ms)
            return std::nullopt;
        planned.fault.ms = *ms;
    }
    return planned;
}

QList<PlannedFault> ModuleFaults::nextFrame(int code) {
    const int occurrence = ++FramesOfCode[code];
    QList<PlannedFault> faults;
    for (const FaultPlan& planned : std::as_const(Plans)) {
        if (planned.code == code &&
            (planned.occurrence == FaultPlan::kEveryOccurrence || planned.occurrence == occurrence))
            faults.append(planned.fault);
    }
    return faults;
}
