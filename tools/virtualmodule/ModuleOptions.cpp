#include "ModuleOptions.h"

#include "MemoryFile.h"
#include "VirtualModule.h"

#include <QCommandLineParser>

namespace {
// Reads "a,b,c" into byte values; false when a value is not 0..255 or the count differs.
template <size_t N> bool readBytes(const QString& text, std::array<quint8, N>& out, bool exactCount = true) {
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.size() > static_cast<qsizetype>(N) || (exactCount && parts.size() != static_cast<qsizetype>(N)))
        return false;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const uint v = parts[i].trimmed().toUInt(&ok, 0);
        if (!ok || v > 255)
            return false;
        out[static_cast<size_t>(i)] = static_cast<quint8>(v);
    }
    return true;
}

bool readByte(const QString& text, quint8& out) {
    std::array<quint8, 1> one{};
    if (!readBytes(text, one))
        return false;
    out = one[0];
    return true;
}

bool readVersion(const QString& text, quint8& major, quint8& minor) {
    const QStringList parts = text.split(QLatin1Char('.'));
    return parts.size() == 2 && readByte(parts[0], major) && readByte(parts[1], minor);
}

bool readCount(const QString& text, int& out) {
    bool ok = false;
    const int value = text.toInt(&ok, 0);
    if (!ok || value < 0)
        return false;
    out = value;
    return true;
}

bool readCodes(const QString& text, QSet<int>& out) {
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int code = part.trimmed().toInt(&ok, 0);
        if (!ok || code < 0 || code > 255)
            return false;
        out.insert(code);
    }
    return true;
}
} // namespace

