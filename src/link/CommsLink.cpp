#include "CommsLink.h"

#include "CommandExchange.h"
#include "LineSettings.h"
#include "Reporter.h"
#include "SerialTransport.h"

namespace {
const QString kTitle = QStringLiteral("Comms Port");
} // namespace

CommsLink::CommsLink(CommandExchange& exchange, Reporter& reporter, LinkTimings timings, QObject* parent)
    : CommsLink(exchange, reporter, std::make_unique<SerialTransport>(), nullptr, timings, parent) {}

CommsLink::CommsLink(CommandExchange& exchange, Reporter& reporter, Transport& transport, LinkTimings timings,
                     QObject* parent)
    : CommsLink(exchange, reporter, nullptr, &transport, timings, parent) {}

CommsLink::CommsLink(CommandExchange& exchange, Reporter& reporter, std::unique_ptr<Transport> own,
                     Transport* transport, LinkTimings timings, QObject* parent)
    : QObject(parent), Exchange(exchange), Report(reporter), OwnTransport(std::move(own)),
      Port(transport ? *transport : *OwnTransport), Receiver(timings.interByteTimeoutMs, this),
      CommsTimeout(this), ResetBaudRateTmr(this), Settings(LineSettings::kBootloader) {
    CommsTimeout.setObjectName(QStringLiteral("CommsTimeout"));
    // Precise: a coarse timer may run out up to 5 % early.
    CommsTimeout.setTimerType(Qt::PreciseTimer);
    CommsTimeout.setInterval(timings.replyTimeoutMs);
    connect(&CommsTimeout, &QTimer::timeout, this, [this] {
        CommsTimeout.stop();
        Exchange.putLinkTimeout();
    });

    ResetBaudRateTmr.setObjectName(QStringLiteral("ResetBaudRateTmr"));
    ResetBaudRateTmr.setTimerType(Qt::PreciseTimer);
    ResetBaudRateTmr.setInterval(timings.resetBaudDelayMs);
    ResetBaudRateTmr.setSingleShot(true);
    connect(&ResetBaudRateTmr, &QTimer::timeout, this, [this] {
        setBootloaderSpeed();
        emit baudRateReset();
    });

    connect(&Port, &Transport::bytesArrived, &Receiver, &ReplyReceiver::ProcessInputBytes);
    connect(&Port, &Transport::readFailed, this, &CommsLink::onReadFailed);
    connect(&Port, &Transport::writeFailed, this, &CommsLink::onWriteFailed);

    connect(&Receiver, &ReplyReceiver::commandAcknowledged, this, &CommsLink::onAcknowledgement);
    connect(&Receiver, &ReplyReceiver::dataReplyReceived, this, &CommsLink::onDataReply);
    connect(&Receiver, &ReplyReceiver::checksumFailed, this, [this] {
        // The time-out stops only when the damaged reply ended the command;
        // otherwise it still has to end the wait.
        if (Exchange.putDamagedReply())
            CommsTimeout.stop();
    });
}

CommsLink::~CommsLink() {
    unload();
    disconnect(&Port, nullptr, this, nullptr);
}

void CommsLink::load(int port) {
    applySettings(LineSettings::kBootloader);
    CommsTimeout.start();
    SelectCommsPort(port);
}

void CommsLink::unload() {
    CommsTimeout.stop();
    ResetBaudRateTmr.stop();
    PortOK = false;
    if (Port.isOpen())
        Port.close();
}

bool CommsLink::SelectCommsPort(int Index) {
    if (Index < PortMap::kFirstPort || Index > PortMap::kLastPort)
        return false;
    if (const int instead = Scan.redirect(Index); instead != Index) {
        // A port the last scan did not find: take the first one it found.
        Index = instead;
    }
    return open(Ports.deviceForPort(Index), QString::number(Index), Index);
}

bool CommsLink::openDevice(const QString& path) {
    return open(path, path, 0);
}

bool CommsLink::open(const QString& device, const QString& name, int port) {
    PortOK = false;
    if (Port.isOpen())
        Port.close();
    // The port chosen is the selected one, whether it opens or not.
    SelectedPort = port;
    Device = device;
    Report.changed(Change::PortSelected);
    Port.setLine(*LineSettings::parse(Settings));
    if (!Port.open(device)) {
        // Opening is always asked for by the operator, never from inside a
        // port notification, so the message can show at once.
        Report.critical(kTitle,
                        QStringLiteral("Error opening comms port %1 : %2").arg(name, Port.errorString()));
        return false;
    }
    // Whatever arrived before we opened belongs to nobody.
    Port.discardInput();
    Receiver.ResetSync();
    PortLost = false;
    PortOK = true;
    return true;
}

void CommsLink::ScanCommsPorts() {
    Report.changed(Change::ScanStarted);
    const bool wasOpen = Port.isOpen();
    if (wasOpen)
        Port.close();
    Scan.ScanCommsPorts();
    // Selected again as the operator would, so a port the scan did not find
    // leads to the first one it found.
    if (wasOpen && SelectedPort != 0)
        SelectCommsPort(SelectedPort);
    else if (wasOpen)
        openDevice(Device);
    Report.changed(Change::ScanFinished);
}

