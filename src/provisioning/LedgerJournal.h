#pragma once

#include "DurableFiles.h"
#include "SerialLedger.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The ledger file that travels with a .ser file ("line1.ser.ledger"): a line
// for each serial number reserved for a unit before the unit is written, and
// one when that unit is logged or its reservation cancelled. Lines are only
// ever appended, each in one write synced to the disk, under the .ser file's
// lock. A reservation that is neither logged nor cancelled keeps its number
// spent: its module may hold it.
//
//   reserved<TAB>00042<TAB>2026-12-07T20:46:00Z<TAB>5A,01,0A,2A,00,00,00,00<TAB>bench3
//   /dev/ttyUSB0<TAB>app.fw logged<TAB>00042<TAB>2026-12-07T20:46:03Z
//   cancelled<TAB>00043<TAB>2026-12-07T20:47:10Z
namespace LedgerJournal {

QString pathFor(const QString& logPath);

struct Contents {
    // The file could not be read; empty when it was read or is not there.
    QString error;
    // Reserved and neither logged nor cancelled, in the order reserved.
    QList<Reservation> open;
    // Logged according to the ledger.
    SpentSerials logged;
};
Contents read(const QString& path);

QByteArray reservedLine(const Reservation& reservation);
QByteArray loggedLine(qint32 serial, const QDateTime& when);
QByteArray cancelledLine(qint32 serial, const QDateTime& when);

// Appends one line and waits until it is on the disk; a new ledger file gets
// a heading that says what it is. Empty on success, else the reason.
QString append(const QString& path, const QByteArray& line, const FileSystemCalls& calls = {});

} // namespace LedgerJournal
