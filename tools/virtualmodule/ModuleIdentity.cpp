#include "ModuleIdentity.h"

QByteArray ModuleIdentity::replyData() const {
    QByteArray data;
    const auto put = [&data](quint8 b) { data.append(static_cast<char>(b)); };
    put(lastError);
    put(init);
    put(system);
    put(subsystem);
    put(static_cast<quint8>(serial & 0xFF));
    put(static_cast<quint8>(serial >> 8));
    for (quint8 b : idBytes)
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
