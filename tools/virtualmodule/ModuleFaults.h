#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <optional>

// A fault for chosen frames of one command code.
struct PlannedFault {
    enum class Kind {
        NoReply,     // the frame is lost: the module neither acts nor answers
        Refuse,      // answered 5A AB; the module does not act
        BadChecksum, // a data reply carries a wrong checksum
        Garbage,     // stray bytes 00 FF 13 go before the reply
        Pause,       // the reply stops for `ms` half-way through
        Delay,       // the reply leaves `ms` later
        DoubleAck,   // the reply goes out twice: 5A 5B 5A 5B for an acknowledgement
        HangUp,      // the line is hung up instead of answering
    };
    Kind kind = Kind::NoReply;
    int ms = 0; // Pause and Delay only
};

struct FaultPlan {
    static constexpr int kEveryOccurrence = 0;

    int code = 0;
    int occurrence = kEveryOccurrence; // counted from 1 per code
    PlannedFault fault;
};

// Reads "CODE:N:KIND" with N an occurrence counted from 1 or "*" for every
// one, and KIND one of no-reply, refuse, bad-checksum, garbage, pause=MS,
// delay=MS, double-ack, hang-up. Nothing when the text is not one of these.
std::optional<FaultPlan> parseFaultPlan(const QString& text);

// Faults the virtual module can be told to show: the old global ones, which
// hold for every frame, and faults planned for the n-th frame of a code.
struct ModuleFaults {
    QSet<int> refused;        // command codes answered with 171
    QSet<int> unanswered;     // command codes not answered at all
    bool badChecksum = false; // data replies carry a wrong checksum
    QByteArray garbage;       // bytes sent before every reply
    int replyDelayMs = 0;     // a slow module: time between a command and its reply
    int pauseMs = 0;          // a pause of this length in the middle of every reply
    int stopAfterFrames = -1; // answers only the first N frames (-1: all)
    bool lineRate = false;    // every byte takes the time of a 115200 8N1 line
    // The line's timing rather than a fault: a USB serial adapter holds the
    // module's bytes back until its latency timer runs out.
    int adapterLatencyMs = 0;

    void plan(const FaultPlan& planned) { Plans.append(planned); }
    void plan(int code, int occurrence, PlannedFault fault) { plan({code, occurrence, fault}); }
    void planEvery(int code, PlannedFault fault) { plan(code, FaultPlan::kEveryOccurrence, fault); }

    // Counts one more frame of the code the bootloader heard and returns the
    // faults planned for that frame.
    QList<PlannedFault> nextFrame(int code);

private:
    QList<FaultPlan> Plans;
    QMap<int, int> FramesOfCode;
};
