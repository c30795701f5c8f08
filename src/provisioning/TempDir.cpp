#include "TempDir.h"

#include <QDir>
#include <QFileInfo>

QString GetTempDir() {
    const QString path = QDir::tempPath();
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return {};
    const QString native = QDir::toNativeSeparators(QDir::cleanPath(path));
    return native.endsWith(QDir::separator()) ? native : native + QDir::separator();
}
