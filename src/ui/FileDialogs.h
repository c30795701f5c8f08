#pragma once

#include "Dialogs.h"

// The three file dialogs of the tool. Their folders are Windows paths on
// Windows and the same names under the home folder elsewhere
// (~/Firmware, ~/Bootloader/Serials/Default.ser).
namespace FileDialogs {
// Main window: the firmware file to load.
FileDialogSettings FirmwareFileSel();
// Admin window: the file a captured firmware is written to.
FileDialogSettings FWFileSelect();
// Admin window: the serial-number database.
FileDialogSettings SerialDBFileSelect();
// "C:\Firmware\Encrypted.fw" as a path on this platform.
QString localPath(const QString& windowsPath);
} // namespace FileDialogs
