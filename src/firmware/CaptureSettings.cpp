#include "CaptureSettings.h"

#include "CapturePresets.h"
#include "OperatorNumber.h"

bool CaptureSettings::enterHeaderByte(int index, double value) {
    const auto v = OperatorNumber::wholeInRange(value, 0, 255);
    if (!v || index < 0 || index >= kHeaderBytes)
        return false;
    header[static_cast<size_t>(index)] = static_cast<qint16>(*v);
    return true;
}

bool CaptureSettings::enterPages(double value) {
    const auto v = OperatorNumber::wholeInRange(value, kLowestPages, kHighestPages);
    if (v)
        pages = *v;
    return v.has_value();
}

bool CaptureSettings::quickSet(int index, double maxSerial) {
    if (index < 0 || index >= static_cast<int>(kCapturePresets.size()))
        return false;
    const CapturePreset& p = kCapturePresets[static_cast<size_t>(index)];
    const auto serial = p.asksMaxSerial ? OperatorNumber::wholeInRange(maxSerial, 0, kHighestMaxSerial) : 0;
    if (!serial)
        return false;
    if (p.changes) {
        header[0] = p.sys;
        header[1] = p.id;
        header[2] = static_cast<qint16>(*serial & 0xFF);
        header[3] = static_cast<qint16>((*serial >> 8) & 0xFF);
        header[4] = p.mask;
        pages = p.pages;
    }
    return true;
}

void CaptureSettings::chooseFile(const QString& path) {
    if (!path.isEmpty())
        file = path.contains(QLatin1Char('.')) ? path : path + QStringLiteral(".fw");
}
