#pragma once

#include <QProcess>
#include <QString>

// The virtual module in a process of its own, so that its work is not counted
// as the tool's. Its memory holds pseudo-random bytes (a master to capture).
class BenchModule {
public:
    BenchModule(const QString& folder, bool lineRate, int adapterLatencyMs, const QStringList& more = {});
    ~BenchModule();
    BenchModule(const BenchModule&) = delete;
    BenchModule& operator=(const BenchModule&) = delete;

    bool start();
    const QString& device() const { return Device; }

private:
    QString Folder;
    QStringList Arguments;
    QProcess Process;
    QString Device;
};