QString applyModuleOptions(const QStringList& arguments, VirtualModule& module, ModuleStartOptions& start) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays a module's bootloader on a pseudo-terminal and prints the device the tool should open."));
    parser.addHelpOption();
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Make a symbolic link to the device."),
                                  QStringLiteral("path"));
    const QCommandLineOption system(QStringLiteral("system"), QStringLiteral("System ID (default 1)."),
                                    QStringLiteral("n"));
    const QCommandLineOption subsystem(QStringLiteral("subsystem"),
                                       QStringLiteral("Sub-system ID (default 10)."), QStringLiteral("n"));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("Serial number 0..65535 (default 4660)."),
                                    QStringLiteral("n"));
    const QCommandLineOption init(QStringLiteral("init"), QStringLiteral("ID block init byte (default 90)."),
                                  QStringLiteral("n"));
    const QCommandLineOption idBytes(QStringLiteral("id-bytes"), QStringLiteral("ID bytes #1,#2,#3."),
                                     QStringLiteral("a,b,c"));
    const QCommandLineOption blVersion(QStringLiteral("bl-version"),
                                       QStringLiteral("Bootloader version (default 1.5)."),
                                       QStringLiteral("major.minor"));
    const QCommandLineOption appVersion(QStringLiteral("app-version"),
                                        QStringLiteral("Application version (default 2.7)."),
                                        QStringLiteral("major.minor"));
    const QCommandLineOption lastError(QStringLiteral("last-error"),
                                       QStringLiteral("Last error code (default 0)."), QStringLiteral("n"));
    const QCommandLineOption cpuId(QStringLiteral("cpu-id"), QStringLiteral("Four processor values."),
                                   QStringLiteral("a,b,c,d"));
    const QCommandLineOption info(QStringLiteral("info"), QStringLiteral("Up to ten information bytes."),
                                  QStringLiteral("a,b,..."));
    const QCommandLineOption capabilities(
        QStringLiteral("capabilities"), QStringLiteral("Capability bits (default 3)."), QStringLiteral("n"));
    const QCommandLineOption refuse(QStringLiteral("refuse"), QStringLiteral("Refuse these command codes."),
                                    QStringLiteral("codes"));
    const QCommandLineOption silent(QStringLiteral("no-reply"),
                                    QStringLiteral("Never answer these command codes."),
                                    QStringLiteral("codes"));
    const QCommandLineOption badChecksum(QStringLiteral("bad-checksum"),
                                         QStringLiteral("Send data replies with a wrong checksum."));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Send stray bytes 00 FF 13 before every reply."));
    const QCommandLineOption pause(QStringLiteral("pause-ms"), QStringLiteral("Pause inside every reply."),
                                   QStringLiteral("ms"));
    const QCommandLineOption delay(QStringLiteral("delay-ms"),
                                   QStringLiteral("Answer every command this much later."),
                                   QStringLiteral("ms"));
    const QCommandLineOption stopAfter(
        QStringLiteral("stop-after"), QStringLiteral("Answer only the first N frames."), QStringLiteral("n"));
    const QCommandLineOption lineRate(
        QStringLiteral("line-rate"), QStringLiteral("Send and hear bytes at the pace of a 115200 8N1 line."));
    const QCommandLineOption adapterLatency(
        QStringLiteral("adapter-latency-ms"),
        QStringLiteral("Hold every byte back this much more, as a USB serial adapter's latency timer does."),
        QStringLiteral("ms"));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("Plan a fault for the N-th frame of a command code (N counted from 1, * for every "
                       "frame); KIND is no-reply, refuse, bad-checksum, garbage, pause=MS, delay=MS, "
                       "double-ack or hang-up. Give it once per fault, e.g. --fault 18:5:no-reply."),
        QStringLiteral("code:N:kind"));
    const QCommandLineOption application(QStringLiteral("application"),
                                         QStringLiteral("Start as the running application."));
    const QCommandLineOption image(QStringLiteral("image"),
                                   QStringLiteral("Load program memory from a raw binary file of up to "
                                                  "65536 bytes; the rest stays erased (FF)."),
                                   QStringLiteral("file"));
    const QCommandLineOption saveMemory(
        QStringLiteral("save-memory"),
        QStringLiteral("Write the 65536 bytes of program memory to this file after every command that "
                       "changes them, and at exit."),
        QStringLiteral("file"));
    const QCommandLineOption idLocked(QStringLiteral("id-locked"),
                                      QStringLiteral("Refuse to write the ID block (error 7)."));
    parser.addOptions({link,       system,     subsystem,      serial,  init,        idBytes,
                       blVersion,  appVersion, lastError,      cpuId,   info,        capabilities,
                       refuse,     silent,     badChecksum,    garbage, pause,       delay,
                       stopAfter,  lineRate,   adapterLatency, fault,   application, image,
                       saveMemory, idLocked});
    if (!parser.parse(arguments))
        return parser.errorText();
    if (parser.isSet(QStringLiteral("help")))
        return parser.helpText();

    ModuleIdentity& id = module.identity;
    ModuleFaults& faults = module.faults;
    const auto bad = [](const QCommandLineOption& o) {
        return QStringLiteral("bad value for --%1").arg(o.names().first());
    };

    if (parser.isSet(system) && !readByte(parser.value(system), id.system))
        return bad(system);
    if (parser.isSet(subsystem) && !readByte(parser.value(subsystem), id.subsystem))
        return bad(subsystem);
    if (parser.isSet(init) && !readByte(parser.value(init), id.init))
        return bad(init);
    if (parser.isSet(lastError) && !readByte(parser.value(lastError), id.lastError))
        return bad(lastError);
    if (parser.isSet(capabilities) && !readByte(parser.value(capabilities), id.capabilities))
        return bad(capabilities);
    if (parser.isSet(idBytes) && !readBytes(parser.value(idBytes), id.idBytes))
        return bad(idBytes);
    if (parser.isSet(cpuId) && !readBytes(parser.value(cpuId), id.cpuId))
        return bad(cpuId);
    if (parser.isSet(info) && !readBytes(parser.value(info), id.info, false))
        return bad(info);
    if (parser.isSet(blVersion) && !readVersion(parser.value(blVersion), id.blMajor, id.blMinor))
        return bad(blVersion);
    if (parser.isSet(appVersion) && !readVersion(parser.value(appVersion), id.appMajor, id.appMinor))
        return bad(appVersion);
    if (parser.isSet(refuse) && !readCodes(parser.value(refuse), faults.refused))
        return bad(refuse);
    if (parser.isSet(silent) && !readCodes(parser.value(silent), faults.unanswered))
        return bad(silent);
    faults.badChecksum = parser.isSet(badChecksum);
    if (parser.isSet(garbage))
        faults.garbage = QByteArray::fromHex("00FF13");
    if (parser.isSet(pause) && !readCount(parser.value(pause), faults.pauseMs))
        return bad(pause);
    if (parser.isSet(delay) && !readCount(parser.value(delay), faults.replyDelayMs))
        return bad(delay);
    if (parser.isSet(stopAfter) && !readCount(parser.value(stopAfter), faults.stopAfterFrames))
        return bad(stopAfter);
    if (parser.isSet(serial)) {
        int value = 0;
        if (!readCount(parser.value(serial), value) || value > 65535)
            return bad(serial);
        id.serial = static_cast<quint16>(value);
    }
    faults.lineRate = parser.isSet(lineRate);
    if (parser.isSet(adapterLatency) && !readCount(parser.value(adapterLatency), faults.adapterLatencyMs))
        return bad(adapterLatency);
    for (const QString& text : parser.values(fault)) {
        const auto planned = parseFaultPlan(text);
        if (!planned)
            return QStringLiteral("bad value for --fault: %1").arg(text);
        faults.plan(*planned);
    }
    if (parser.isSet(image)) {
        QString problem = loadMemoryImage(parser.value(image), module.model());
        if (!problem.isEmpty())
            return problem;
    }
    module.model().setIdLocked(parser.isSet(idLocked));
    module.setInApplication(parser.isSet(application));
    start.symlink = parser.value(link);
    start.memoryFile = parser.value(saveMemory);
    return {};
}
