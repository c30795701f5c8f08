#include "WindowReporter.h"

#include "BootAdmin.h"
#include "BootloaderMain.h"
#include "Dialogs.h"

void WindowReporter::attach(BootloaderMain* main, BootAdmin* admin) {
    Main = main;
    Admin = admin;
}

void WindowReporter::ShowCritical(const QString& title, const QString& text) {
    Dlg.Critical(title, text);
}

void WindowReporter::UpdateStatusDisp(const QString& text) {
    if (Admin)
        Admin->showStatus(text);
    if (Main)
        Main->PutStatusMsg(text);
}

void WindowReporter::PutStatusMsg(const QString& text) {
    if (Main)
        Main->PutStatusMsg(text);
}
