#include "FileDialogs.h"

#include <QDir>

namespace FileDialogs {

QString localPath(const QString& windowsPath) {
#ifdef Q_OS_WIN
    return windowsPath;
#else
    QString relative = windowsPath;
    if (relative.size() >= 3 && relative[1] == QLatin1Char(':'))
        relative = relative.mid(3);
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::home().filePath(relative);
#endif
}

FileDialogSettings FirmwareFileSel() {
    FileDialogSettings s;
    s.filter = QStringLiteral("Firmware files Files (*.fw)|*.fw|All Files (*.*)|*.*");
    s.filterIndex = 1;
    s.defaultExtension = QStringLiteral("fw");
    s.fileMustExist = true;
    s.pathMustExist = true;
    s.initialFolder = localPath(QStringLiteral("C:\\Firmware"));
    return s;
}

FileDialogSettings FWFileSelect() {
    FileDialogSettings s;
    s.title = QStringLiteral("Encrypted Firmware File Select");
    s.initialFile = localPath(QStringLiteral("C:\\Firmware\\Encrypted.fw"));
    s.initialFolder = localPath(QStringLiteral("C:\\Firmware"));
    s.filter = QStringLiteral("Firmware Files (*.fw)|*.fw|All Files (*.*)|*.*");
    s.defaultExtension = QStringLiteral("fw");
    s.pathMustExist = true;
    s.confirmOverwrite = true;
    return s;
}

FileDialogSettings SerialDBFileSelect() {
    FileDialogSettings s;
    s.title = QStringLiteral("Serial Number Database File Select");
    s.initialFile = localPath(QStringLiteral("C:\\Bootloader\\Serials\\Default.ser"));
    s.initialFolder = localPath(QStringLiteral("C:\\Firmware"));
    s.filter = QStringLiteral("Serial No DB Files (*.ser)|*.ser|All Files (*.*)|*.*");
    s.defaultExtension = QStringLiteral("ser");
    s.pathMustExist = true;
    return s;
}

} // namespace FileDialogs
