#pragma once

#include "Events.h"

#include <QString>

// The one way the core reports: every event goes to the front end's sink, and
// the reporter keeps what an operation's result needs (the last status text
// and critical message since the operation began).
class Reporter {
public:
    explicit Reporter(EventSink& sink) : Sink(sink) {}

    // Progress and outcome of an operation, for both status lines; an empty
    // text shows nothing.
    void status(const QString& text);
    // A text for the main window's status line only.
    void mainStatus(const QString& text);
    void critical(const QString& title, const QString& text);
    void progress(Activity activity, int done, int total) { Sink.progress(activity, done, total); }
    void changed(Change what) { Sink.changed(what); }

    // A new operation begins: what an earlier one said is forgotten.
    void beginOperation();
    const QString& lastStatus() const { return LastStatus; }
    // "title: text" of the last critical message, empty when there was none.
    const QString& lastCritical() const { return LastCritical; }

private:
    EventSink& Sink;
    QString LastStatus;
    QString LastCritical;
};
