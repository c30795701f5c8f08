#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <optional>

class QNetworkReply;

// Fetches one small resource and waits for it in a local event loop, so that
// timers, the serial line and the windows keep running meanwhile and no CPU
// is used while nothing arrives.
class FileDownload {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{20000};
    // A unit file is 17 bytes; a body far larger than that is not one, and is
    // not worth waiting for.
    static constexpr qint64 kMaxBytes = qint64{64} * 1024;

    explicit FileDownload(std::chrono::milliseconds timeLimit = kDefaultTimeLimit);

    // The body of the resource at the address, after any redirects. Nothing
    // when the server answers with an HTTP error, the body is larger than
    // kMaxBytes, the time limit passes, the application quits or the wait is
    // abandoned.
    std::optional<QByteArray> DownloadFile(const QUrl& address);

    // Ends a running DownloadFile without a result, for a window that closes
    // while it waits.
    void abandon();
    // The last DownloadFile was ended by abandon() or by the application
    // quitting, not by the server.
    bool abandoned() const { return Abandoned; }

    std::chrono::milliseconds timeLimit() const { return TimeLimit; }

private:
    std::chrono::milliseconds TimeLimit;
    QNetworkAccessManager Network;
    QPointer<QNetworkReply> Waiting;
    bool Abandoned = false;
};
