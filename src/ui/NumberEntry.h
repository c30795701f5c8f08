#pragma once

#include <QString>
#include <QtGlobal>

class Dialogs;

// The number-entry dialogs of the admin window's clickable number labels.
class NumberEntry {
public:
    explicit NumberEntry(Dialogs& dialogs) : Dlg(dialogs) {}

    // "Bootloader Parameter Entry": the number at the start of the entry,
    // rounded with halves to even; the current value on Cancel or an empty
    // entry. Callers apply their own range.
    float EnterParameter(qint32 currentValue, const QString& prompt);
    // "Serial Number Entry": the highest serial number as entered, rounded;
    // 0 on Cancel. The caller applies the range.
    double EnterMaxSerialNo();

private:
    Dialogs& Dlg;
};
