#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

// The eight ID block bytes in the module's order: Init, Sys, Sub, SerL, SerH, #1, #2, #3.
using ModuleIdBlock = std::array<quint8, 8>;

// What the virtual module says about itself in its identity reply.
struct ModuleIdentity {
    quint8 lastError = 0;
    quint8 init = 0x5A;
    quint8 system = 1;
    quint8 subsystem = 10;
    quint16 serial = 4660;
    std::array<quint8, 3> idBytes{};
    quint8 blMajor = 1;
    quint8 blMinor = 5;
    quint8 appMajor = 2;
    quint8 appMinor = 7;
    std::array<quint8, 4> cpuId{};
    // Information bytes 0..9; byte 10 is the capability byte.
    std::array<quint8, 10> info{};
    quint8 capabilities = 3;

    // The ID block is not stored apart: it is these fields, so that the
    // identity reply always reports what the block holds.
    ModuleIdBlock idBlock() const;
    void setIdBlock(const ModuleIdBlock& block);

    // The 28 data bytes of the identity reply, in reply order.
    QByteArray replyData() const;
};
