#pragma once

#include "ModuleEngine.h"
#include "PreciseTimer.h"
#include "PseudoTerminal.h"

#include <QByteArray>
#include <QSocketNotifier>

#include <deque>
#include <memory>

// A module's bootloader on a pseudo-terminal: the module engine with the
// line's timing (a 115200 baud line's pace and an adapter's latency, when
// asked for) on the module's side of the pair.
class VirtualModule : public ModuleEngine {
    Q_OBJECT
public:
    static constexpr qint64 kByteTimeNs = 10'000'000'000LL / kBootloaderBaud; // 8N1: ten bits a byte

    explicit VirtualModule(QObject* parent = nullptr);
    ~VirtualModule() override;

    bool start(QString* error = nullptr);
    QString devicePath() const { return Pty.slavePath(); }
    int lineBaud() const { return Pty.baudRate(); }

    // Puts bytes on the line that answer nothing (noise, a late reply). They
    // wait in the line for whoever opens the port next, as on a real line.
    void sendRaw(const QByteArray& bytes) { transmit(bytes, PreciseTimer::now()); }
    // Stops reading the line, so that what the tool writes fills the
    // driver's buffer; released, it reads at once all that has waited.
    void holdInput(bool held);
    // Hangs the line up under the tool, as a pulled USB adapter does.
    bool hangUp(QString* error = nullptr);
    // Pulls the cable for good (no privileges needed): the module is gone.
    void pullCable();

private:
    // Reads what waits in the line, up to a buffer's worth; false when nothing did.
    bool readOnce();
    void send(const Answer& answer);
    void transmit(const QByteArray& bytes, qint64 startNs);
    void drainOutput();

    PseudoTerminal Pty;
    std::unique_ptr<QSocketNotifier> Readable;
    // When the last byte heard was in, on a line of the emulated pace.
    qint64 ReceiveLineNs = 0;

    struct TimedByte {
        char byte;
        qint64 dueNs;   // on PreciseTimer's clock
        bool endsBurst; // the last byte before the line falls silent
    };
    std::deque<TimedByte> Output;
    qint64 TransmitLineNs = 0; // when the module's side of the line is free again
    PreciseTimer OutputTimer;
};
