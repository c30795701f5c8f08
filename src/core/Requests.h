#pragma once

#include "CaptureSettings.h"
#include "IdBlock.h"
#include "OpenSerialLedger.h"
#include "PgRangeSetup.h"
#include "SerialLedger.h"

#include <QString>

#include <chrono>
#include <optional>
#include <variant>

// What a front end hands an operation: every input of it, as one value.

// A port: a number 1..18 (through the port map) or a device's path.
struct PortRef {
    std::variant<int, QString> port = 10;
};

// "Program Firmware": `ignoreTargetCheck` programs a file that is not for the
// module (the Ctrl key at the window's click).
struct ProgramRequest {
    bool ignoreTargetCheck = false;
};

// "Start Upload": the header, the pages and the file.
using CaptureRequest = CaptureSettings;

// An entry of the capture pane, checked by CaptureSettings.
struct CaptureEdit {
    enum class Field { HeaderByte, Pages, Preset, File };
    Field field = Field::HeaderByte;
    int index = 0;    // the header byte or the preset
    double value = 0; // the number entered; a preset's highest serial number
    QString file;     // the file chosen (empty: Cancel)
};

// "Prog Only": the ID block to write; none writes the one shown.
struct WriteSerialRequest {
    std::optional<IdBlock> block;
};

// Opening the serial log: where it is, how it is shared, and a station's own
// rules (the ID block bytes and the memo to write instead of the last
// record's, the first serial number of an empty log or of one that gives
// none, how long to wait for the log).
struct SerialLogRequest {
    LedgerAddress where;
    SerialLedger::Sharing sharing = SerialLedger::Sharing::Exclusive;
    std::optional<IdBlock> idTemplate;
    std::optional<QString> memo;
    std::optional<qint32> startAt;
    std::chrono::milliseconds lockTimeout{0};
};

// "Program and Log", or with `programFirmware` " Prog, Log, Write FW".
struct LogRequest {
    bool programFirmware = false;
    bool ignoreTargetCheck = false;
};

// An entry of the serial pane.
struct SerialEdit {
    enum class Field { BlockByte, NextSerial, Memo };
    Field field = Field::BlockByte;
    int index = 0;    // the ID block byte
    double value = 0; // the number entered
    QString memo;
};

// The operator's correction of the application version; each part is taken
// when it lies in 1..255.
struct AppVersionEdit {
    double major = 0;
    double minor = 0;
};

// Creating or upgrading a database's serial tables, and optionally a station
// role's rights and a range.
struct DatabaseInitRequest {
    QString address;
    QString grantRole;
    std::optional<PgRangeSetup::NewRange> range;
};

// A serial log's logged units written out as a .ser file, or a database range
// started from one.
struct SerialExchangeRequest {
    LedgerAddress log;
    QString file;
};

// "Apply": the unit's six-character code. The unit's ID block comes from the
// recovery server, or from a serial log when one is named.
struct RecoverRequest {
    QString code;
    std::optional<LedgerAddress> log;
};
