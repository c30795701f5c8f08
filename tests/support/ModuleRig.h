#pragma once

#include "BootloaderCore.h"
#include "CommandExchange.h"
#include "CommsLink.h"
#include "Events.h"
#include "Maintenance.h"
#include "ModuleAndCore.h"
#include "Operations.h"
#include "TargetSession.h"
#include "TestKit.h"
#include "VirtualModule.h"

#include <QFile>

#include <memory>
#include <sys/resource.h>

// Keeps everything the core tells the operator, in order.
class RecordingReporter : public EventSink {
public:
    void status(StatusLines lines, const QString& text) override {
        (lines == StatusLines::Both ? statuses : mainStatuses) << text;
        events << text;
    }
    void critical(const QString& title, const QString& text) override {
        criticals << title + ": " + text;
        events << criticals.last();
    }
    void progress(Activity activity, int done, int total) override {
        progressEvents << QStringLiteral("%1 %2/%3")
                              .arg(activity == Activity::Programming ? "program" : "capture")
                              .arg(done)
                              .arg(total);
        events << progressEvents.last();
    }

    void changed(Change what) override { changes << what; }

    QList<Change> changes;      // the core's state changes, in order
    QStringList criticals;      // "title: text"
    QStringList statuses;       // both windows
    QStringList mainStatuses;   // the main window only
    QStringList progressEvents; // "program 3/16", "capture 10/120"
    QStringList events;         // all of them, in order
};

// Short time-outs (reply 250 ms, reset 60 ms, page 300 ms), so that only the
// tests about a time-out wait real time. The inter-byte limit stays as it is.
inline LinkTimings fastTimings() {
    return {.replyTimeoutMs = 250, .resetBaudDelayMs = 60, .pageTimeoutMs = 300};
}

// An identity with every field set to a value of its own: system 1,
// sub-system 10, serial 4660, ID bytes 11 22 33, bootloader 1.05 with
// capabilities 3, application 2.07, last error 9 (InvParam), processor values
// 30..33, information bytes "ABC123" C1 C2 C3 C4. All but the last error, the
// ID bytes, the processor and information bytes are how a module comes.
inline ModuleIdentity sampleIdentity() {
    ModuleIdentity id;
    id.lastError = 9;
    id.idBytes = {0x11, 0x22, 0x33};
    id.cpuId = {30, 31, 32, 33};
    id.info = {'A', 'B', 'C', '1', '2', '3', 0xC1, 0xC2, 0xC3, 0xC4};
    return id;
}

// Whether this process may hang a line up (TIOCVHANGUP needs CAP_SYS_ADMIN).
inline bool canHangUpLines() {
    VirtualModule scratch;
    return scratch.start() && scratch.hangUp();
}

// CPU time (user + system) in milliseconds of this process, or with
// RUSAGE_CHILDREN of the child processes that have ended.
inline double cpuMilliseconds(int who = RUSAGE_SELF) {
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// A frame for the link: element 0 the code, then the data bytes.
inline OutMsg Message(std::initializer_list<qint16> elements) {
    OutMsg m{};
    std::copy(elements.begin(), elements.end(), m.begin());
    return m;
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The hex of every frame the module heard, in order.
inline QStringList heardBy(const VirtualModule& module) {
    QStringList frames;
    for (const VirtualModule::HeardFrame& frame : module.heardFrames())
        frames << QString::fromLatin1(frame.bytes.toHex(' '));
    return frames;
}

// The core as the program builds it, started on COM10, with a virtual module
// on the other end of a pseudo-terminal.
struct ModuleRig {
    explicit ModuleRig(LinkTimings timings = fastTimings()) : rig(reporter, timings) {
        QString error;
        if (!rig.start(&error))
            qFatal("virtual module: %s", qPrintable(error));
        core = rig.core.get();
    }

    RecordingReporter reporter;
    ModuleAndCore rig;
    VirtualModule& module = rig.module;
    BootloaderCore* core = nullptr;

    CommandExchange& exchange() { return core->exchange(); }
    CommsLink& link() { return core->link(); }
    TargetSession& target() { return core->target(); }
    Maintenance& maintenance() { return core->maintenance(); }
    Operations& operations() { return core->operations(); }
    QStringList heard() const { return heardBy(module); }
};
