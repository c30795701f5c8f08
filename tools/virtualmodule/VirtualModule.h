#pragma once

#include "ModuleFaults.h"
#include "ModuleIdentity.h"
#include "ModuleModel.h"
#include "PreciseTimer.h"
#include "PseudoTerminal.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>

#include <deque>
#include <memory>

// A module's bootloader on a pseudo-terminal. It carries out the commands it
// knows on its model (memory, ID block, last error) and answers them, with
// any faults it has been told to show. After a restart it plays the running
// application, which hears only the restart-into-bootloader frame, and only
// at 38400 baud.
class VirtualModule : public QObject {
    Q_OBJECT
    ModuleModel Model; // first: `identity` refers into it

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

    // What the identity reply reports; the ID block and last error are the model's own.
    ModuleIdentity& identity;
    ModuleFaults faults;

    ModuleModel& model() { return Model; }
    const ModuleModel& model() const { return Model; }

    bool inApplication() const { return InApplication; }
    void setInApplication(bool running) { InApplication = running; }

    const QList<HeardFrame>& heardFrames() const { return Heard; }
    void clearHeardFrames() { Heard.clear(); }
    // Puts bytes on the line that answer nothing (noise, a late reply). They
    // wait in the line for whoever opens the port next, as on a real line.
    void sendRaw(const QByteArray& bytes) { transmit(bytes, PreciseTimer::now()); }
    // Hangs the line up under the tool, as a pulled USB adapter does.
    bool hangUp(QString* error = nullptr);
    // Pulls the cable for good (no privileges needed): the module is gone.
    void pullCable();

signals:
    void frameHeard(const QByteArray& bytes, int baud);
    void replySent(const QByteArray& bytes);
    // A command changed program memory.
    void memoryChanged();

private:
    void onReadable();
    void takeByte(quint8 b, int baud, qint64 now);
    void handleFrame(const HeardFrame& frame);
    void send(const ModuleReply& reply, const QList<PlannedFault>& planned);
    void transmit(const QByteArray& bytes, qint64 startNs);
    void drainOutput();
    static int dataLengthFor(quint8 code);

    PseudoTerminal Pty;
    std::unique_ptr<QSocketNotifier> Readable;

    // Frame being collected.
    QByteArray Collecting;
    int Expected = -1; // frame length after sync, -1 until the code is known
    int CollectingBaud = 0;
    qint64 LastByteNs = 0;
    // When the last byte heard was in, on a line of the emulated pace.
    qint64 ReceiveLineNs = 0;

    bool InApplication = false;
    int FramesHeard = 0;
    QList<HeardFrame> Heard;

    struct TimedByte {
        char byte;
        qint64 dueNs;   // on PreciseTimer's clock
        bool endsBurst; // the last byte before the line falls silent
    };
    std::deque<TimedByte> Output;
    qint64 TransmitLineNs = 0; // when the module's side of the line is free again
    PreciseTimer OutputTimer;
};
