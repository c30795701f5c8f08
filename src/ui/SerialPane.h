#pragma once

#include <QWidget>

#include <array>

class BootloaderCore;
class ClickableLabel;
class NumberEntry;
class QLineEdit;
class QPushButton;

// The admin window's "Serial Number Allocation" frame.
class SerialPane : public QWidget {
    Q_OBJECT
public:
    SerialPane(BootloaderCore& core, NumberEntry& entry, QWidget* parent = nullptr);

private:
    BootloaderCore& Core;
    NumberEntry& Entry;
    QPushButton* ProgAllcb = nullptr;
    QLineEdit* Memolb = nullptr;
    QPushButton* AutoProgramSerialNocb = nullptr;
    ClickableLabel* NewSeriallb = nullptr;
    QPushButton* ProgramSerialNocb = nullptr;
    ClickableLabel* SerialDBFileNamelb = nullptr;
    std::array<ClickableLabel*, 8> SetSeriallb{};
};
