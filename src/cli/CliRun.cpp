#include "CliRun.h"

#include "BootloaderCore.h"
#include "CliRequest.h"
#include "ExitCodes.h"
#include "IdentityDisplay.h"
#include "Interrupts.h"
#include "Operations.h"
#include "PortMap.h"
#include "ResultJson.h"
#include "TerminalSink.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

using Command = CliRequest::Command;

// Between two looks for a module in a station loop.
constexpr int kProbeIntervalMs = 300;

void printJson(const QJsonObject& object) {
    std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

// The one line a result gets on standard output without --json.
QString resultLine(const QString& operation, const OperationResult& r) {
    QString line = operation + QLatin1Char(' ') + QString::fromLatin1(outcomeName(r.outcome));
    if (!r.status.isEmpty())
        line += QStringLiteral(": ") + r.status;
    QStringList details;
    if (r.identity) {
        const IdentityDisplay shown = displayIdentity(*r.identity);
        details << shown.mainSystem << shown.printedSerial << QStringLiteral("app ") + shown.appVersion
                << QStringLiteral("bootloader ") + shown.bootloaderVersion
                << QStringLiteral("last error ") + shown.lastError;
    }
    if (r.totalPages > 0 || r.pages > 0)
        details << QStringLiteral("%1 of %2 pages").arg(r.pages).arg(r.totalPages);
    if (r.ignoredBytes > 0)
        details << QStringLiteral("%1 bytes of a partial record ignored").arg(r.ignoredBytes);
    if (r.serial && r.serialState != SerialState::None)
        details << QStringLiteral("serial %1 %2").arg(*r.serial).arg(serialStateName(r.serialState));
    if (!r.file.isEmpty())
        details << r.file;
    if (!details.isEmpty())
        line += QStringLiteral(" (") + details.join(QStringLiteral(", ")) + QLatin1Char(')');
    return line;
}

class CliRunner {
public:
    CliRunner(const CliRequest& request)
        : Request(request), Sink(::isatty(STDERR_FILENO) == 1), Core(Sink, coreOptions(request)),
          Ops(Core.operations()), View(Core.view()), Name(QString::fromLatin1(commandName(request.command))) {
        QObject::connect(&Signals, &Interrupts::interrupted, [this] { Ops.stop(); });
    }

    int run() {
        switch (Request.command) {
        case Command::Ports:
            return ports();
        case Command::Ledger:
            return ledger();
        case Command::DbInit:
            return administer(
                Ops.initSerialDatabase({Request.log.address, Request.grantRole, Request.newRange}));
        case Command::ExportSerials:
            return administer(Ops.exportSerials({Request.log, Request.file}));
        case Command::ImportSerials:
            return administer(Ops.importSerials({Request.log, Request.file}));
        default:
            break;
        }
        // A port that will not open is this command's result, like any other.
        if (const OperationResult opened = Ops.openPort({Request.port}); !opened.succeeded())
            return ExitCode::forOutcome(report(Name, opened, true).outcome);
        if (const int prepared = prepare(); prepared != ExitCode::kSucceeded)
            return prepared;
        return Request.repeat ? station() : single();
    }

private:
    static BootloaderCore::Options coreOptions(const CliRequest& request) {
        BootloaderCore::Options options;
        options.recoveryUrl = request.recoveryUrl;
        return options;
    }

    // A command with no module: its one result.
    int administer(const OperationResult& result) {
        report(Name, result, true);
        return ExitCode::forOutcome(result.outcome);
    }

    // What a command needs before its first unit: files, capture settings, the log.
    int prepare() {
        switch (Request.command) {
        case Command::Program:
            return loadFirmware(Request.file);
        case Command::LogSerial: {
            SerialLogRequest log;
            log.where = Request.log;
            log.sharing = SerialLedger::Sharing::TakeTurns;
            log.idTemplate = Request.block;
            log.memo = Request.memo;
            log.startAt = Request.nextSerial;
            log.lockTimeout = Request.lockTimeout;
            const OperationResult opened =
                report(QStringLiteral("open-db"), Ops.openSerialDatabase(log), false);
            if (opened.outcome == Outcome::Abandoned)
                Sink.line(
                    QStringLiteral("Interrupted: %1 stopped while waiting for %2.").arg(Name, opened.file));
            if (!opened.succeeded())
                return ExitCode::forOutcome(opened.outcome);
            return Request.programFile.isEmpty() ? ExitCode::kSucceeded : loadFirmware(Request.programFile);
        }
        default:
            return ExitCode::kSucceeded;
        }
    }

    int loadFirmware(const QString& path) {
        const OperationResult loaded = Ops.LoadFirmwareFile(path);
        if (loaded.succeeded())
            return ExitCode::kSucceeded;
        report(QStringLiteral("load"), loaded, true);
        return ExitCode::forOutcome(loaded.outcome);
    }

    // One unit of the command.
    OperationResult unit() {
        switch (Request.command) {
        case Command::Identify:
            return Ops.RequestTargetID();
        case Command::Erase:
            return Ops.EraseTarget();
        case Command::Wipe:
            return Ops.WipeTarget();
        case Command::Restore:
            return Ops.RestoreSerialBackup();
        case Command::Reboot:
            return settled(Ops.Restart());
        case Command::EnterBootloader:
            return settled(Ops.RestartIntoBootloader(Request.switchBaud));
        case Command::Program: {
            // The file is checked against the module as it is now.
            OperationResult read = Ops.RequestTargetID();
            if (!read.succeeded())
                return read;
            OperationResult programmed = Ops.programFirmware({Request.ignoreTargetCheck});
            programmed.identity = read.identity;
            return programmed;
        }
        case Command::Capture:
            return Ops.UploadEncryptedFirmware(Request.capture);
        case Command::WriteSerial:
            return Ops.WriteSerialNo({Request.block});
        case Command::LogSerial:
            return Ops.ProgramAndLogSerialNo({!Request.programFile.isEmpty(), Request.ignoreTargetCheck});
        case Command::Recover:
            return Ops.RecoverSerialNo(
                {Request.code, Request.log.address.isEmpty() ? std::nullopt : std::optional(Request.log)});
        case Command::Ports:
        case Command::Ledger:
        case Command::DbInit:
        case Command::ExportSerials:
        case Command::ImportSerials:
            break;
        }
        return Outcome::BadInput;
    }

    // A restart returns at once; its result is how its command settled.
    OperationResult settled(OperationResult sent) {
        if (sent.succeeded())
            sent.outcome = Ops.waitUntilSettled();
        return sent;
    }

    // Runs one unit and prints its result.
    OperationResult timedUnit(int number) {
        const QDateTime started = QDateTime::currentDateTime();
        QElapsedTimer clock;
        clock.start();
        OperationResult result = unit();
        Elapsed = clock.elapsed();
        Started = started;
        report(Name, result, true, number);
        return result;
    }

    OperationResult report(const QString& operation, const OperationResult& result, bool always,
                           int number = 0) {
        if (!always && result.succeeded())
            return result;
        if (Request.json) {
            QJsonObject object = resultJson(operation, result, Started, Elapsed);
            if (number > 0)
                object.insert("unit", number);
            object.insert("port", View.device());
            printJson(object);
        } else {
            std::printf("%s\n",
                        qPrintable((number > 0 ? QStringLiteral("unit %1: ").arg(number) : QString()) +
                                   resultLine(operation, result)));
            std::fflush(stdout);
        }
        return result;
    }

    void sayWhereItStopped(const OperationResult& result) {
        QString where = QStringLiteral("Interrupted: %1 stopped at its next step").arg(Name);
        if (result.totalPages > 0)
            where += QStringLiteral(" (%1 of %2 pages done)").arg(result.pages).arg(result.totalPages);
        Sink.line(where + QLatin1Char('.'));
    }

    int single() {
        const OperationResult result = timedUnit(0);
        if (result.outcome == Outcome::Abandoned) {
            sayWhereItStopped(result);
            return ExitCode::kInterrupted;
        }
        return ExitCode::forOutcome(result.outcome);
    }

    // Waits kProbeIntervalMs, or less when interrupted.
    void idle() {
        if (Signals.happened())
            return;
        QEventLoop loop;
        QTimer::singleShot(kProbeIntervalMs, &loop, &QEventLoop::quit);
        QObject::connect(&Signals, &Interrupts::interrupted, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Looks for the module until it answers (present) or stops answering;
    // false when interrupted or the port is lost.
    bool waitUntil(bool present) {
        for (;;) {
            const OperationResult probe = Ops.probeModule();
            if (Signals.happened())
                return false;
            if (probe.outcome == Outcome::PortError) {
                PortLost = true;
                return false;
            }
            if (present ? probe.succeeded() : probe.outcome == Outcome::NoResponse)
                return true;
            idle();
        }
    }

    int station() {
        if (!Request.json)
            Sink.line(
                QStringLiteral("Station on %1: waiting for a module (Ctrl-C ends).").arg(View.device()));
        QMap<QString, int> byOutcome;
        int units = 0, failed = 0, firstFailure = ExitCode::kSucceeded;
        bool cutShort = false;
        while (waitUntil(true)) {
            const OperationResult result = timedUnit(++units);
            byOutcome[QString::fromLatin1(outcomeName(result.outcome))] += 1;
            if (result.outcome == Outcome::Abandoned) {
                sayWhereItStopped(result);
                cutShort = true;
                break;
            }
            if (!result.succeeded()) {
                ++failed;
                if (firstFailure == ExitCode::kSucceeded)
                    firstFailure = ExitCode::forOutcome(result.outcome);
            }
            if (!waitUntil(false))
                break;
        }
        summary(units, failed, byOutcome);
        if (cutShort)
            return ExitCode::kInterrupted;
        if (PortLost && firstFailure == ExitCode::kSucceeded)
            return ExitCode::kPortError;
        return firstFailure;
    }

    void summary(int units, int failed, const QMap<QString, int>& byOutcome) {
        if (Request.json) {
            QJsonObject outcomes;
            for (auto it = byOutcome.begin(); it != byOutcome.end(); ++it)
                outcomes.insert(it.key(), it.value());
            printJson({{"operation", "summary"},
                       {"units", units},
                       {"succeeded", byOutcome.value(QStringLiteral("succeeded"))},
                       {"failed", failed},
                       {"byOutcome", outcomes}});
            return;
        }
        QStringList counts;
        for (auto it = byOutcome.begin(); it != byOutcome.end(); ++it)
            counts << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        std::printf("summary: %d unit%s, %d failed%s\n", units, units == 1 ? "" : "s", failed,
                    counts.isEmpty() ? "" : qPrintable(QStringLiteral(" (") + counts.join(", ") + ")"));
        std::fflush(stdout);
    }

    int ports() {
        Ops.scanPorts();
        QJsonArray list;
        for (int port = PortMap::kFirstPort; port <= PortMap::kLastPort; ++port) {
            const QString device = View.deviceForPort(port);
            const bool opens = View.portFound(port);
            if (Request.json)
                list.append(QJsonObject{{"port", port}, {"device", device}, {"opens", opens}});
            else
                std::printf("COM%-3d %-40s %s\n", port, qPrintable(device), opens ? "opens" : "-");
        }
        if (Request.json)
            printJson({{"operation", "ports"}, {"outcome", "succeeded"}, {"ports", list}});
        return ExitCode::kSucceeded;
    }

    // The reservations of a log that were never logged; reads the log
    // without waiting for it, and sends nothing.
    int ledger() {
        OperationResult listed = Ops.listReservations(Request.log);
        if (Request.json) {
            QJsonObject object = resultJson(Name, listed, Started, 0);
            object.remove("elapsedMs");
            QJsonArray reserved;
            for (const Reservation& reservation : listed.reservations)
                reserved.append(reservationJson(reservation));
            if (listed.succeeded())
                object.insert("reserved", reserved);
            printJson(object);
        } else {
            for (const Reservation& r : listed.reservations)
                std::printf("reserved %05d %s %s%s%s\n", r.serial,
                            qPrintable(r.reservedAt.toString(Qt::ISODate)), qPrintable(r.station),
                            r.firmware.isEmpty() ? "" : " ", qPrintable(r.firmware));
            if (listed.succeeded() && listed.reservations.isEmpty())
                std::printf("No serial numbers are reserved but not logged.\n");
            if (!listed.succeeded())
                std::printf("%s\n", qPrintable(resultLine(Name, listed)));
        }
        std::fflush(stdout);
        return ExitCode::forOutcome(listed.outcome);
    }

    const CliRequest& Request;
    Interrupts Signals;
    TerminalSink Sink;
    BootloaderCore Core;
    Operations& Ops;
    const CoreView& View;
    QString Name;
    QDateTime Started = QDateTime::currentDateTime();
    qint64 Elapsed = 0;
    bool PortLost = false;
};

} // namespace

int runCli(const CliRequest& request) {
    CliRunner runner(request);
    return runner.run();
}
