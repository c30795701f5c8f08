#pragma once

#include "LineSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// What the link needs of a line: open and close a device, set its speed,
// write a frame, and word of bytes that arrived and of a line that failed.
// The serial port users run is one; the link's unit tests put the virtual
// module behind an in-memory one.
class Transport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Opens `device`; false, with errorString() saying why, when it cannot.
    virtual bool open(const QString& device) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString errorString() const = 0;
    // Takes the line settings: at once on an open port, at the next open on
    // a closed one. False, with the line as it was, when the port refuses them.
    virtual bool setLine(const LineSettings::Line& line) = 0;
    // Hands one whole frame to the line, behind every frame before it. The
    // description of a failure, or nothing.
    virtual QString write(const QByteArray& frame) = 0;
    // Drops what has arrived and not been handed over yet.
    virtual void discardInput() = 0;

signals:
    void bytesArrived(const QByteArray& bytes);
    // Reading failed: the line was hung up or the device has gone.
    void readFailed(const QString& reason);
    // A frame that write() had taken could not be written after all.
    void writeFailed(const QString& reason);
};
