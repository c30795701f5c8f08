#include "DurableFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

void syncDirectoryOf(const QString& path) {
    const QByteArray directory = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::optional<qint64> sizeOfOpenFile(int fd, QString* error) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        if (error)
            *error = qt_error_string(errno);
        return std::nullopt;
    }
    return static_cast<qint64>(status.st_size);
}

namespace {
// Writes the record at the given offset and syncs it: empty when all of it is
// on the disk, otherwise why not.
QString writeAndSync(int fd, qint64 size, QByteArrayView bytes, const FileSystemCalls& calls) {
    if (::lseek(fd, static_cast<off_t>(size), SEEK_SET) < 0)
        return qt_error_string(errno);
    const ssize_t written = calls.write(fd, bytes.data(), static_cast<size_t>(bytes.size()));
    if (written < 0)
        return qt_error_string(errno);
    if (written != bytes.size())
        return QStringLiteral("the disk took only part of the record");
    if (calls.fsync(fd) != 0)
        return qt_error_string(errno);
    return {};
}
} // namespace

QString appendDurably(int fd, qint64 size, QByteArrayView bytes, const FileSystemCalls& calls) {
    QString failure = writeAndSync(fd, size, bytes, calls);
    if (failure.isEmpty())
        return {};
    // What may not be on the disk is taken back, down to the size before the
    // append and never below it.
    if (calls.ftruncate(fd, static_cast<off_t>(size)) != 0)
        failure += QStringLiteral("; the file could not be cut back (%1) and may end in part of the record")
                       .arg(qt_error_string(errno));
    else if (calls.fsync(fd) != 0)
        failure +=
            QStringLiteral("; the cut-back could not be synced (%1): after a power cut the file may end "
                           "in part of the record")
                .arg(qt_error_string(errno));
    return failure;
}
