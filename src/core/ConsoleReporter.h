#pragma once

#include "Reporter.h"

#include <QString>

// What the core tells the operator, for a front end without windows: critical
// messages go to the standard error stream, the last status text is kept.
class ConsoleReporter : public Reporter {
public:
    void ShowCritical(const QString& title, const QString& text) override;
    void UpdateStatusDisp(const QString& text) override { LastStatus = text; }
    void PutStatusMsg(const QString& text) override { LastStatus = text; }

    const QString& lastStatus() const { return LastStatus; }
    const QString& lastCritical() const { return LastCritical; }

private:
    QString LastStatus;
    QString LastCritical;
};
