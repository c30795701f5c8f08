#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes a new .fw file beside the one it is to replace: the lines go into
// "<name>.partial", and only a whole file, flushed and synced, is renamed over
// the chosen name, so that a file of that name is either the complete new one
// or whatever it was before. Each line goes to the file in a single write; a
// line that cannot be written whole is taken back, so the partial file holds
// complete lines only. Every operation returns false on a file error, with
// the system's description in ErrorString().
class FirmwareFileWriter {
public:
    ~FirmwareFileWriter() { close(); }

    // Starts "<path>.partial" anew (an older partial file is removed). The
    // file `path` itself is not touched.
    bool create(const QString& path);
    bool writeLine(const QByteArray& line);
    // Syncs the partial file to the disk and renames it over the chosen name.
    bool commit();
    // Syncs what was written and closes it, keeping it as the partial file.
    bool keep();
    // Removes the partial file.
    void discard();
    // Closing a writer that is not open does nothing.
    void close();

    QString partialPath() const { return File.fileName(); }
    QString errorString() const { return Error; }

private:
    bool sync();
    bool fail(const QString& description);

    QFile File;
    QString FinalPath;
    QString Error;
};
