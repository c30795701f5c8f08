#pragma once

#include "Events.h"

#include <cstdio>

// What the core tells a front end without windows: status texts and critical
// messages, one per line, on a stream (standard error by default; none
// prints nothing). Progress is left to the front end.
class ConsoleSink : public EventSink {
public:
    explicit ConsoleSink(std::FILE* stream = stderr) : Stream(stream) {}

    void status(StatusLines lines, const QString& text) override;
    void critical(const QString& title, const QString& text) override;
    void progress(Activity, int, int) override {}

private:
    std::FILE* Stream;
};
