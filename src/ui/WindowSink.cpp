#include "WindowSink.h"

#include "BootAdmin.h"
#include "BootloaderMain.h"
#include "Dialogs.h"

void WindowSink::attach(BootloaderMain* main, BootAdmin* admin) {
    Main = main;
    Admin = admin;
}

void WindowSink::status(StatusLines lines, const QString& text) {
    if (lines == StatusLines::Both && Admin)
        Admin->UpdateStatusDisp(text);
    if (Main)
        Main->PutStatusMsg(text);
}

void WindowSink::critical(const QString& title, const QString& text) {
    Dlg.critical(title, text);
}

void WindowSink::progress(Activity activity, int done, int total) {
    if (activity == Activity::Programming && Main)
        Main->showProgress(done, total);
    else if (activity == Activity::Capture && Admin)
        Admin->showCaptureProgress(done, total);
}
