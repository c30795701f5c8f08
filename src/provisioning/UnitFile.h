#pragma once

#include "IdBlock.h"

#include <QByteArrayView>

#include <QtGlobal>

#include <array>
#include <optional>

// A unit file starts with the ID block as 16 upper-case hex digits without
// separators, followed by ";"; whatever comes after is ignored.
inline constexpr qsizetype kUnitFileBytes = 17;

// The ID block of a unit file, or nothing when the file is not one.
std::optional<IdBlock> parseUnitFile(QByteArrayView bytes);
