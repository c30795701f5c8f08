#include "SerialDatabase.h"

#include "DurableFiles.h"
#include "SerialRecord.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kInUse = QStringLiteral("the file is in use by another program");

QString systemError() {
    return qt_error_string(errno);
}

// Exclusive, non-blocking; empty on success.
QString lockFile(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return {};
    return errno == EWOULDBLOCK ? kInUse : systemError();
}

// Tries for the lock until `timeout` has passed, looking again every few
// milliseconds in a local event loop, so that signals and timers are handled
// meanwhile and no CPU is spent.
QString lockFileWaiting(int fd, std::chrono::milliseconds timeout) {
    QString error = lockFile(fd);
    if (error != kInUse || timeout.count() <= 0)
        return error;
    QElapsedTimer waited;
    waited.start();
    QEventLoop loop;
    QTimer retry;
    retry.setInterval(20);
    QObject::connect(&retry, &QTimer::timeout, &loop, [&] {
        error = lockFile(fd);
        if (error != kInUse || waited.elapsed() >= timeout.count())
            loop.quit();
    });
    retry.start();
    loop.exec();
    return error;
}

SerialLoad failedLoad(const QString& description) {
    SerialLoad load;
    load.failed = true;
    load.error = description;
    return load;
}

} // namespace

SerialDatabase::SerialDatabase() : Calls{::write, ::fsync} {}

SerialDatabase::~SerialDatabase() {
    close();
}

SerialLoad SerialDatabase::open(const QString& path, Sharing sharing, std::chrono::milliseconds lockTimeout) {
    close();
    Error.clear();
    Shared = sharing;
    const bool created = !QFile::exists(path);
    File.setFileName(path);
    // Unbuffered: an append reaches the system as one write of the whole
    // record, and reading takes one record at a time.
    if (!File.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return failedLoad(File.errorString());
    if (created)
        syncDirectoryOf(path);
    // A program started from this one must not inherit the descriptor, or it
    // would keep the lock alive.
    ::fcntl(File.handle(), F_SETFD, ::fcntl(File.handle(), F_GETFD) | FD_CLOEXEC);
    // Even a program that takes turns reads only while nobody writes.
    const QString lockError =
        sharing == Sharing::TakeTurns ? lockFileWaiting(File.handle(), lockTimeout) : lockFile(File.handle());
    if (!lockError.isEmpty()) {
        close();
        return failedLoad(lockError);
    }
    SerialLoad load = readSerialRecords(File);
    if (load.failed)
        close();
    else if (Shared == Sharing::TakeTurns)
        endTurn();
    return load;
}

SerialLoad SerialDatabase::takeTurn(std::chrono::milliseconds timeout) {
    if (!File.isOpen())
        return failedLoad(QStringLiteral("the file is not open"));
    if (Shared == Sharing::TakeTurns) {
        if (const QString lockError = lockFileWaiting(File.handle(), timeout); !lockError.isEmpty())
            return failedLoad(lockError);
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
    if (!File.isOpen())
        return fail(QStringLiteral("the file is not open"));
    const qint64 end = File.size();
    // A record cut short by some other writer is completed first: spaces
    // (so it reads back as one bad record) and its line end. Without that,
    // every record after it would be read shifted and lost.
    const qint64 partial = end % SerialRecordFormat::kRecordSize;
    QByteArray bytes;
    if (partial != 0) {
        QByteArray completion(SerialRecordFormat::kRecordSize, ' ');
        completion[SerialRecordFormat::kRecordSize - 2] = '\r';
        completion[SerialRecordFormat::kRecordSize - 1] = '\n';
        bytes = completion.mid(partial);
    }
    bytes.append(record.data(), record.size());

    const int fd = File.handle();
    QString description;
    if (::lseek(fd, 0, SEEK_END) < 0)
        description = systemError();
    else if (const ssize_t written = Calls.write(fd, bytes.constData(), size_t(bytes.size()));
             written != bytes.size())
        description = written < 0 ? systemError() : QStringLiteral("the disk took only part of the record");
    else if (Calls.fsync(fd) != 0)
        description = systemError();
    if (description.isEmpty())
        return true;
    // A record that is not surely on the disk is taken back, so that the file
    // and the next serial number agree.
    if (::ftruncate(fd, end) == 0)
        ::fsync(fd);
    return fail(description);
}

void SerialDatabase::close() {
    if (File.isOpen())
        File.close(); // closing the descriptor drops the lock
}

QString SerialDatabase::writeErrorText() const {
    return QStringLiteral("Error writing to Serial Number Database file: ") + Error;
}

bool SerialDatabase::fail(const QString& description) {
    Error = description;
    return false;
}
