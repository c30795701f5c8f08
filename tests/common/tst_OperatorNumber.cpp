#include "OperatorNumber.h"

#include <QtTest>

using namespace OperatorNumber;

class TestOperatorNumber : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("whole") << "42" << 42.0;
        QTest::newRow("leading blanks") << "   17" << 17.0;
        QTest::newRow("trailing text") << "12abc" << 12.0;
        QTest::newRow("fraction") << "2.5" << 2.5;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("negative") << "-3" << -3.0;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("not a number") << "abc" << 0.0;
        QTest::newRow("blank") << " " << 0.0;
        QTest::newRow("sign alone") << "-" << 0.0;
        QTest::newRow("huge exponent") << "1e999" << 0.0;
    }
    void leadingNumber() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(LeadingNumber(text), value);
    }

    void halvesToEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rounded");
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("1.5") << 1.5 << 2.0;
        QTest::newRow("2.5") << 2.5 << 2.0;
        QTest::newRow("3.5") << 3.5 << 4.0;
        QTest::newRow("2.6") << 2.6 << 3.0;
        QTest::newRow("-2.5") << -2.5 << -2.0;
        QTest::newRow("254.5") << 254.5 << 254.0;
        QTest::newRow("255.5") << 255.5 << 256.0;
    }
    void halvesToEven() {
        QFETCH(double, value);
        QFETCH(double, rounded);
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
