#pragma once

#include <QElapsedTimer>
#include <QtTest>

// A two-sided time bound, with the value shown when it fails.
#define QVERIFY_BETWEEN(value, low, high)                                                                    \
    do {                                                                                                     \
        const auto measured = (value);                                                                       \
        QVERIFY2(measured >= (low) && measured < (high), qPrintable(QString::number(measured)));             \
    } while (false)

// A table of one column "row" of a struct with a `name`: one test row per element.
template <typename Row> void addRows(std::initializer_list<Row> rows) {
    QTest::addColumn<Row>("row");
    for (const Row& row : rows)
        QTest::newRow(row.name) << row;
}

// A table written as text, one "name | field | field ..." line a test row;
// the one blank on either side of a "|" is not part of the field.
inline void addRows(std::initializer_list<const char*> rows) {
    QTest::addColumn<QStringList>("row");
    for (const char* row : rows) {
        QStringList fields = QString::fromUtf8(row).split(u'|');
        for (QString& field : fields) {
            if (field.startsWith(u' '))
                field.remove(0, 1);
            if (field.endsWith(u' '))
                field.chop(1);
        }
        QTest::newRow(qPrintable(fields[0])) << fields.mid(1);
    }
}
// The fields of the current text row after its name; missing ones are empty.
template <size_t N> std::array<QString, N> fields() {
    const auto& row = *static_cast<const QStringList*>(QTest::qData("row", qMetaTypeId<QStringList>()));
    std::array<QString, N> fields;
    for (size_t i = 0; i < N; ++i)
        fields[i] = row.value(static_cast<qsizetype>(i));
    return fields;
}

// The fields of the current text row after its name, as written.
inline QString rowText() {
    return static_cast<const QStringList*>(QTest::qData("row", qMetaTypeId<QStringList>()))->join(" | ");
}

// Values as text joined by " | ", so that several are compared at once.
inline QString text(const char* text) {
    return QString::fromUtf8(text);
}
template <typename T> QString text(const T& value) {
    return QVariant::fromValue(value).toString();
}
template <typename... T> QString join(const T&... values) {
    return QStringList{text(values)...}.join(QStringLiteral(" | "));
}

// Milliseconds that `work` took.
template <typename F> qint64 msToRun(F&& work) {
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.elapsed();
}
