#include "FirmwareFileWriter.h"

bool FirmwareFileWriter::Create(const QString& path) {
    Close();
    Error.clear();
    File.setFileName(path);
    if (File.exists() && !File.remove())
        return fail(File.errorString());
    // Unbuffered: every WriteLine reaches the system as one write, so what a
    // failed write left behind is known and can be cut off again.
    if (!File.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return fail(File.errorString());
    return true;
}

bool FirmwareFileWriter::WriteLine(const QByteArray& line) {
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

bool FirmwareFileWriter::Flush() {
    if (File.isOpen() && !File.flush())
        return fail(File.errorString());
    return true;
}

void FirmwareFileWriter::Close() {
    if (File.isOpen())
        File.close();
}

bool FirmwareFileWriter::fail(const QString& description) {
    Error = description;
    return false;
}
