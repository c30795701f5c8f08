// What it costs to make one serial-number record durable: each append is one
// write of 100 bytes followed by fsync, timed on its own. The file goes to the
// directory given as the first argument (default: the current directory), so
// the figure is for that disk.

#include "SerialDatabase.h"
#include "SerialRecord.h"
#include "TargetIdentity.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString where = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    constexpr int kRecords = 100;

    QTemporaryDir dir(where + QStringLiteral("/bench-serial-XXXXXX"));
    SerialDatabase database;
    if (!dir.isValid() || database.open(dir.filePath(QStringLiteral("bench.ser"))).failed) {
        std::fprintf(stderr, "cannot create a database file in %s\n", qPrintable(where));
        return 1;
    }

    const TargetIdentity identity;
    std::vector<double> milliseconds;
    QElapsedTimer clock;
    for (int serial = 1; serial <= kRecords; ++serial) {
        const QByteArray record =
            buildSerialRecord(static_cast<quint16>(serial), {0x5A, 1, 1}, identity, QStringLiteral("bench"),
                              QDateTime::currentDateTime(), {});
        clock.start();
        if (!database.append(record)) {
            std::fprintf(stderr, "append failed: %s\n", qPrintable(database.errorString()));
            return 1;
        }
        milliseconds.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }

    std::sort(milliseconds.begin(), milliseconds.end());
    const auto at = [&](double quantile) {
        return milliseconds[static_cast<size_t>(quantile * (kRecords - 1))];
    };
    std::printf("durable record append in %s: median %.3f ms, p90 %.3f ms, max %.3f ms (%d records)\n",
                qPrintable(dir.path()), at(0.5), at(0.9), milliseconds.back(), kRecords);
    return 0;
}
