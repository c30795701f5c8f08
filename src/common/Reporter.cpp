#include "Reporter.h"

void Reporter::status(const QString& text) {
    if (text.isEmpty())
        return; // an abandoned command has nothing to say
    LastStatus = text;
    Sink.status(StatusLines::Both, text);
}

void Reporter::mainStatus(const QString& text) {
    LastStatus = text;
    Sink.status(StatusLines::Main, text);
}

void Reporter::critical(const QString& title, const QString& text) {
    LastCritical = title + QStringLiteral(": ") + text;
    Sink.critical(title, text);
}

void Reporter::beginOperation() {
    LastStatus.clear();
    LastCritical.clear();
}
