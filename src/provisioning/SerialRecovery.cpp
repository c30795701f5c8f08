#include "SerialRecovery.h"

#include "TempDir.h"

#include <QTemporaryFile>

#include <utility>

namespace {
using Outcome = SerialRecoveryResult::Outcome;

SerialRecoveryResult Message(Outcome outcome, const QString& text) {
    SerialRecoveryResult result;
    result.outcome = outcome;
    result.messageTitle = QStringLiteral("Serial Recovery");
    result.messageText = text;
    return result;
}

SerialRecoveryResult localFileError(const QString& description) {
    return Message(Outcome::LocalFileError, QStringLiteral("Error loading data file : ") + description);
}

SerialRecoveryResult status(Outcome outcome, const QString& status, const IdBlock& block = {}) {
    SerialRecoveryResult result;
    result.outcome = outcome;
    result.status = status;
    result.block = block;
    return result;
}
} // namespace

SerialRecovery::SerialRecovery(QString baseUrl, std::chrono::milliseconds timeLimit)
    : BaseUrl(std::move(baseUrl)), Download(timeLimit) {}

SerialRecoveryResult SerialRecovery::OpenAndReadInternetSerialFile(const QString& serialText) {
    if (BaseUrl.isEmpty())
        return Message(Outcome::NoServerConfigured, noRecoveryServerText());

    // The temporary folder may be shared with other users: the copy gets a
    // name nobody can predict, is created anew (never through a planted link)
    // with access for this user only (on Linux it usually has no name in the
    // folder at all), and is removed when this function ends.
    const QString tempDir = GetTempDir();
    if (tempDir.isEmpty())
        return localFileError(QStringLiteral("No temporary folder"));
    QTemporaryFile copy(tempDir + QStringLiteral("merlax-unit-XXXXXX.dat"));
    if (!copy.open())
        return localFileError(copy.errorString());

    const std::optional<QByteArray> body = Download.DownloadFile(unitFileAddress(BaseUrl, serialText));
    if (Download.abandoned())
        return status(Outcome::Abandoned, {});
    if (!body)
        return Message(Outcome::DownloadFailed,
                       QStringLiteral("Unable to find the required file from the internet."));

    if (copy.write(*body) != body->size() || !copy.flush() || !copy.seek(0))
        return localFileError(copy.errorString());
    const QByteArray head = copy.read(kUnitFileBytes);
    if (copy.error() != QFileDevice::NoError)
        return localFileError(copy.errorString());

    const std::optional<IdBlock> block = parseUnitFile(head);
    if (!block)
        return status(Outcome::BadFile, QStringLiteral("Failed"));
    return status(Outcome::Good, QStringLiteral("OK."), *block);
}
