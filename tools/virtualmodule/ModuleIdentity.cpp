#include "ModuleIdentity.h"

ModuleIdBlock ModuleIdentity::idBlock() const {
    return {init,
            system,
            subsystem,
            static_cast<quint8>(serial & 0xFF),
            static_cast<quint8>(serial >> 8),
            idBytes[0],
            idBytes[1],
            idBytes[2]};
}

void ModuleIdentity::setIdBlock(const ModuleIdBlock& block) {
    init = block[0];
    system = block[1];
    subsystem = block[2];
    serial = static_cast<quint16>(block[4] << 8 | block[3]);
    idBytes = {block[5], block[6], block[7]};
}

QByteArray ModuleIdentity::replyData() const {
    QByteArray data;
    const auto put = [&data](quint8 b) { data.append(static_cast<char>(b)); };
    put(lastError);
    for (quint8 b : idBlock())
        put(b);
    put(blMinor);
    put(blMajor);
    put(appMinor);
    put(appMajor);
    for (quint8 b : cpuId)
        put(b);
    for (quint8 b : info)
        put(b);
    put(capabilities);
    return data;
}
