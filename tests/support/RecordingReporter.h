#pragma once

#include "Reporter.h"

#include <QStringList>

// Keeps everything the core tells the operator, in order.
class RecordingReporter : public Reporter {
public:
    struct Critical {
        QString title;
        QString text;
    };

    void ShowCritical(const QString& title, const QString& text) override;
    void UpdateStatusDisp(const QString& text) override;
    void PutStatusMsg(const QString& text) override;

    QList<Critical> criticals;
    QStringList statuses;     // UpdateStatusDisp, both windows
    QStringList mainStatuses; // PutStatusMsg, main window only
};
