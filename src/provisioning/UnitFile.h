#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <array>
#include <optional>

// The eight ID-block bytes of a unit: Init, Sys, Sub, SerL, SerH, #1, #2, #3.
using UnitIDBlock = std::array<qint16, 8>;

// A unit file starts with the ID block as 16 upper-case hex digits without
// separators, followed by ";"; whatever comes after is ignored.
inline constexpr qsizetype kUnitFileBytes = 17;

// The ID block of a unit file, or nothing when the file is not one.
std::optional<UnitIDBlock> ParseUnitFile(QByteArrayView bytes);
