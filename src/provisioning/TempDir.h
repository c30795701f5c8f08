#pragma once

#include <QString>

// The user's temporary folder (TMPDIR on Unix) with a trailing separator, or
// empty when there is no such folder.
QString GetTempDir();
