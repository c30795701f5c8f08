#include "SerialLedger.h"

const Reservation* LedgerView::openReservation(qint32 serial) const {
    for (const Reservation& reservation : open)
        if (reservation.serial == serial)
            return &reservation;
    return nullptr;
}
