#include "OperatorNumber.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace OperatorNumber {

double leadingNumber(QStringView text) {
    static const QRegularExpression kNumber(
        QStringLiteral(R"(^\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?))"));
    // The number and the blanks before it are ASCII, so only the text's ASCII
    // start is matched: what follows may be anything, and text that is not
    // valid UTF-16 (a lone surrogate) would fail the whole match.
    const auto asciiEnd = std::find_if(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0x7F; });
    const QRegularExpressionMatch match = kNumber.match(text.first(asciiEnd - text.begin()).toString());
    if (!match.hasMatch())
        return 0.0;
    bool ok = false;
    const double value = match.capturedView(1).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

double roundHalfEven(double value) {
    // Not nearbyint under a switched rounding mode: the compiler may move the
    // rounding past the switch back (clang does), so the caller's mode would
    // apply. std::round ignores the mode and rounds halves away from zero;
    // only a tie then needs moving to its even neighbour. The subtraction and
    // the halving are exact, so no rounding mode can enter.
    const double rounded = std::round(value);
    if (std::fabs(rounded - value) != 0.5)
        return rounded;
    return 2.0 * std::round(value / 2.0);
}

std::optional<int> wholeInRange(double value, int low, int high) {
    const double whole = roundHalfEven(value);
    if (!(whole >= low && whole <= high))
        return std::nullopt;
    return static_cast<int>(whole);
}

std::optional<long> scriptNumber(QStringView text) {
    int base = 10;
    if (text.startsWith(u"0x", Qt::CaseInsensitive)) {
        text = text.sliced(2);
        base = 16;
    } else if (text.startsWith(u'$')) {
        text = text.sliced(1);
        base = 16;
    }
    if (text.isEmpty() || text.front() == u'+' || text.front() == u'-')
        return std::nullopt;
    bool ok = false;
    const long value = text.toLong(&ok, base);
    return ok ? std::optional(value) : std::nullopt;
}

} // namespace OperatorNumber
