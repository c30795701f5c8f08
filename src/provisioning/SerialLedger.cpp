#include "SerialLedger.h"

std::optional<qint32> serialOfRecoveryCode(const QString& code, UnitLookup* lookup) {
    bool digits = code.size() == 6;
    for (const QChar c : code)
        digits &= c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int serial = digits ? code.toInt() : 0;
    if (serial >= SpentSerials::kLowest && serial <= SpentSerials::kHighest)
        return serial;
    lookup->found = UnitLookup::Found::BadCode;
    lookup->error = QStringLiteral("%1 is not a serial number of six digits").arg(code);
    return std::nullopt;
}

const Reservation* LedgerView::openReservation(qint32 serial) const {
    for (const Reservation& reservation : open)
        if (reservation.serial == serial)
            return &reservation;
    return nullptr;
}
