#include "SerialDatabase.h"

#include "SerialRecord.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kInUse = QStringLiteral("the file is in use by another program");
const QString kStopped = QStringLiteral("stopped while waiting for the file");

// Exclusive, non-blocking; empty on success.
QString lockFile(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return {};
    return errno == EWOULDBLOCK ? kInUse : qt_error_string(errno);
}

// Tries for the lock until `timeout` has passed or a stop is requested,
// looking again every few milliseconds in a local event loop, so that signals
// and timers are handled meanwhile and no CPU is spent.
QString lockFileWaiting(int fd, std::chrono::milliseconds timeout, const StopRequested& stop) {
    QString error = lockFile(fd);
    if (error != kInUse || timeout.count() <= 0)
        return error;
    QElapsedTimer waited;
    waited.start();
    QEventLoop loop;
    QTimer retry;
    retry.setInterval(20);
    QObject::connect(&retry, &QTimer::timeout, &loop, [&] {
        if (stop && stop()) {
            error = kStopped;
            loop.quit();
            return;
        }
        error = lockFile(fd);
        if (error != kInUse || waited.elapsed() >= timeout.count())
            loop.quit();
    });
    retry.start();
    loop.exec();
    return error;
}

SerialLoad failedLoad(const QString& description, Outcome outcome = Outcome::FileError) {
    SerialLoad load;
    load.failed = true;
    load.outcome = outcome;
    load.error = description;
    return load;
}

// Whether `path` still names the file open as `fd`: a log renamed or replaced
// while it is held must not take records meant for the file of that name.
bool pathStillNames(const QString& path, int fd) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

} // namespace

SerialDatabase::~SerialDatabase() {
    close();
}

SerialLoad SerialDatabase::open(const QString& path, Sharing sharing, std::chrono::milliseconds lockTimeout,
                                const StopRequested& stop) {
    close();
    Error.clear();
    Shared = sharing;
    Path = path;
    const bool created = !QFile::exists(path);
    File.setFileName(path);
    // Unbuffered: an append reaches the system as one write of the whole
    // record, and reading takes one record at a time.
    const QIODevice::OpenMode mode =
        sharing == Sharing::ReadOnly ? QIODevice::ReadOnly : QIODevice::ReadWrite;
    if (!File.open(mode | QIODevice::Unbuffered))
        return failedLoad(File.errorString());
    if (created && sharing != Sharing::ReadOnly)
        syncDirectoryOf(path);
    // A program started from this one must not inherit the descriptor, or it
    // would keep the lock alive.
    ::fcntl(File.handle(), F_SETFD, ::fcntl(File.handle(), F_GETFD) | FD_CLOEXEC);
    if (sharing == Sharing::ReadOnly)
        return readSerialRecords(File);
    // Even a program that takes turns reads only while nobody writes.
    const QString lockError = sharing == Sharing::TakeTurns
                                  ? lockFileWaiting(File.handle(), lockTimeout, stop)
                                  : lockFile(File.handle());
    if (!lockError.isEmpty()) {
        close();
        return failedLoad(lockError, lockError == kStopped ? Outcome::Abandoned : Outcome::FileError);
    }
    SerialLoad load = readSerialRecords(File);
    if (load.failed)
        close();
    else if (Shared == Sharing::TakeTurns)
        endTurn();
    return load;
}

SerialLoad SerialDatabase::takeTurn(std::chrono::milliseconds timeout, const StopRequested& stop) {
    if (!File.isOpen())
        return failedLoad(QStringLiteral("the file is not open"));
    if (Shared == Sharing::TakeTurns) {
        if (const QString lockError = lockFileWaiting(File.handle(), timeout, stop); !lockError.isEmpty())
            return failedLoad(lockError, lockError == kStopped ? Outcome::Abandoned : Outcome::FileError);
    }
    if (!pathStillNames(Path, File.handle())) {
        close();
        return failedLoad(
            QStringLiteral("%1 was renamed or replaced while it was open; choose it again").arg(Path));
    }
    if (!File.seek(0)) {
        endTurn();
        return failedLoad(File.errorString());
    }
    SerialLoad load = readSerialRecords(File);
    if (load.failed)
        endTurn();
    return load;
}

void SerialDatabase::endTurn() {
    if (Shared == Sharing::TakeTurns && File.isOpen())
        ::flock(File.handle(), LOCK_UN);
}

bool SerialDatabase::append(QByteArrayView record) {
    if (!File.isOpen() || Shared == Sharing::ReadOnly) {
        Error = QStringLiteral("the file is not open");
        return false;
    }
    const int fd = File.handle();
    const std::optional<qint64> end = sizeOfOpenFile(fd, &Error);
    if (!end)
        return false;
    // A record cut short by some other writer is completed first: spaces
    // (so it reads back as one bad record) and its line end. Without that,
    // every record after it would be read shifted and lost.
    const qint64 partial = *end % SerialRecordFormat::kRecordSize;
    QByteArray bytes;
    if (partial != 0) {
        QByteArray completion(SerialRecordFormat::kRecordSize, ' ');
        completion[SerialRecordFormat::kRecordSize - 2] = '\r';
        completion[SerialRecordFormat::kRecordSize - 1] = '\n';
        bytes = completion.mid(partial);
    }
    bytes.append(record.data(), record.size());
    Error = appendDurably(fd, *end, bytes, Calls);
    return Error.isEmpty();
}

void SerialDatabase::close() {
    if (File.isOpen())
        File.close(); // closing the descriptor drops the lock
}

QString SerialDatabase::writeErrorText() const {
    return QStringLiteral("Error writing to Serial Number Database file: ") + Error;
}
