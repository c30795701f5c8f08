#pragma once

#include <QStringView>

#include <optional>

// Numbers typed by the operator: the number at the start of the text (leading
// blanks ignored), or 0 when the text does not start with one.
namespace OperatorNumber {
double leadingNumber(QStringView text);
// Rounds to a whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);
// The rounded number when it lies within [low, high].
std::optional<int> wholeInRange(double value, int low, int high);
// A whole number as a script or a command line writes it: decimal (leading
// zeros stay decimal: a serial number "00042" is 42), or hex after "0x" or
// "$" (as the windows show bytes); nothing else, not even a sign.
std::optional<long> scriptNumber(QStringView text);
} // namespace OperatorNumber
