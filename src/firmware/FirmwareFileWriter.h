#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes a new .fw file one whole line at a time (FirmwareHeaderLine, then
// FirmwarePageLine per page). Each line goes to the file in a single write; a
// line that cannot be written whole is taken back, so after any error the
// file still holds only complete lines. Every operation returns false on a
// file error, with the system's description in ErrorString().
class FirmwareFileWriter {
public:
    // Deletes an existing file of that name, then creates it empty.
    bool Create(const QString& path);
    bool WriteLine(const QByteArray& line);
    bool Flush();
    // Closing a writer that is not open does nothing.
    void Close();

    bool IsOpen() const { return File.isOpen(); }
    QString ErrorString() const { return Error; }

private:
    bool fail(const QString& description);

    QFile File;
    QString Error;
};
