#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

// Outgoing message: element 0 is the command code, elements 1.. the data bytes,
// one byte per element; only the low byte of each element goes on the line.
using OutMsg = std::array<qint16, 401>;
// Received frame: element 0 is the reply code, then the data bytes, then the
// checksum.
using RxMsg = std::array<qint16, 301>;

namespace Frame {
inline constexpr quint8 kSync = 0x5A;

// Command codes.
inline constexpr qint16 kRequestIdentity = 16;
inline constexpr qint16 kEraseFlash = 17;
inline constexpr qint16 kProgramPage = 18;
inline constexpr qint16 kEraseAndProgramPage = 25; // erase and write one page
inline constexpr qint16 kWriteIdBlock = 19;
inline constexpr qint16 kRequestEncryptedPage = 20;
inline constexpr qint16 kRestoreSerialBackup = 23;
inline constexpr qint16 kWipeDevice = 26;
inline constexpr qint16 kRestart = 27;
inline constexpr qint16 kRestartIntoBootloader = 3;
inline constexpr qint16 kRestartIntoBootloaderData = 254;

// Reply codes.
inline constexpr quint8 kIdentityReply = 32;
inline constexpr quint8 kEncryptedPageReply = 33;
inline constexpr quint8 kAccepted = 91;
inline constexpr quint8 kRefused = 171;

// Frame lengths after the sync byte (code + data + checksum).
inline constexpr int kIdentityReplyLength = 30;
inline constexpr int kEncryptedPageReplyLength = 266;

// Largest BytesToSend the buffer allows: elements 0..BytesToSend-2 must exist.
inline constexpr int kMaxBytesToSend = static_cast<int>(std::tuple_size_v<OutMsg>) + 1;

// The bytes of one command frame: sync, code, data, checksum. Empty when
// BytesToSend is below 2 or beyond the buffer.
QByteArray encode(const OutMsg& message, int bytesToSend);
} // namespace Frame
