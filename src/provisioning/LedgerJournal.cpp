#include "LedgerJournal.h"

#include "GeneralUtilities.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace LedgerJournal {

namespace {

constexpr char kReserved[] = "reserved";
constexpr char kLogged[] = "logged";
constexpr char kCancelled[] = "cancelled";

QByteArray serialText(qint32 serial) {
    return QByteArray::number(serial).rightJustified(5, '0');
}

QByteArray timeText(const QDateTime& when) {
    return when.toUTC().toString(Qt::ISODate).toLatin1();
}

// A field never holds the separators of the file.
QByteArray field(const QString& text) {
    QString clean = text;
    clean.replace(QRegularExpression(QStringLiteral("[\\t\\r\\n]")), QStringLiteral(" "));
    return clean.toUtf8();
}

QByteArray blockText(const IdBlock& block) {
    QStringList bytes;
    for (const qint16 value : block)
        bytes << GeneralUtilities::BytetoHexStr(value);
    return bytes.join(u',').toLatin1();
}

std::optional<IdBlock> blockOf(const QByteArray& text) {
    const QList<QByteArray> bytes = text.split(',');
    if (bytes.size() != 8)
        return std::nullopt;
    IdBlock block{};
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = GeneralUtilities::HexStrtoByte(QString::fromLatin1(bytes[static_cast<qsizetype>(i)]));
        if (block[i] == GeneralUtilities::kBadHex)
            return std::nullopt;
    }
    return block;
}

std::optional<qint32> serialOf(const QByteArray& text) {
    bool ok = false;
    const int serial = text.toInt(&ok);
    return ok && serial >= SpentSerials::kLowest && serial <= SpentSerials::kHighest ? std::optional(serial)
                                                                                     : std::nullopt;
}

QByteArray heading(const QString& path) {
    return "# Serial numbers reserved for units logged in " + field(QFileInfo(path).completeBaseName()) +
           ": each is spent from the moment it is reserved and never given again. This file travels with "
           "the .ser file; keep them together.\n";
}

} // namespace

QString pathFor(const QString& logPath) {
    return logPath + QStringLiteral(".ledger");
}

QByteArray reservedLine(const Reservation& r) {
    return QByteArray(kReserved) + '\t' + serialText(r.serial) + '\t' + timeText(r.reservedAt) + '\t' +
           blockText(r.block) + '\t' + field(r.station) + '\t' + field(r.firmware) + '\n';
}

QByteArray loggedLine(qint32 serial, const QDateTime& when) {
    return QByteArray(kLogged) + '\t' + serialText(serial) + '\t' + timeText(when) + '\n';
}

QByteArray cancelledLine(qint32 serial, const QDateTime& when) {
    return QByteArray(kCancelled) + '\t' + serialText(serial) + '\t' + timeText(when) + '\n';
}

Contents read(const QString& path) {
    Contents contents;
    QFile file(path);
    if (!file.exists())
        return contents;
    if (!file.open(QIODevice::ReadOnly)) {
        contents.error = file.errorString();
        return contents;
    }
    const QByteArray all = file.readAll();
    const auto forget = [&](qint32 serial) {
        contents.open.removeIf([serial](const Reservation& r) { return r.serial == serial; });
    };
    // A last line without its line end was cut short by a crash before its
    // sync returned: its unit was never written, and it is not taken.
    for (const QByteArray& line : all.left(all.lastIndexOf('\n') + 1).split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        const std::optional<qint32> serial = fields.size() >= 3 ? serialOf(fields[1]) : std::nullopt;
        if (!serial)
            continue; // the heading, a blank line, or a line nobody wrote
        if (fields[0] == kReserved && fields.size() == 6) {
            const std::optional<IdBlock> block = blockOf(fields[3]);
            forget(*serial);
            contents.open.append({*serial, QString::fromUtf8(fields[4]), QString::fromUtf8(fields[5]),
                                  block.value_or(IdBlock{}),
                                  QDateTime::fromString(QString::fromLatin1(fields[2]), Qt::ISODate)});
        } else if (fields[0] == kLogged) {
            forget(*serial);
            contents.logged.insert(*serial);
        } else if (fields[0] == kCancelled) {
            forget(*serial);
        }
    }
    return contents;
}

QString append(const QString& path, const QByteArray& line, const FileSystemCalls& calls) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return qt_error_string(errno);
    QString error;
    std::optional<qint64> size = sizeOfOpenFile(fd, &error);
    QByteArray bytes;
    if (size && *size == 0) {
        bytes = heading(path);
    } else if (size) {
        // A line cut short by a crash is ended first, so that it stays a line
        // of its own that nobody takes for a reservation.
        char last = '\n';
        if (::pread(fd, &last, 1, static_cast<off_t>(*size - 1)) == 1 && last != '\n')
            bytes = "\n";
    }
    bytes += line;
    if (size)
        error = appendDurably(fd, *size, bytes, calls);
    ::close(fd);
    if (error.isEmpty() && size && *size == 0)
        syncDirectoryOf(path);
    return error;
}

} // namespace LedgerJournal
