#pragma once

#include <QtGlobal>

#include <array>

// A "Quick Set" preset of the capture: its button, and the header values and
// page count it loads. The "#1" header byte is never changed by a preset.
struct CapturePreset {
    const char* caption; // empty: the button has none
    const char* toolTip; // empty: none
    bool changes;        // false: the preset only redraws the pane
    // SerL and SerH come from the highest serial number the operator is asked
    // for; the other presets clear them.
    bool asksMaxSerial;
    qint16 sys, id, mask;
    int pages;
};

inline constexpr std::array<CapturePreset, 8> kCapturePresets{{
    {"Solvane", "Standard Solvane", true, true, 1, 10, 0x22, 120},
    {"Stabrix Solvane", "Solvane hosting Stabrix Software", true, false, 1, 15, 0x10, 120},
    {"Cuedeck", "", true, false, 16, 1, 0xF0, 120},
    {"Stabrix", "Brushless Motor Drive module (5A)", true, false, 8, 0, 0x00, 120},
    {"SysC", "", true, false, 3, 1, 0xF0, 256},
    {"FltC", "", true, false, 3, 2, 0xF0, 256},
    {"", "Brushless Motor Drive module (5A)", false, false, 0, 0, 0, 0},
    {"BLD (Dual)", "Brushless Motor Drive module (5A)", true, false, 17, 1, 0xF0, 120},
}};
