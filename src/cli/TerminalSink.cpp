#include "TerminalSink.h"

#include <QString>

#include <cmath>

TerminalSink::TerminalSink(bool progressBar, std::FILE* stream) : Bar(progressBar), Stream(stream) {}

void TerminalSink::line(const QString& text) {
    clearBar();
    std::fprintf(Stream, "%s\n", qPrintable(text));
    drawBar();
}

void TerminalSink::status(StatusLines, const QString& text) {
    line(text);
}

void TerminalSink::critical(const QString& title, const QString& text) {
    line(title + QStringLiteral(": ") + text);
}

void TerminalSink::progress(Activity, int done, int total) {
    if (!Bar)
        return;
    if (done == 0)
        Clock.start();
    Done = done;
    Total = total;
    BarShown = true;
    drawBar();
    if (done >= total) {
        std::fputc('\n', Stream); // the finished bar stays
        BarShown = false;
    }
}

void TerminalSink::clearBar() {
    if (BarShown)
        std::fputs("\r\033[K", Stream);
}

void TerminalSink::drawBar() {
    if (!BarShown)
        return;
    constexpr int kWidth = 30;
    const int filled = Total > 0 ? Done * kWidth / Total : kWidth;
    const double seconds = Clock.isValid() ? static_cast<double>(Clock.elapsed()) / 1000.0 : 0;
    const double rate = seconds > 0 ? Done / seconds : 0;
    QString left = QStringLiteral("-");
    if (rate > 0) {
        const int remaining = static_cast<int>(std::lround((Total - Done) / rate));
        left = QStringLiteral("%1:%2").arg(remaining / 60).arg(remaining % 60, 2, 10, QLatin1Char('0'));
    }
    std::fprintf(Stream, "\r[%s%s] %d/%d pages %3d%% %5.1f pages/s %s left",
                 qPrintable(QString(filled, u'#')), qPrintable(QString(kWidth - filled, u'.')), Done, Total,
                 Total > 0 ? Done * 100 / Total : 100, rate, qPrintable(left));
}
