#pragma once

#include <QtGlobal>

#include <bitset>
#include <optional>

// The serial numbers of a range that are taken: logged, or reserved for a
// unit that may hold them. Serial numbers are 16 bits; 0 is never given.
class SpentSerials {
public:
    static constexpr qint32 kLowest = 1;
    static constexpr qint32 kHighest = 65535;

    bool contains(qint32 serial) const { return inRange(serial) && Bits.test(static_cast<size_t>(serial)); }
    // Numbers outside 1..65535 are not serial numbers and are not kept.
    void insert(qint32 serial);
    void remove(qint32 serial);
    // Adds every number of `other`.
    void unite(const SpentSerials& other) { Bits |= other.Bits; }
    bool isEmpty() const { return Bits.none(); }
    std::optional<qint32> highest() const;
    // The lowest number at or above `from` that is free, if any up to 65535.
    std::optional<qint32> firstFreeFrom(qint32 from) const;

private:
    static bool inRange(qint32 serial) { return serial >= kLowest && serial <= kHighest; }
    std::bitset<kHighest + 1> Bits;
};