void CommsLink::applySettings(const QString& settings) {
    // A setting the port refuses is not taken: nothing would apply it later
    // but the next open, which would then fail or run at another speed.
    if (const auto line = LineSettings::parse(settings); !line || !Port.setLine(*line))
        return;
    Settings = settings;
    emit settingsChanged(settings);
}

void CommsLink::setBootloaderSpeed() {
    applySettings(LineSettings::kBootloader);
}

void CommsLink::setApplicationSpeed() {
    applySettings(LineSettings::kApplication);
}

void CommsLink::resetSpeedLater() {
    ResetBaudRateTmr.start();
}

bool CommsLink::begin(ReplyKind awaited, Deadline deadline) {
    if (!Exchange.sendAllowed())
        return false;
    // Bytes that arrived while nothing was awaited (a late or doubled reply,
    // noise) must not complete the command about to be sent.
    if (Port.isOpen())
        Port.discardInput();
    Receiver.ResetSync();
    Reply = {};
    Exchange.SetMessageInProgress(awaited, deadline);
    if (!PortOK)
        Exchange.noteNoPort(); // it will go unanswered, and the port is why
    return true;
}

void CommsLink::post(const OutMsg& message, int bytesToSend, ReplyKind awaited) {
    if (begin(awaited, Deadline::Link))
        SendMessage(message, bytesToSend);
}

Exchanged CommsLink::transact(const OutMsg& message, int bytesToSend, ReplyKind awaited,
                              QTimer* ownDeadline) {
    if (!begin(awaited, ownDeadline ? Deadline::Own : Deadline::Link))
        return {};
    QMetaObject::Connection deadline;
    if (ownDeadline) {
        deadline = connect(ownDeadline, &QTimer::timeout, this, [this] { Exchange.putOwnDeadline(); });
        ownDeadline->start();
    }
    SendMessage(message, bytesToSend);
    const Outcome outcome = Exchange.waitForOutcome();
    if (ownDeadline) {
        ownDeadline->stop();
        disconnect(deadline);
    }
    return {outcome, Reply};
}

void CommsLink::sendUnanswered(const OutMsg& message, int bytesToSend) {
    if (Exchange.sendAllowed())
        write(message, bytesToSend);
}

void CommsLink::SendMessage(const OutMsg& Message, int BytesToSend) {
    // Armed even when nothing was sent, so the sender's wait still ends; a
    // failed write has completed the command already.
    if (write(Message, BytesToSend))
        CommsTimeout.start();
}

bool CommsLink::write(const OutMsg& message, int bytesToSend) {
    const QByteArray frame = Frame::encode(message, bytesToSend);
    if (frame.isEmpty() || !PortOK)
        return true;
    const QString failure = Port.write(frame);
    if (failure.isEmpty())
        return true;
    onWriteFailed(failure);
    return false;
}

void CommsLink::onAcknowledgement(bool commandOK) {
    if (Exchange.PutCommandOKFromTgt(commandOK))
        Reply[0] = commandOK ? Frame::kAccepted : Frame::kRefused;
}

void CommsLink::onDataReply(const RxMsg& frame) {
    const bool identity = frame[0] == Frame::kIdentityReply;
    // The reply completes the command only when it is the kind awaited; it is
    // handed to its consumer either way.
    if (Exchange.putDataReply(identity ? ReplyKind::Identity : ReplyKind::EncryptedPage)) {
        CommsTimeout.stop();
        Reply = frame;
    }
    if (identity)
        emit identityReplyReceived(frame);
    else
        emit encryptedPageReceived(frame);
}

void CommsLink::reportLater(const QString& text) {
    QMetaObject::invokeMethod(
        this, [this, text] { Report.critical(kTitle, text); }, Qt::QueuedConnection);
}

void CommsLink::onWriteFailed(const QString& reason) {
    if (!linkFailed())
        return;
    reportLater(QStringLiteral("Error writing to comms port: %1. Please reselect comms port").arg(reason));
    // Nothing more will come for this command: complete it now instead of
    // leaving its sender waiting.
    CommsTimeout.stop();
    Exchange.putWriteFailure();
}

void CommsLink::onReadFailed(const QString& reason) {
    // Said once; a waiting command ends by its reply time-out.
    Exchange.noteNoPort();
    if (linkFailed())
        reportLater(QStringLiteral("Error reading from comms port: %1. The device may have been "
                                   "disconnected. Please reselect comms port")
                        .arg(reason));
}

bool CommsLink::linkFailed() {
    if (PortLost || !Port.isOpen())
        return false;
    PortLost = true;
    PortOK = false;
    // A device that has gone (a pulled USB adapter hangs the tty up) would go
    // on reporting errors at full speed, so the port is closed; the close waits
    // until the port has returned from the notification that reported it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (PortLost && Port.isOpen())
                Port.close();
        },
        Qt::QueuedConnection);
    return true;
}
