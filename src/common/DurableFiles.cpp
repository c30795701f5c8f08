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

QString appendDurably(int fd, qint64 size, QByteArrayView bytes, const FileSystemCalls& calls) {
    QString failure;
    if (::lseek(fd, static_cast<off_t>(size), SEEK_SET) < 0) {
        failure = qt_error_string(errno);
    } else if (const ssize_t written = calls.write(fd, bytes.data(), static_cast<size_t>(bytes.size()));
               written != bytes.size()) {
        failure =
            written < 0 ? qt_error_string(errno) : QStringLiteral("the disk took only part of the record");
    } else if (calls.fsync(fd) != 0) {
        failure = qt_error_string(errno);
    }
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
