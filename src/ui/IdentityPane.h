#pragma once

#include "CoreAccess.h"

#include <QWidget>

#include <array>

class ClickableLabel;
class NumberEntry;
class QLabel;
class QPushButton;

// The admin window's "Target ID" frame: the module's full identity, the
// "Read" button and the application version editor.
class IdentityPane : public QWidget {
    Q_OBJECT
public:
    IdentityPane(CoreAccess core, NumberEntry& entry, QWidget* parent = nullptr);

private:
    void UpdateTargetIDPane();
    void AppVersionlb_Click();

    CoreAccess Core;
    NumberEntry& Entry;
    QPushButton* Readidcb = nullptr;
    ClickableLabel* AppVersionlb = nullptr;
    QLabel* BootloaderVersionlb = nullptr;
    std::array<QLabel*, 4> cpuidlb{};
    QLabel* Seriallb = nullptr;
    QLabel* SubSystemlb = nullptr;
    QLabel* Systemlb = nullptr;
    std::array<QLabel*, 8> TgtIDlb{};
};
