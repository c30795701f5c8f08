#include "FirmwareFileWriter.h"

#include "DurableFiles.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}
} // namespace

FirmwareFileWriter::SystemCalls FirmwareFileWriter::systemCalls() {
    return {::write, ::fsync, std::rename};
}

bool FirmwareFileWriter::create(const QString& path) {
    closeFile();
    Error.clear();
    FinalPath = path;
    CurrentPath = path + QStringLiteral(".partial.new");
    Partial = false;
    SyncFailed = false;
    const QByteArray scratch = nativePath(CurrentPath);
    if (::unlink(scratch.constData()) != 0 && errno != ENOENT)
        return failWithErrno();
    Fd = ::open(scratch.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Fd < 0)
        return failWithErrno();
    return true;
}

bool FirmwareFileWriter::writeLine(const QByteArray& line) {
    if (Fd < 0)
        return fail(QStringLiteral("the firmware file is not open"));
    const off_t lineStart = ::lseek(Fd, 0, SEEK_CUR);
    const char* data = line.constData();
    size_t left = static_cast<size_t>(line.size());
    while (left > 0) {
        const ssize_t n = Calls.write(Fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const QString description =
                n < 0 ? qt_error_string(errno) : QStringLiteral("the disk took only part of the line");
            // A disk that filled up mid-line leaves no half line behind.
            if (::ftruncate(Fd, lineStart) == 0)
                ::lseek(Fd, lineStart, SEEK_SET);
            return fail(description);
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool FirmwareFileWriter::sync() {
    if (Fd < 0)
        return fail(QStringLiteral("the firmware file is not open"));
    if (Calls.fsync(Fd) != 0) {
        SyncFailed = true;
        return failWithErrno();
    }
    return true;
}

bool FirmwareFileWriter::keepAsPartial() {
    if (!sync())
        return false;
    // rename() replaces an existing file in one step: there is no moment
    // without a partial file of that name.
    if (Calls.rename(nativePath(CurrentPath).constData(), nativePath(partialPath()).constData()) != 0)
        return failWithErrno();
    CurrentPath = partialPath();
    Partial = true;
    syncDirectoryOf(CurrentPath);
    return true;
}

bool FirmwareFileWriter::commit() {
    if (!sync())
        return false;
    closeFile();
    if (Calls.rename(nativePath(CurrentPath).constData(), nativePath(FinalPath).constData()) != 0)
        return failWithErrno();
    CurrentPath.clear();
    syncDirectoryOf(FinalPath);
    return true;
}

bool FirmwareFileWriter::keep() {
    if (!Partial || SyncFailed)
        return false;
    // A failed commit has synced and closed the file already.
    if (Fd >= 0) {
        if (!sync())
            return false;
        closeFile();
    }
    syncDirectoryOf(CurrentPath);
    return true;
}

void FirmwareFileWriter::discard() {
    closeFile();
    if (!CurrentPath.isEmpty())
        ::unlink(nativePath(CurrentPath).constData());
    CurrentPath.clear();
    Partial = false;
}

void FirmwareFileWriter::closeFile() {
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
}

bool FirmwareFileWriter::fail(const QString& description) {
    Error = description;
    return false;
}

bool FirmwareFileWriter::failWithErrno() {
    return fail(qt_error_string(errno));
}
