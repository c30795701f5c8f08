#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// What a capture is asked for: the header that names the modules the firmware
// is for, how many pages, and the file. The operator's entries are checked
// here, the one place their limits live; a value outside them leaves the
// setting as it was.
struct CaptureSettings {
    static constexpr int kLowestPages = 1;
    static constexpr int kHighestPages = 256;
    static constexpr int kHeaderBytes = 6;
    // The highest serial number a preset asks for: the header carries it in
    // 16 bits, and the operator enters it as a signed 16-bit number.
    static constexpr int kHighestMaxSerial = 32767;

    // Sys, ID, SerL, SerH, Mask, #1 (elements 6 and 7 are not used).
    using Header = std::array<qint16, 8>;
    Header header{1, 11, 0, 0, 0x22, 0, 0, 0};
    int pages = 120;
    // Empty until the operator chooses one.
    QString file;

    // Header bytes 0..5 take 0..255; pages 1..256.
    bool enterHeaderByte(int index, double value);
    bool enterPages(double value);
    // A "Quick Set" preset (kCapturePresets). `maxSerial` serves the preset
    // that asks for it and must lie in 0..32767; false, changing nothing,
    // when it does not.
    bool quickSet(int index, double maxSerial = 0);
    // ".fw" is added to a path without any "." (a dot in a folder's name
    // counts too). An empty choice (Cancel) keeps the previous file.
    void chooseFile(const QString& path);

    bool operator==(const CaptureSettings&) const = default;
};
