// merlax-ledger-station: a station without a module. It takes serial numbers
// from a ledger and logs them, one unit after another, exactly as a station
// does around writing a module: turn, reserve, (the module would be written
// and read back here), confirm. The database tests run many of them at once,
// kill one between reserve and confirm, or stop the server under them; the
// allocator benchmark measures how many units they log per second.
//
//   merlax-ledger-station --db URI --range R --units N
//                         [--hold-after-reserve] [--pace-ms MS] [--give-up-after S] [--quiet]
//                         [--no-turns] [--start-at MS]
//
// Standard output, one line each: "reserved S", "logged S", or
// "failed <step> [S]: why". With --quiet only the last line:
// "units=N first-ms=T last-ms=T" (milliseconds since the epoch).
// Exit code 0 when N units were logged, 1 when it gave up, 4 on a usage error.

#include "OpenSerialLedger.h"
#include "SerialRecord.h"
#include "TargetIdentity.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Between two tries when the ledger cannot be had.
constexpr int kRetryPauseMs = 100;

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// What the module reports about itself after the write, as a bench module
// would: fixed, so records differ only in serial number and time.
TargetIdentity readBack(const IdBlock& block) {
    TargetIdentity identity;
    identity.InitByte = block[0];
    identity.SystemID = block[1];
    identity.SubsystemID = block[2];
    identity.SerialLow = block[3];
    identity.SerialHigh = block[4];
    identity.BLVersionMajor = 1;
    identity.BLVersionMinor = 5;
    identity.CpuID = {0x12, 0x34, 0x56, 0x78};
    identity.InfoBytes = {'M', 'E', 'R', 'L', 'A', 'X', 1, 2, 3, 4, 5};
    return identity;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({
        {"db", "The ledger's address.", "URI"},
        {"range", "The serial range.", "R"},
        {"units", "Units to log.", "N", "1"},
        {"hold-after-reserve", "Reserve one number, say so, and wait to be killed."},
        {"pace-ms", "Time the module would take between reserve and confirm.", "MS", "0"},
        {"give-up-after", "Seconds after which to give up.", "S", "60"},
        {"quiet", "Only the summary line."},
        {"start-at", "Connect, then wait until this moment (ms since the epoch) to start.", "MS", "0"},
        {"no-turns",
         "Reserve and confirm only, without reading the ledger for each unit (the allocator alone)."},
    });
    parser.process(app);
    const int units = parser.value("units").toInt();
    if (!parser.isSet("db") || units < 1) {
        std::fputs("usage: merlax-ledger-station --db URI --range R --units N\n", stderr);
        return 4;
    }
    const bool quiet = parser.isSet("quiet");
    const auto report = [quiet](const QString& line) {
        if (!quiet)
            say(line);
    };
    const QDeadlineTimer giveUp(std::chrono::seconds(parser.value("give-up-after").toInt()));
    const StopRequested stop = [&giveUp] { return giveUp.hasExpired(); };
    const QString station = QStringLiteral("%1-%2 /dev/null")
                                .arg(QHostInfo::localHostName())
                                .arg(QCoreApplication::applicationPid());

    OpenedLedger opened;
    while (!opened.ledger && !giveUp.hasExpired()) {
        opened = openSerialLedger({parser.value("db"), parser.value("range")},
                                  SerialLedger::Sharing::TakeTurns, std::chrono::seconds(5), stop);
        if (!opened.ledger) {
            report(QStringLiteral("failed open: ") + opened.view.error);
            pause(kRetryPauseMs);
        }
    }
    if (!opened.ledger)
        return 1;
    SerialLedger& ledger = *opened.ledger;

    int logged = 0;
    qint64 firstMs = 0;
    // All stations of a benchmark start together, once every one is connected.
    if (const qint64 startAt = parser.value("start-at").toLongLong(); startAt > 0)
        pause(static_cast<int>(std::max<qint64>(0, startAt - QDateTime::currentMSecsSinceEpoch())));
    const bool turns = !parser.isSet("no-turns");
    while (logged < units && !giveUp.hasExpired()) {
        const LedgerView view = turns ? ledger.beginTurn(std::chrono::seconds(10), stop) : opened.view;
        if (!view.succeeded()) {
            report(QStringLiteral("failed turn: ") + view.error);
            pause(kRetryPauseMs);
            continue;
        }
        if (firstMs == 0)
            firstMs = QDateTime::currentMSecsSinceEpoch();
        Reservation reservation;
        reservation.station = station;
        for (size_t i = 0; i < reservation.block.size(); ++i)
            reservation.block[i] = view.idBlock[i].value_or(0);
        const LedgerWrite reserved = ledger.reserve(reservation, std::nullopt);
        if (!reserved.succeeded()) {
            // The module is not written: the next unit tries again.
            ledger.endTurn();
            report(QStringLiteral("failed reserve: ") + reserved.error);
            pause(kRetryPauseMs);
            continue;
        }
        report(QStringLiteral("reserved %1").arg(reserved.serial));
        if (parser.isSet("hold-after-reserve")) {
            QEventLoop untilKilled;
            untilKilled.exec();
        }
        if (const int pace = parser.value("pace-ms").toInt(); pace > 0)
            pause(pace);

        LoggedUnitRecord unit;
        unit.serial = reserved.serial;
        unit.block = reservation.block;
        unit.block[3] = static_cast<qint16>(reserved.serial & 0xFF);
        unit.block[4] = static_cast<qint16>(reserved.serial >> 8);
        const TargetIdentity identity = readBack(unit.block);
        unit.identity = &identity;
        unit.memo = view.memo.value_or(QString());
        unit.record = buildSerialRecord(static_cast<quint16>(reserved.serial), unit.block, identity,
                                        unit.memo, QDateTime::currentDateTime(), DateTimeSeparators{});
        const LedgerWrite confirmed = ledger.confirm(unit);
        ledger.endTurn();
        if (!confirmed.succeeded()) {
            report(QStringLiteral("failed confirm %1: %2").arg(reserved.serial).arg(confirmed.error));
            continue;
        }
        ++logged;
        report(QStringLiteral("logged %1").arg(reserved.serial));
    }
    if (quiet)
        say(QStringLiteral("units=%1 first-ms=%2 last-ms=%3")
                .arg(logged)
                .arg(firstMs)
                .arg(QDateTime::currentMSecsSinceEpoch()));
    return logged == units ? 0 : 1;
}
