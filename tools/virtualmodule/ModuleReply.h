#pragma once

#include <QByteArray>
#include <QtGlobal>

// What the module answers to one command, before it goes on the line.
struct ModuleReply {
    enum class Kind { Accepted, Refused, Data };

    Kind kind = Kind::Accepted;
    quint8 code = 0; // data replies only
    QByteArray data; // data replies only

    static ModuleReply accepted() { return {}; }
    static ModuleReply refused() { return {Kind::Refused, 0, {}}; }
    static ModuleReply withData(quint8 code, const QByteArray& data) { return {Kind::Data, code, data}; }

    // The bytes on the line: 5A 5B, 5A AB, or 5A, code, data and checksum.
    QByteArray frame() const;
};

// The module's checksum: the sum of the bytes, modulo 256.
quint8 byteSum(const QByteArray& bytes);
