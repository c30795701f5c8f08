#pragma once

#include "CoreAccess.h"

#include <QWidget>

#include <array>

class ClickableLabel;
class NumberEntry;
class QLabel;
class QProgressBar;
class QPushButton;
class Dialogs;
struct FileDialogSettings;

// The admin window's "Target Firmware Encryption and Upload" frame: erase and
// wipe, and the capture of a master module's firmware.
class CapturePane : public QWidget {
    Q_OBJECT
public:
    CapturePane(CoreAccess core, NumberEntry& entry, Dialogs& dialogs, const FileDialogSettings& fileSelect,
                QWidget* parent = nullptr);

    // The progress label and bar: pages stored of the pages asked for.
    void UpdateUploadProgress(int stored, int total);

private:
    void UpdateFwUploadPane();
    void EncIDlb_Click(int Index);
    void UploadPageslb_Click();
    void QuickSetcb_Click(int Index);
    void FWFileNamelb_Click();

    CoreAccess Core;
    NumberEntry& Entry;
    Dialogs& Dlg;
    const FileDialogSettings& FWFileSelect;
    QProgressBar* UploadProgressbar = nullptr;
    QPushButton* WipeTgtcb = nullptr;
    QPushButton* Erasecb = nullptr;
    std::array<QPushButton*, 8> QuickSetcb{};
    QLabel* EncFwUploadProgresslb = nullptr;
    ClickableLabel* UploadPageslb = nullptr;
    std::array<ClickableLabel*, 6> EncIDlb{};
    QPushButton* StartEncFwUploadcb = nullptr;
    ClickableLabel* FWFileNamelb = nullptr;
};
