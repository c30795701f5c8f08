#include "OperatorNumber.h"

#include <QRegularExpression>

#include <cfenv>
#include <cmath>

namespace OperatorNumber {

double LeadingNumber(QStringView text) {
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?))"));
    const QRegularExpressionMatch match = number.match(text.toString());
    if (!match.hasMatch())
        return 0.0;
    bool ok = false;
    const double value = match.capturedView(1).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

double RoundHalfEven(double value) {
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

std::optional<int> WholeInRange(double value, int low, int high) {
    const double whole = RoundHalfEven(value);
    if (!(whole >= low && whole <= high))
        return std::nullopt;
    return static_cast<int>(whole);
}

} // namespace OperatorNumber
