#include "RecordingReporter.h"

void RecordingReporter::ShowCritical(const QString& title, const QString& text) {
    criticals.append({title, text});
}
void RecordingReporter::UpdateStatusDisp(const QString& text) {
    statuses.append(text);
}
void RecordingReporter::PutStatusMsg(const QString& text) {
    mainStatuses.append(text);
}
