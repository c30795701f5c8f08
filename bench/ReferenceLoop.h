#pragma once

#include "BenchStats.h"

#include <QString>

// The same exchanges as the tool's, with nothing but write, poll and read on
// the pseudo-terminal: what this machine can do at all.
CaseFigures referenceProgram(const QString& device, const QString& firmwareFile, int pages, bool lineRate);
// The capture also writes each page to `storeFile`, one write a page.
CaseFigures referenceCapture(const QString& device, const QString& storeFile, int pages, bool lineRate);
