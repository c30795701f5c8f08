#pragma once

#include "CommandExchange.h"
#include "Frames.h"
#include "LinkTimings.h"
#include "PortMap.h"
#include "PortScan.h"
#include "ReplyReceiver.h"
#include "Transport.h"

#include <QObject>
#include <QTimer>

#include <memory>

class Reporter;

// What a transaction ends with: its outcome, and the reply that completed it.
struct Exchanged {
    Outcome outcome = Outcome::Abandoned;
    // The completing reply as received, code first: an acknowledgement's code
    // alone, a data reply's code, data and checksum. All zero when no reply
    // completed the command (a time-out, a damaged reply, a failed port).
    RxMsg reply{};

    // For a caller that needs only the outcome.
    operator Outcome() const { return outcome; }
};

// The one serial port of the program: choosing, scanning and opening ports,
// the two line speeds, the one transaction every command goes through, and
// handing received bytes to the reply receiver. Completions go to the command
// exchange; errors reach the operator through the reporter, never from inside
// the port's own notifications.
class CommsLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kStartPort = 10;

    // On the serial port users run.
    CommsLink(CommandExchange& exchange, Reporter& reporter, LinkTimings timings = {},
              QObject* parent = nullptr);
    // On a transport of the caller's, which outlives the link.
    CommsLink(CommandExchange& exchange, Reporter& reporter, Transport& transport, LinkTimings timings = {},
              QObject* parent = nullptr);
    ~CommsLink() override;

    // Start-up of the window program: bootloader line settings, then the
    // port it starts on (COM10 unless told otherwise).
    void load(int port = kStartPort);
    // Shut-down: closes the port and stops the timers.
    void unload();

    // Opens port Index (1..18), or the first available one when the last scan
    // found Index missing. False, with the operator told why, when it cannot
    // be opened.
    bool SelectCommsPort(int Index);
    // Opens a device given by its path (/dev/ttyUSB3, /dev/serial/by-id/...).
    bool openDevice(const QString& path);
    // Tries to open every port and records which can be opened; the open port
    // is closed meanwhile and then selected again, which leads to the first
    // port found when the scan did not find it.
    void ScanCommsPorts();

    // The line speeds: 115200 baud for the bootloader, 38400 baud for a
    // module's running application. A speed the port refuses leaves the line
    // and the settings as they were.
    void setBootloaderSpeed();
    void setApplicationSpeed();
    // Back to the bootloader speed after the reset delay.
    void resetSpeedLater();

    // The one transaction: drops input that arrived while nothing was awaited,
    // marks the command in progress awaiting `awaited`, sends it and waits for
    // its outcome. With an own deadline the link's reply time-out does not end
    // the wait; `ownDeadline` is started once the frame is sent and completes
    // the command as not answered when it runs out.
    Exchanged transact(const OutMsg& message, int bytesToSend, ReplyKind awaited,
                       QTimer* ownDeadline = nullptr);
    // The same without the wait; the completion arrives later.
    void post(const OutMsg& message, int bytesToSend, ReplyKind awaited);
    // Sends a command that no reply answers (the restart into the bootloader,
    // which a running application takes without a word): nothing is marked in
    // progress and nothing waits.
    void sendUnanswered(const OutMsg& message, int bytesToSend);

    bool portOK() const { return PortOK; }
    bool portOpen() const { return Port.isOpen(); }
    // The port chosen last (0 for a device given by its path), whether it
    // opened or not.
    int selectedPort() const { return SelectedPort; }
    // The device of the port chosen last.
    const QString& device() const { return Device; }
    QString settings() const { return Settings; }
    PortMap& ports() { return Ports; }
    const PortMap& ports() const { return Ports; }
    const PortScan& scan() const { return Scan; }
    CommandExchange& exchange() { return Exchange; }

signals:
    void settingsChanged(const QString& settings);
    // The line is back at the bootloader speed after a restart into the bootloader.
    void baudRateReset();
    // A good identity reply, after the awaited command has been completed.
    void identityReplyReceived(const RxMsg& frame);
    // A good encrypted page reply, after the awaited command has been completed.
    void encryptedPageReceived(const RxMsg& frame);

private:
    CommsLink(CommandExchange& exchange, Reporter& reporter, std::unique_ptr<Transport> own,
              Transport* transport, LinkTimings timings, QObject* parent);

    // Opens `device`; `name` is how the operator knows it (a port number or
    // the path), `port` the port number it stands for (0 for a path).
    bool open(const QString& device, const QString& name, int port);
    void applySettings(const QString& settings);
    // Drops stale input and marks the command in progress; false when no
    // command may be sent now.
    bool begin(ReplyKind awaited, Deadline deadline);
    // Frames and writes one command and arms the reply time-out.
    void SendMessage(const OutMsg& Message, int BytesToSend);
    // Frames and writes one command when a port is open; false when the write
    // failed, which has completed the command in progress.
    bool write(const OutMsg& message, int bytesToSend);
    // Shows a port error once the notification that raised it has returned.
    void reportLater(const QString& text);
    void onAcknowledgement(bool commandOK);
    void onDataReply(const RxMsg& frame);
    void onReadFailed(const QString& reason);
    void onWriteFailed(const QString& reason);
    // Takes the port out of use after a read or write error; false when that
    // has already happened since the port was last selected.
    bool linkFailed();

    CommandExchange& Exchange;
    Reporter& Report;
    std::unique_ptr<Transport> OwnTransport; // the serial port, unless the caller gave one
    Transport& Port;
    ReplyReceiver Receiver;
    PortMap Ports;
    PortScan Scan{Ports};
    QTimer CommsTimeout;     // a command's reply
    QTimer ResetBaudRateTmr; // back to the bootloader speed
    RxMsg Reply{};           // what completed the command in progress

    bool PortOK = false;
    bool PortLost = false; // a read or write error took the port out of use
    int SelectedPort = 0;
    QString Device;
    QString Settings;
};
