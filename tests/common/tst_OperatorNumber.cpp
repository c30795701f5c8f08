#include "OperatorNumber.h"

#include <QtTest>

using namespace OperatorNumber;

class TestOperatorNumber : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber() {
        const std::pair<const char*, double> cases[] = {
            {"42", 42},    {"   17", 17}, {"12abc", 12}, {"2.5", 2.5}, {".5", 0.5}, {"-3", -3},
            {"1e3", 1000}, {"abc", 0},    {" ", 0},      {"-", 0},     {"1e999", 0}};
        for (const auto& [text, value] : cases)
            QCOMPARE(LeadingNumber(QString::fromLatin1(text)), value);
    }

    void halvesToEven() {
        const std::pair<double, double> cases[] = {{0.5, 0}, {1.5, 2},   {2.5, 2},     {3.5, 4},
                                                   {2.6, 3}, {-2.5, -2}, {254.5, 254}, {255.5, 256}};
        for (const auto& [value, rounded] : cases)
            QCOMPARE(RoundHalfEven(value), rounded);
    }

    void range() {
        QCOMPARE(WholeInRange(255.4, 1, 255), std::optional<int>(255));
        QCOMPARE(WholeInRange(255.5, 1, 255), std::nullopt);
        QCOMPARE(WholeInRange(0.5, 1, 255), std::nullopt);
        QCOMPARE(WholeInRange(1e30, 1, 255), std::nullopt);
        QCOMPARE(WholeInRange(std::nan(""), 1, 255), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestOperatorNumber)
#include "tst_OperatorNumber.moc"
