#pragma once

#include <QWidget>

#include <array>

class BootloaderCore;
class ClickableLabel;
class NumberEntry;
class QLabel;
class QPushButton;

// The admin window's "Target Firmware Encryption and Upload" frame: erase and
// wipe, and the capture of a master module's firmware.
class CapturePane : public QWidget {
    Q_OBJECT
public:
    CapturePane(BootloaderCore& core, NumberEntry& entry, QWidget* parent = nullptr);

private:
    BootloaderCore& Core;
    NumberEntry& Entry;
    QPushButton* WipeTgtcb = nullptr;
    QPushButton* Erasecb = nullptr;
    std::array<QPushButton*, 8> QuickSetcb{};
    QLabel* EncFwUploadProgresslb = nullptr;
    ClickableLabel* UploadPageslb = nullptr;
    std::array<ClickableLabel*, 6> EncIDlb{};
    QPushButton* StartEncFwUploadcb = nullptr;
    ClickableLabel* FWFileNamelb = nullptr;
};
