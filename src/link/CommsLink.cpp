#include "CommsLink.h"

#include "CommandExchange.h"
#include "LineSettings.h"
#include "LowLatency.h"
#include "Reporter.h"

#include <cerrno>
#include <unistd.h>

namespace {
const QString kTitle = QStringLiteral("Comms Port");
} // namespace

CommsLink::CommsLink(CommandExchange& exchange, Reporter& reporter, LinkTimings timings, QObject* parent)
    : QObject(parent), Exchange(exchange), Report(reporter), MSComm1(this),
      Receiver(timings.interByteTimeoutMs, this), CommsTimeout(this), ResetBaudRateTmr(this),
      Settings(LineSettings::kBootloader) {
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

    MSComm1.setReadBufferSize(0);
    connect(&MSComm1, &QSerialPort::readyRead, this,
            [this] { Receiver.ProcessInputBytes(MSComm1.readAll()); });
    connect(&MSComm1, &QSerialPort::errorOccurred, this, &CommsLink::onPortError);

    connect(&Receiver, &ReplyReceiver::commandAcknowledged, this,
            [this](bool commandOK) { Exchange.PutCommandOKFromTgt(commandOK); });
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
}

void CommsLink::load() {
    applySettings(LineSettings::kBootloader);
    CommsTimeout.start();
    emit selectedButtonChanged(kStartPort - 1);
    SelectCommsPort(kStartPort);
}

void CommsLink::unload() {
    CommsTimeout.stop();
    ResetBaudRateTmr.stop();
    PortOK = false;
    if (MSComm1.isOpen())
        MSComm1.close();
}

bool CommsLink::SelectCommsPort(int Index) {
    if (Index < PortMap::kFirstPort || Index > PortMap::kLastPort)
        return false;
    if (const int instead = Scan.redirect(Index); instead != Index) {
        // A port the last scan did not find: take the first one it found.
        emit selectedButtonChanged(instead - 1);
        Index = instead;
    }
    return open(Ports.deviceForPort(Index), QString::number(Index), Index);
}

bool CommsLink::openDevice(const QString& path) {
    return open(path, path, 0);
}

bool CommsLink::open(const QString& device, const QString& name, int port) {
    PortOK = false;
    if (MSComm1.isOpen())
        MSComm1.close();
    MSComm1.setPortName(device);
    LineSettings::apply(MSComm1, Settings);
    if (!MSComm1.open(QIODevice::ReadWrite)) {
        // Opening is always asked for by the operator, never from inside a
        // port notification, so the message can show at once.
        Report.critical(kTitle,
                        QStringLiteral("Error opening comms port %1 : %2").arg(name, MSComm1.errorString()));
        return false;
    }
    requestLowLatency(static_cast<int>(MSComm1.handle()));
    // Whatever arrived before we opened belongs to nobody.
    MSComm1.clear(QSerialPort::AllDirections);
    Receiver.ResetSync();
    PortLost = false;
    PortOK = true;
    SelectedPort = port;
    Device = device;
    return true;
}

void CommsLink::ScanCommsPorts() {
    emit scanStarted();
    const bool wasOpen = MSComm1.isOpen();
    if (wasOpen)
        MSComm1.close();
    Scan.ScanCommsPorts();
    if (wasOpen)
        open(Device, SelectedPort != 0 ? QString::number(SelectedPort) : Device, SelectedPort);
    emit scanFinished();
}

void CommsLink::applySettings(const QString& settings) {
    Settings = settings;
    LineSettings::apply(MSComm1, settings);
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

void CommsLink::discardStaleInput() {
    // Bytes that arrived while nothing was awaited (a late or doubled reply,
    // noise) must not complete the command about to be sent.
    if (MSComm1.isOpen()) {
        MSComm1.readAll();
        MSComm1.clear(QSerialPort::Input);
    }
    Receiver.ResetSync();
}

void CommsLink::post(const OutMsg& message, int bytesToSend, ReplyKind awaited) {
    if (!Exchange.sendAllowed())
        return;
    discardStaleInput();
    Exchange.SetMessageInProgress(awaited);
    if (!PortOK)
        Exchange.noteNoPort();
    SendMessage(message, bytesToSend);
}

Outcome CommsLink::transact(const OutMsg& message, int bytesToSend, ReplyKind awaited, QTimer* ownDeadline) {
    if (!Exchange.sendAllowed())
        return Outcome::Abandoned;
    discardStaleInput();
    Exchange.SetMessageInProgress(awaited, ownDeadline ? Deadline::Own : Deadline::Link);
    if (!PortOK)
        Exchange.noteNoPort(); // it will go unanswered, and the port is why
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
    return outcome;
}

void CommsLink::SendMessage(const OutMsg& Message, int BytesToSend) {
    const QByteArray frame = Frame::encode(Message, BytesToSend);
    if (!frame.isEmpty() && PortOK) {
        if (const QString failure = writeFrame(frame); !failure.isEmpty())
            onWriteFailed(failure);
        if (!PortOK)
            return; // the write failed and the command has been completed
        CommsTimeout.stop();
    }
    // Armed even when nothing was sent, so the sender's wait still ends.
    CommsTimeout.start();
}

QString CommsLink::writeFrame(const QByteArray& frame) {
#ifdef Q_OS_UNIX
    // Straight to the driver, which takes a frame (at most 267 bytes) whole:
    // QSerialPort's write buffer would cost every command two more passes of
    // the event loop. A write error is known here at once.
    const int fd = static_cast<int>(MSComm1.handle());
    qsizetype done = 0;
    while (done < frame.size()) {
        const ssize_t n = ::write(fd, frame.constData() + done, static_cast<size_t>(frame.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno == EAGAIN)
            break; // the driver's buffer is full: the port's own buffer takes the rest
        else
            return qt_error_string(n < 0 ? errno : EIO);
    }
    if (done == frame.size())
        return {};
#else
    const qsizetype done = 0;
#endif
    Writing = true;
    const bool written = MSComm1.write(frame.mid(done)) == frame.size() - done;
    if (written)
        MSComm1.flush();
    Writing = false;
    return written ? QString() : MSComm1.errorString();
}

void CommsLink::onDataReply(const RxMsg& frame) {
    const bool identity = frame[0] == Frame::kIdentityReply;
    // The reply completes the command only when it is the kind awaited; it is
    // handed to its consumer either way.
    if (Exchange.putDataReply(identity ? ReplyKind::Identity : ReplyKind::EncryptedPage))
        CommsTimeout.stop();
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

bool CommsLink::linkFailed() {
    if (PortLost || !MSComm1.isOpen())
        return false;
    PortLost = true;
    PortOK = false;
    // A device that has gone (a pulled USB adapter hangs the tty up) would go
    // on reporting errors at full speed, so the port is closed; the close waits
    // until the port has returned from the notification that reported it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (PortLost && MSComm1.isOpen())
                MSComm1.close();
        },
        Qt::QueuedConnection);
    return true;
}

void CommsLink::onPortError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError)
        return;
    // A device that has gone reports a failed write as a resource error.
    if (error == QSerialPort::WriteError || (Writing && error == QSerialPort::ResourceError)) {
        onWriteFailed(MSComm1.errorString());
        return;
    }
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
        // Said once; a waiting command ends by its reply time-out.
        Exchange.noteNoPort();
        if (linkFailed())
            reportLater(QStringLiteral("Error reading from comms port: %1. The device may have been "
                                       "disconnected. Please reselect comms port")
                            .arg(MSComm1.errorString()));
        break;
    default:
        break; // open errors are reported where the port is opened
    }
}
