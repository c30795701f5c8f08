#include "ConsoleSink.h"

void ConsoleSink::status(StatusLines, const QString& text) {
    if (!Stream)
        return;
    std::fprintf(Stream, "%s\n", qPrintable(text));
}

void ConsoleSink::critical(const QString& title, const QString& text) {
    if (!Stream)
        return;
    std::fprintf(Stream, "%s: %s\n", qPrintable(title), qPrintable(text));
}
