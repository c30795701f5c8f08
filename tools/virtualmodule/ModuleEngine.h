#pragma once

#include "ModuleFaults.h"
#include "ModuleIdentity.h"
#include "ModuleModel.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <optional>

// A module's bootloader as the line sees it, without the line: it collects
// the command frames it hears, carries out the ones it knows on its model
// (memory, ID block, last error) and says what goes back, with any faults it
// has been told to show. After a restart it plays the running application,
// which hears only the restart-into-bootloader frame, and only at 38400 baud.
// The virtual module puts it behind a pseudo-terminal; the link's unit tests
// put it behind an in-memory line.
class ModuleEngine : public QObject {
    Q_OBJECT
    ModuleModel Model; // first: `identity` refers into it

public:
    static constexpr int kBootloaderBaud = 115200;
    static constexpr int kApplicationBaud = 38400;

    struct HeardFrame {
        QByteArray bytes; // sync to checksum
        int baud = 0;     // line speed when it arrived
    };
    // What goes back for one frame.
    struct Answer {
        QByteArray bytes;    // stray bytes and a repeat included
        int delayMs = 0;     // before the first byte
        int pauseMs = 0;     // after the first half of the bytes
        bool hangUp = false; // instead of answering, the line is hung up
    };

    explicit ModuleEngine(QObject* parent = nullptr);

    // What the identity reply reports; the ID block and last error are the model's own.
    ModuleIdentity& identity;
    ModuleFaults faults;

    ModuleModel& model() { return Model; }
    const ModuleModel& model() const { return Model; }

    bool inApplication() const { return InApplication; }
    void setInApplication(bool running) { InApplication = running; }

    const QList<HeardFrame>& heardFrames() const { return Heard; }
    void clearHeardFrames() { Heard.clear(); }

    // One byte from the line at `baud`, `nowNs` on a monotonic clock. The
    // answer, when the byte ends a frame that gets one.
    std::optional<Answer> hear(quint8 b, int baud, qint64 nowNs);
    // Drops the frame being collected: the line was hung up.
    void forgetFrame();

signals:
    void frameHeard(const QByteArray& bytes, int baud);
    void replySent(const QByteArray& bytes);
    // A command changed program memory.
    void memoryChanged();

private:
    std::optional<Answer> handleFrame(const HeardFrame& frame);
    Answer answer(const ModuleReply& reply, const QList<PlannedFault>& planned);
    static int dataLengthFor(quint8 code);

    // Frame being collected.
    QByteArray Collecting;
    int Expected = -1; // frame length after sync, -1 until the code is known
    int CollectingBaud = 0;
    qint64 LastByteNs = 0;

    bool InApplication = false;
    int FramesHeard = 0;
    QList<HeardFrame> Heard;
};
