#include "NumberEntry.h"

#include "Dialogs.h"
#include "OperatorNumber.h"

float NumberEntry::EnterParameter(qint32 currentValue, const QString& prompt) {
    const std::optional<QString> answer =
        Dlg.inputBox(QStringLiteral("Bootloader Parameter Entry"), prompt, QString::number(currentValue));
    if (!answer || answer->isEmpty())
        return static_cast<float>(currentValue);
    return static_cast<float>(OperatorNumber::roundHalfEven(OperatorNumber::leadingNumber(*answer)));
}

double NumberEntry::EnterMaxSerialNo() {
    const std::optional<QString> answer =
        Dlg.inputBox(QStringLiteral("Serial Number Entry"), QStringLiteral("Enter maximum serial number"),
                     QStringLiteral("0"));
    if (!answer || answer->isEmpty())
        return 0;
    return OperatorNumber::roundHalfEven(OperatorNumber::leadingNumber(*answer));
}
