#include "SpentSerials.h"

#include <algorithm>

void SpentSerials::insert(qint32 serial) {
    if (inRange(serial))
        Bits.set(static_cast<size_t>(serial));
}

void SpentSerials::remove(qint32 serial) {
    if (inRange(serial))
        Bits.reset(static_cast<size_t>(serial));
}

std::optional<qint32> SpentSerials::highest() const {
    for (qint32 serial = kHighest; serial >= kLowest; --serial)
        if (Bits.test(static_cast<size_t>(serial)))
            return serial;
    return std::nullopt;
}

std::optional<qint32> SpentSerials::firstFreeFrom(qint32 from) const {
    for (qint32 serial = std::max(from, kLowest); serial <= kHighest; ++serial)
        if (!Bits.test(static_cast<size_t>(serial)))
            return serial;
    return std::nullopt;
}
