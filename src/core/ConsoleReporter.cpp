#include "ConsoleReporter.h"

#include <cstdio>

void ConsoleReporter::ShowCritical(const QString& title, const QString& text) {
    LastCritical = text;
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
}
