// MERLAX Bootloader 1.3. One command-line option: --admin lets the Ctrl-click
// on the main window's system label open the admin window (for production
// stations).

#include "BootloaderApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return runBootloader();
}
