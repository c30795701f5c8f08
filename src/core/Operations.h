#pragma once

#include "CommandExchange.h"
#include "OperationResult.h"
#include "Requests.h"
#include "SerialRangeAdmin.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class BootloaderCore;

// The one door into the core. A front end hands an operation a request that
// holds every input of it and gets a result back; while it runs, the core
// tells the front end what happens through its event sink, and the front end
// reads what it shows through the core's view.
//
// What talks to a module, or changes what a running operation reads, takes
// the one-operation gate for its whole run: while another runs it does
// nothing and answers Busy. Operations are built from steps, which never take
// the gate.
class Operations : public QObject {
    Q_OBJECT
public:
    explicit Operations(BootloaderCore& core, QObject* parent = nullptr);

    // Opens a port by number (the port map; a number the last scan did not
    // find leads to the first one it found) or a device by its path.
    OperationResult openPort(const PortRef& port);
    // "Scan": tries every port number and selects the open port again.
    OperationResult scanPorts();

    // "Connect to Target" and "Read".
    OperationResult RequestTargetID();
    // The identity read without a word on the status lines: is a module there?
    OperationResult probeModule();
    // Ends the operation that runs at its next step (the command in flight
    // completes; a serial number reserved is still written and logged), and
    // every later one before it sends anything.
    void stop();
    OperationResult EraseTarget();
    OperationResult WipeTarget();
    OperationResult RestoreSerialBackup();
    // Return at once and show nothing, but hold the gate until the command is
    // settled: Restart until its acknowledgement or time-out,
    // RestartIntoBootloader until the line is back at 115200 baud.
    OperationResult Restart();
    OperationResult RestartIntoBootloader(bool SwitchBaud);
    // Waits (in the event loop) until a restart has settled; how its command
    // ended. Succeeded at once when none is settling.
    Outcome waitUntilSettled();
    // The operator's correction of the application version.
    OperationResult editAppVersion(const AppVersionEdit& edit);

    // "Load Firmware File".
    OperationResult LoadFirmwareFile(const QString& path);
    // "Program Firmware".
    OperationResult programFirmware(const ProgramRequest& request);

    // "Start Upload".
    OperationResult UploadEncryptedFirmware(const CaptureRequest& request);
    // The capture pane's entries: an entry outside its range changes nothing
    // and answers BadInput.
    OperationResult editCapture(const CaptureEdit& edit);

    // Opens the serial log, a .ser file or a database range. The result holds
    // the next serial number and the reservations not logged.
    OperationResult openSerialDatabase(const SerialLogRequest& request);
    // The reservations not logged of a serial log, read as it stands, without
    // waiting for it; the log the windows hold stays as it is.
    OperationResult listReservations(const LedgerAddress& log);
    // "Prog Only".
    OperationResult WriteSerialNo(const WriteSerialRequest& request = {});
    // "Program and Log", or " Prog, Log, Write FW": a logged unit is then
    // programmed with the loaded firmware.
    OperationResult ProgramAndLogSerialNo(const LogRequest& request = {});
    // The serial pane's entries: an entry outside its range, or a serial
    // number that has been given, changes nothing and answers BadInput.
    OperationResult editSerial(const SerialEdit& edit);
    // A database's serial tables (no module, no port).
    OperationResult initSerialDatabase(const DatabaseInitRequest& request);
    // A log's logged units, in the order they were logged, as a .ser file.
    OperationResult exportSerials(const SerialExchangeRequest& request);
    // A database range started from a .ser file; refused onto one with units.
    OperationResult importSerials(const SerialExchangeRequest& request);
    // "Apply": the unit's ID block from the recovery server or a serial log,
    // written into the module.
    OperationResult RecoverSerialNo(const RecoverRequest& request);

private:
    // Runs `body` under the gate and completes its result with what the
    // operation told the operator and the identity it read.
    OperationResult gated(const std::function<void(OperationResult&)>& body);
    OperationResult ungated(const std::function<void(OperationResult&)>& body);
    // Takes the gate for a restart, to be released when its command settles.
    bool takeGateUntilSettled();
    void settle(Outcome outcome);
    // The unit's ID block for a recovery: found, or the outcome that ends it.
    std::optional<IdBlock> recoveredBlock(const RecoverRequest& request, OperationResult& r);
    // A serial log read as it stands, for this operation alone; on failure
    // the result says why and nothing is open.
    OpenedLedger readLog(const LedgerAddress& log, OperationResult& r);
    // A serial range's set-up or exchange, as a result.
    OperationResult administer(const std::function<SerialRangeAdmin::Answer()>& work);

    BootloaderCore& Core;
    CommandExchange& Exchange;
    // The gate held by a restart whose command has not settled yet.
    std::optional<OperationScope> Settling;
    Outcome Settled = Outcome::Succeeded;

signals:
    void settled();
};
