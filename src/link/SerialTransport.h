#pragma once

#include "Transport.h"

#include <QSerialPort>

// The serial port users run: a QSerialPort, with frames written straight to
// the driver on Unix and received bytes asked of the kernel without delay.
class SerialTransport : public Transport {
    Q_OBJECT
public:
    explicit SerialTransport(QObject* parent = nullptr);

    bool open(const QString& device) override;
    void close() override;
    bool isOpen() const override { return MSComm1.isOpen(); }
    QString errorString() const override { return MSComm1.errorString(); }
    bool setLine(const LineSettings::Line& line) override;
    QString write(const QByteArray& frame) override;
    void discardInput() override;

private:
    bool applyLine(const LineSettings::Line& line);
    void onError(QSerialPort::SerialPortError error);

    QSerialPort MSComm1;
    bool Writing = false; // inside write()
    QString WriteFailure; // what the port reported inside write()
};
