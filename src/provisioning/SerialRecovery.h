#pragma once

#include "FileDownload.h"
#include "RecoveryServer.h"
#include "UnitFile.h"

#include <QString>

#include <chrono>

// What a recovery read found, and what the operator is to be told.
struct SerialRecoveryResult {
    enum class Outcome {
        NoServerConfigured,
        DownloadFailed,
        Abandoned, // the program closed while it downloaded: nothing to tell
        LocalFileError,
        BadFile, // downloaded, but not a unit file
        Good,
    };
    Outcome outcome = Outcome::NoServerConfigured;
    IdBlock block{}; // the block to write into the module, when good
    QString status;  // for the status lines: "Failed" or "OK."; empty when not read
    // A critical message for the operator when messageText is not empty.
    QString messageTitle;
    QString messageText;

    bool good() const { return outcome == Outcome::Good; }
};

// Fetches a unit's ID block from the recovery server by the unit's serial
// text. The caller checks the text (six characters), shows the message and
// status, and writes a good block into the module.
class SerialRecovery {
public:
    explicit SerialRecovery(QString baseUrl = RecoveryBaseURL(),
                            std::chrono::milliseconds timeLimit = FileDownload::kDefaultTimeLimit);

    // Downloads the unit file into a private file in the temporary folder,
    // reads it back and removes it, whatever happened. Blocks in a local event
    // loop while it downloads.
    SerialRecoveryResult OpenAndReadInternetSerialFile(const QString& serialText);

    // Ends a running download as failed.
    void abandon() { Download.abandon(); }

private:
    QString BaseUrl;
    FileDownload Download;
};
