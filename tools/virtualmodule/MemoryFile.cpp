#include "MemoryFile.h"

#include "ModuleModel.h"

#include <QFile>
#include <QSaveFile>

QString loadMemoryImage(const QString& path, ModuleModel& model) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    if (!model.setMemory(file.read(ModuleModel::kMemorySize + 1)))
        return QStringLiteral("%1 is larger than the module's %2 bytes")
            .arg(path)
            .arg(ModuleModel::kMemorySize);
    return {};
}

QString saveMemory(const QString& path, const ModuleModel& model) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(model.memory()) != model.memory().size() ||
        !file.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return {};
}
