#pragma once

#include "Frames.h"
#include "PortMap.h"
#include "ReplyReceiver.h"

#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <array>

class CommandExchange;
class Reporter;

// The one serial port of the program: choosing, scanning and opening ports,
// the two line speeds, sending command frames and handing received bytes to
// the reply receiver. Completions go to the command exchange; errors reach the
// operator through the reporter.
class CommsLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kReplyTimeoutMs = 1500;
    static constexpr int kResetBaudDelayMs = 300;
    static constexpr int kStartPort = 10;
    static constexpr int kBufferSize = 5000;

    CommsLink(CommandExchange& exchange, Reporter& reporter, QObject* parent = nullptr);
    ~CommsLink() override;

    // Start-up: bootloader line settings, then COM10.
    void Load();
    // Shut-down: closes the port and stops the timers.
    void Unload();

    // Opens port Index (1..18), or the first available one when the last scan
    // found Index missing.
    void SelectCommsPort(int Index);
    // Tries to open every port and records which can be opened.
    void ScanCommsPorts();

    void SetBaudForBLD();
    void SetBaudForStabrix();
    void Set115200Baud();
    // Sets 38400 baud (the name is historical).
    void Set3840000Baud();
    // Back to 115200 baud kResetBaudDelayMs from now.
    void StartResetBaudRateTmr();

    // Frames and writes one command; arms the reply time-out.
    void SendMessage(const OutMsg& Message, int BytesToSend);

    bool GetCommsGood() const { return Receiver.GetCommsGood(); }
    bool portOK() const { return PortOK; }
    bool portOpen() const { return MSComm1.isOpen(); }
    int selectedPort() const { return SelectedPort; }
    bool portAvailable(int port) const;
    int firstAvailablePort() const { return FirstAvailablePort; }
    int numPortsAvailable() const { return NumPortsAvailable; }
    QString settings() const { return Settings; }
    static QString deviceForPort(int port) { return PortMap::DeviceForPort(port); }
    ReplyReceiver& receiver() { return Receiver; }

    QTimer CommsTimeout;
    QTimer ResetBaudRateTmr;

signals:
    // The option button (index = port - 1) that should show as selected.
    void selectedButtonChanged(int index);
    void scanStarted();
    void scanFinished();
    void settingsChanged(const QString& settings);
    // A good identity reply, after the awaited command has been completed.
    void identityReplyReceived(const RxMsg& frame);
    // A good encrypted page reply, after the awaited command has been completed.
    void encryptedPageReceived(const RxMsg& frame);

private:
    void applySettings(const QString& settings);
    void onDataReply(const RxMsg& frame);
    void onPortError(QSerialPort::SerialPortError error);
    void onWriteFailed(const QString& reason);
    // Takes the port out of use after a read or write error; false when that
    // has already happened since the port was last selected.
    bool linkFailed();
    void FlagMessageOK();

    CommandExchange& Exchange;
    Reporter& Report;
    QSerialPort MSComm1;
    ReplyReceiver Receiver;

    bool PortOK = false;
    bool Writing = false;  // inside SendMessage's write
    bool PortLost = false; // a read or write error took the port out of use
    int SelectedPort = 0;
    std::array<bool, PortMap::kLastPort + 1> PortAvailable{};
    int FirstAvailablePort = PortMap::kLastPort;
    int NumPortsAvailable = 0;
    QString Settings;
};
