#pragma once

#include "Events.h"

#include <QElapsedTimer>

#include <cstdio>

// What the core tells a command line: status texts and critical messages one
// per line on standard error, as the windows would show them, and, when
// standard error is a terminal, a progress bar (pages, percent, rate, time
// left) on the line below them. Standard error is unbuffered: every line is
// out when it is written.
class TerminalSink : public EventSink {
public:
    explicit TerminalSink(bool progressBar, std::FILE* stream = stderr);

    void status(StatusLines lines, const QString& text) override;
    void critical(const QString& title, const QString& text) override;
    void progress(Activity activity, int done, int total) override;

    // A line of the command line's own, above the bar.
    void line(const QString& text);

private:
    void clearBar();
    void drawBar();

    bool Bar;
    std::FILE* Stream;
    bool BarShown = false;
    int Done = 0;
    int Total = 0;
    QElapsedTimer Clock; // since the run's first page
};
