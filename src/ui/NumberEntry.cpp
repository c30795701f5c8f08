#include "NumberEntry.h"

#include "Dialogs.h"
#include "OperatorNumber.h"

#include <algorithm>
#include <limits>

float NumberEntry::EnterParameter(qint32 currentValue, const QString& prompt) {
    const std::optional<QString> answer =
        Dlg.inputBox(QStringLiteral("Bootloader Parameter Entry"), prompt, QString::number(currentValue));
    if (!answer || answer->isEmpty())
        return static_cast<float>(currentValue);
    return static_cast<float>(OperatorNumber::roundHalfEven(OperatorNumber::leadingNumber(*answer)));
}

qint16 NumberEntry::EnterMaxSerialNo() {
    const std::optional<QString> answer =
        Dlg.inputBox(QStringLiteral("Serial Number Entry"), QStringLiteral("Enter maximum serial number"),
                     QStringLiteral("0"));
    if (!answer || answer->isEmpty())
        return 0;
    // A number beyond the 16-bit range is taken as the nearest it can hold.
    const double value = OperatorNumber::roundHalfEven(OperatorNumber::leadingNumber(*answer));
    return static_cast<qint16>(std::clamp(value, double(std::numeric_limits<qint16>::min()),
                                          double(std::numeric_limits<qint16>::max())));
}
