#include "FileDownload.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace {
// Enough for a server that moves its files once or twice; a loop ends soon.
constexpr int kMaxRedirects = 5;
} // namespace

FileDownload::FileDownload(std::chrono::milliseconds timeLimit) : TimeLimit(timeLimit) {}

std::optional<QByteArray> FileDownload::DownloadFile(const QUrl& address) {
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    const std::unique_ptr<QNetworkReply> reply(Network.get(request));
    Waiting = reply.get();
    Abandoned = false;

    QByteArray body;
    // Reading one byte past the limit is how an oversized body shows itself;
    // the transfer is cut there instead of filling memory.
    const auto takeArrived = [&] {
        body += reply->read(kMaxBytes + 1 - body.size());
        if (body.size() > kMaxBytes)
            reply->abort();
    };

    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, takeArrived);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
    deadline.start(TimeLimit);
    if (!reply->isFinished())
        loop.exec();
    // exec() also returns when the application quits; the transfer must not
    // outlive the wait.
    if (!reply->isFinished()) {
        Abandoned = true;
        reply->abort();
    }
    // What came with the end of the transfer; an aborted reply holds nothing.
    if (reply->isOpen())
        takeArrived();

    if (body.size() > kMaxBytes || reply->error() != QNetworkReply::NoError)
        return std::nullopt;
    return body;
}

void FileDownload::abandon() {
    if (Waiting) {
        Abandoned = true;
        Waiting->abort();
    }
}
