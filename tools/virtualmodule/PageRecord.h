#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// Who a page record is for and where its page goes, as the capture asked.
struct PageRecordHeader {
    quint8 system = 0;
    quint8 subsystem = 0;
    quint16 serial = 0;
    quint8 mask = 0;  // high nibble: sub-system rule, low nibble: serial rule
    quint8 extra = 0; // "#1", carried but not read
    quint8 page = 0;
};

struct PlainPageRecord {
    PageRecordHeader header;
    QByteArray page; // 256 bytes
};

// The record a module makes of one page of its memory when asked for it
// encrypted, and takes back when told to program a page.
//
// In plain form it is Sys, ID, SerL, SerH, Mask, #1, page index, a check byte,
// then the 256 page bytes; the check byte is the complement of the sum of the
// other 263 bytes. All of it is scrambled with keystreams drawn from a family
// key that every module of one system shares: the header with a stream of the
// key alone, the page bytes with a stream of the key and the page index, so
// that a module learns the page index before it needs it. A record sealed by
// a module of another system opens to noise, which the check byte catches.
namespace PageRecord {
inline constexpr int kHeaderSize = 8;
inline constexpr int kPageSize = 256;
inline constexpr int kSize = kHeaderSize + kPageSize;

quint32 familyKey(quint8 system);
QByteArray seal(const PageRecordHeader& header, const QByteArray& page, quint32 key);
// Nothing when the check byte does not match.
std::optional<PlainPageRecord> open(const QByteArray& record, quint32 key);
} // namespace PageRecord
