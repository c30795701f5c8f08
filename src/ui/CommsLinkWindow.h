#pragma once

#include "CoreAccess.h"

#include <QWidget>

#include <array>

class QLabel;
class QPushButton;
class QRadioButton;

// The "Comms Link" window: the port buttons 1..18 and the scan.
class CommsLinkWindow : public QWidget {
    Q_OBJECT
public:
    explicit CommsLinkWindow(CoreAccess core, QWidget* parent = nullptr);

protected:
    // The close box only hides the window; the port stays open.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CommsPortob_Click(int Index);
    void RescanCOMportscb_Click();
    void showScanResult();
    void updateDeviceToolTips();
    void showSelectedPort();

    CoreAccess Core;
    std::array<QRadioButton*, 18> CommsPortob{};
    QPushButton* RescanCOMportscb = nullptr;
    QLabel* ScanMsglb = nullptr;
};
