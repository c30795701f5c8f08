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
} // namespace OperatorNumber
