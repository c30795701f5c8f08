#pragma once

#include "BenchStats.h"

#include <QString>

// The same exchanges as the tool's, with nothing but write, poll and read on
// the pseudo-terminal: what this machine can do at all.
CaseFigures referenceProgram(const QString& device, const QString& firmwareFile, int pages, bool lineRate);
CaseFigures referenceCapture(const QString& device, int pages, bool lineRate);
