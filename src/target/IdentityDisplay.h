#pragma once

#include <QString>

#include <array>

struct TargetIdentity;

// The texts both windows show for a module's identity.
struct IdentityDisplay {
    std::array<QString, 8> idBlock; // "$5A", "$01", ... for Init, Sys, Sub, SerL, SerH, #1, #2, #3
    QString serialNo;               // decimal
    QString system;                 // SystemIDtoStr
    QString subSystem;              // SubSystemIDtoStr
    std::array<QString, 4> cpuId;   // decimal
    QString bootloaderVersion;      // "1:05[03]": major, minor, capability byte
    QString appVersion;             // "2:07"
    QString mainSystem;             // "Solvane : PWM (FF)"
    QString printedSerial;          // GetSerialStr
    QString lastError;              // ErrorCodetoStr
};

IdentityDisplay displayIdentity(const TargetIdentity& identity);

// "2.07": a firmware file's version.
QString firmwareVersionText(qint16 major, qint16 minor);
