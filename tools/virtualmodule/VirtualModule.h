#pragma once

#include "ModuleIdentity.h"
#include "PseudoTerminal.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <deque>
#include <memory>

// Faults the virtual module can be told to show.
struct ModuleFaults {
    QSet<int> refused;        // command codes answered with 171
    QSet<int> unanswered;     // command codes not answered at all
    bool badChecksum = false; // data replies carry a wrong checksum
    QByteArray garbage;       // bytes sent before every reply
    int replyDelayMs = 0;     // a slow module: time between a command and its reply
    int pauseMs = 0;          // a pause of this length in the middle of every reply
    int stopAfterFrames = -1; // answers only the first N frames (-1: all)
    bool lineRate = false;    // every byte takes the time of a 115200 8N1 line
};

// A module's bootloader on a pseudo-terminal. It answers the identity request,
// acknowledges the commands it knows and can refuse any of them. After a
// restart it plays the running application, which hears only the
// restart-into-bootloader frame, and only at 38400 baud.
class VirtualModule : public QObject {
    Q_OBJECT
public:
    static constexpr int kBootloaderBaud = 115200;
    static constexpr int kApplicationBaud = 38400;
    static constexpr qint64 kByteTimeNs = 10'000'000'000LL / kBootloaderBaud; // 8N1: ten bits a byte

    struct HeardFrame {
        QByteArray bytes; // sync to checksum
        int baud = 0;     // line speed when it arrived
    };

    explicit VirtualModule(QObject* parent = nullptr);
    ~VirtualModule() override;

    bool start(QString* error = nullptr);
    QString devicePath() const { return Pty.slavePath(); }
    int lineBaud() const { return Pty.baudRate(); }

    ModuleIdentity identity;
    ModuleFaults faults;

    bool inApplication() const { return InApplication; }
    void setInApplication(bool running) { InApplication = running; }

    const QList<HeardFrame>& heardFrames() const { return Heard; }
    void clearHeardFrames() { Heard.clear(); }
    // Puts bytes on the line that answer nothing (noise, a late reply).
    void sendRaw(const QByteArray& bytes) { queueBytes(bytes, Clock.nsecsElapsed()); }
    // Hangs the line up under the tool, as a pulled USB adapter does.
    bool hangUp(QString* error = nullptr);

signals:
    void frameHeard(const QByteArray& bytes, int baud);
    void replySent(const QByteArray& bytes);

private:
    void onReadable();
    void takeByte(quint8 b, int baud);
    void handleFrame(const HeardFrame& frame);
    void handleBootloaderCommand(quint8 code, const QByteArray& data);
    void sendAck(bool accepted);
    void sendDataReply(quint8 code, const QByteArray& data);
    void send(const QByteArray& reply);
    void queueBytes(const QByteArray& bytes, qint64 firstDueNs);
    void drainOutput();
    static int dataLengthFor(quint8 code);

    PseudoTerminal Pty;
    std::unique_ptr<QSocketNotifier> Readable;
    QElapsedTimer Clock;

    // Frame being collected.
    QByteArray Collecting;
    int Expected = -1; // frame length after sync, -1 until the code is known
    int CollectingBaud = 0;
    qint64 LastByteNs = 0;

    bool InApplication = false;
    int FramesHeard = 0;
    QList<HeardFrame> Heard;

    struct TimedByte {
        char byte;
        qint64 dueNs;
    };
    std::deque<TimedByte> Output;
    qint64 LineFreeNs = 0;
    QTimer OutputTimer;
};
