#include "ModuleRig.h"

#include "PortMap.h"

#include <QtTest>

#include <sys/resource.h>

void UnmapAllPorts() {
    for (int port = PortMap::kFirstPort; port <= PortMap::kLastPort; ++port)
        MapPort(port, QStringLiteral("/nonexistent/merlax-test-com%1").arg(port));
}

void MapPort(int port, const QString& device) {
    qputenv(PortMap::OverrideVariable(port).toLatin1().constData(), device.toLocal8Bit());
}

LinkTimings FastTimings() {
    LinkTimings timings;
    timings.replyTimeoutMs = 250;
    timings.resetBaudDelayMs = 60;
    timings.pageTimeoutMs = 300;
    return timings;
}

ModuleIdentity SampleIdentity() {
    ModuleIdentity id;
    id.lastError = 9;
    id.init = 0x5A;
    id.system = 1;
    id.subsystem = 10;
    id.serial = 4660;
    id.idBytes = {0x11, 0x22, 0x33};
    id.blMajor = 1;
    id.blMinor = 5;
    id.appMajor = 2;
    id.appMinor = 7;
    id.cpuId = {30, 31, 32, 33};
    id.info = {'A', 'B', 'C', '1', '2', '3', 0xC1, 0xC2, 0xC3, 0xC4};
    id.capabilities = 3;
    return id;
}

bool CanHangUpLines() {
    VirtualModule scratch;
    return scratch.start() && scratch.hangUp();
}

double CpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + t.tv_usec / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

OutMsg Message(std::initializer_list<qint16> elements) {
    OutMsg m{};
    std::copy(elements.begin(), elements.end(), m.begin());
    return m;
}

ModuleRig::ModuleRig(LinkTimings timings) {
    QString error;
    if (!module.start(&error))
        qFatal("virtual module: %s", qPrintable(error));
    UnmapAllPorts();
    MapPort(CommsLink::kStartPort, module.devicePath());
    core = std::make_unique<BootloaderCore>(reporter, timings);
    core->start();
}

QStringList ModuleRig::heard() const {
    QStringList frames;
    for (const VirtualModule::HeardFrame& frame : module.heardFrames())
        frames << QString::fromLatin1(frame.bytes.toHex(' '));
    return frames;
}
