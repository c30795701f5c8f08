#pragma once

// What more than one fuzz target needs: the check that aborts on a broken
// invariant, and the pieces of the plain models that several of them share.
// The models state every byte value and answer themselves, as literals; none
// is taken from the code they check, so that a wrong constant there is found
// instead of being agreed with.

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken invariant aborts, so that libFuzzer keeps the input as a crash and
// the sanitizers print where it happened. (A macro for the line number:
// clang 14 has no std::source_location with libstdc++.)
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition);           \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

namespace Model {

// What HexStrtoByte gives for a pair that is not two upper-case hex digits
// (all 16 bits set), and so what a .ser record holds for a broken ID byte.
inline constexpr qint16 kBadHex = -1;
// What DecStrtoLong gives for a text that does not end in a digit.
inline constexpr qint32 kNoNumber = -32767;

// "0".."9" only: no other script's digits, no full-width forms.
constexpr bool isAsciiDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

// The value of one upper-case hex digit, or -1: lower case is no hex digit in
// the files or in the helpers. Takes a file byte or a UTF-16 code unit alike.
constexpr int hexDigit(char32_t c) {
    if (isAsciiDigit(c))
        return static_cast<int>(c - U'0');
    if (c >= U'A' && c <= U'F')
        return static_cast<int>(c - U'A') + 10;
    return -1;
}

// The byte written as two upper-case hex digits at `bytes`, or -1.
constexpr int hexPair(const uint8_t* bytes) {
    const int high = hexDigit(bytes[0]);
    const int low = hexDigit(bytes[1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// The sum of the bytes modulo 256: the checksum of a reply frame and of a .fw
// page record.
constexpr quint8 byteSum(const uint8_t* bytes, size_t count) {
    unsigned sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<quint8>(sum & 0xFF);
}

} // namespace Model
