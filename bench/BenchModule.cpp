#include "BenchModule.h"

#include "ModuleModel.h"

#include <QDir>
#include <QFile>

BenchModule::BenchModule(const QString& folder, bool lineRate, int adapterLatencyMs, const QStringList& more)
    : Folder(folder) {
    const QString image = QDir(folder).filePath(QStringLiteral("master.bin"));
    QFile file(image);
    if (file.open(QIODevice::WriteOnly))
        file.write(randomMemory(2026));
    Arguments << QStringLiteral("--system") << QStringLiteral("1") << QStringLiteral("--subsystem")
              << QStringLiteral("10") << QStringLiteral("--image") << image;
    if (lineRate)
        Arguments << QStringLiteral("--line-rate");
    if (adapterLatencyMs > 0)
        Arguments << QStringLiteral("--adapter-latency-ms") << QString::number(adapterLatencyMs);
    Arguments << more;
}

BenchModule::~BenchModule() {
    if (Process.state() != QProcess::NotRunning) {
        Process.terminate();
        if (!Process.waitForFinished(3000))
            Process.kill();
        Process.waitForFinished(3000);
    }
}

bool BenchModule::start() {
    Process.setReadChannel(QProcess::StandardOutput);
    Process.start(QStringLiteral(MERLAX_VIRTUAL_MODULE), Arguments);
    if (!Process.waitForStarted(5000))
        return false;
    // The module prints the device it plays on, then serves it.
    while (!Process.canReadLine())
        if (!Process.waitForReadyRead(5000))
            return false;
    Device = QString::fromLocal8Bit(Process.readLine()).trimmed();
    return !Device.isEmpty();
}
