#include "SerialTransport.h"

#include "LowLatency.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

SerialTransport::SerialTransport(QObject* parent) : Transport(parent), MSComm1(this) {
    MSComm1.setReadBufferSize(0);
    connect(&MSComm1, &QSerialPort::readyRead, this, [this] { emit bytesArrived(MSComm1.readAll()); });
    connect(&MSComm1, &QSerialPort::errorOccurred, this, &SerialTransport::onError);
}

bool SerialTransport::open(const QString& device) {
    if (MSComm1.isOpen())
        MSComm1.close();
    MSComm1.setPortName(device);
    if (!MSComm1.open(QIODevice::ReadWrite))
        return false;
    requestLowLatency(static_cast<int>(MSComm1.handle()));
    MSComm1.clear(QSerialPort::AllDirections);
    return true;
}

void SerialTransport::close() {
    MSComm1.close();
}

bool SerialTransport::applyLine(const LineSettings::Line& line) {
    bool ok = MSComm1.setBaudRate(line.baud);
    ok = MSComm1.setParity(line.parity) && ok;
    ok = MSComm1.setDataBits(line.dataBits) && ok;
    ok = MSComm1.setStopBits(line.stopBits) && ok;
    ok = MSComm1.setFlowControl(QSerialPort::NoFlowControl) && ok;
    return ok;
}

bool SerialTransport::setLine(const LineSettings::Line& line) {
    const LineSettings::Line before{MSComm1.baudRate(), MSComm1.parity(), MSComm1.dataBits(),
                                    MSComm1.stopBits()};
    if (applyLine(line))
        return true;
    applyLine(before);
    return false;
}

QString SerialTransport::write(const QByteArray& frame) {
    qsizetype done = 0;
#ifdef Q_OS_UNIX
    // Straight to the driver, which takes a frame (at most 267 bytes) whole:
    // QSerialPort's write buffer would cost every command two more passes of
    // the event loop. A write error is known here at once. While the port
    // still holds the rest of an earlier frame, this one goes behind it.
    if (MSComm1.bytesToWrite() == 0) {
        const int fd = static_cast<int>(MSComm1.handle());
        while (done < frame.size()) {
            const ssize_t n = ::write(fd, frame.constData() + done, static_cast<size_t>(frame.size() - done));
            if (n > 0)
                done += n;
            else if (n < 0 && errno == EINTR)
                continue;
            else if (n < 0 && errno == EAGAIN)
                break; // the driver's buffer is full
            else
                return qt_error_string(n < 0 ? errno : EIO);
        }
        if (done == frame.size())
            return {};
    }
#endif
    // The port's own buffer takes the rest and writes it as the driver's
    // drains: a full buffer is no failure, so it is not flushed into one here.
    Writing = true;
    WriteFailure.clear();
    const bool taken = MSComm1.write(frame.mid(done)) == frame.size() - done;
#ifndef Q_OS_UNIX
    if (taken)
        MSComm1.flush();
#endif
    Writing = false;
    return taken ? std::exchange(WriteFailure, {}) : MSComm1.errorString();
}

void SerialTransport::discardInput() {
    if (MSComm1.isOpen()) {
        MSComm1.readAll();
        MSComm1.clear(QSerialPort::Input);
    }
}

void SerialTransport::onError(QSerialPort::SerialPortError error) {
    // A device that has gone reports a failed write as a resource error.
    const bool writeError =
        error == QSerialPort::WriteError || (Writing && error == QSerialPort::ResourceError);
    if (writeError && Writing)
        WriteFailure = MSComm1.errorString(); // write() answers it
    else if (writeError)
        emit writeFailed(MSComm1.errorString());
    else if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError)
        emit readFailed(MSComm1.errorString());
    // Open errors are told by open(), a refused setting by setLine().
}
