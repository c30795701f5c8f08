#include "FirmwareFileWriter.h"

#include "DurableFiles.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

bool FirmwareFileWriter::create(const QString& path) {
    close();
    Error.clear();
    FinalPath = path;
    File.setFileName(path + QStringLiteral(".partial"));
    if (File.exists() && !File.remove())
        return fail(File.errorString());
    // Unbuffered: every WriteLine reaches the system as one write, so what a
    // failed write left behind is known and can be cut off again.
    if (!File.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return fail(File.errorString());
    return true;
}

bool FirmwareFileWriter::writeLine(const QByteArray& line) {
    if (!File.isOpen())
        return fail(QStringLiteral("the firmware file is not open"));
    const qint64 lineStart = File.size();
    if (File.write(line) == line.size())
        return true;
    const QString description = File.errorString();
    // A disk that filled up mid-line leaves no half line behind.
    File.resize(lineStart);
    File.seek(lineStart);
    return fail(description);
}

bool FirmwareFileWriter::sync() {
    if (!File.isOpen())
        return fail(QStringLiteral("the firmware file is not open"));
    if (::fsync(File.handle()) != 0)
        return fail(qt_error_string(errno));
    File.close();
    return true;
}

bool FirmwareFileWriter::commit() {
    if (!sync())
        return false;
    // rename() replaces an existing file in one step: there is no moment
    // without a file of that name.
    if (std::rename(QFile::encodeName(File.fileName()).constData(),
                    QFile::encodeName(FinalPath).constData()) != 0)
        return fail(qt_error_string(errno));
    syncDirectoryOf(FinalPath);
    return true;
}

bool FirmwareFileWriter::keep() {
    // A failed Commit has synced and closed the file already.
    if (File.isOpen() && !sync())
        return false;
    syncDirectoryOf(File.fileName());
    return true;
}

void FirmwareFileWriter::discard() {
    close();
    File.remove();
}

void FirmwareFileWriter::close() {
    if (File.isOpen())
        File.close();
}

bool FirmwareFileWriter::fail(const QString& description) {
    Error = description;
    return false;
}
