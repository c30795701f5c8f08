#include "WindowSink.h"

#include "BootAdmin.h"
#include "BootloaderMain.h"
#include "CoreView.h"
#include "Dialogs.h"

#include <utility>

namespace {
constexpr int kPaceMs = 100;
} // namespace

WindowSink::WindowSink(Dialogs& dialogs) : Dlg(dialogs) {
    Pace.setSingleShot(true);
    Pace.setInterval(kPaceMs);
    connect(&Pace, &QTimer::timeout, this, [this] {
        if (Dirty)
            flush();
    });
}

void WindowSink::attach(BootloaderMain* main, BootAdmin* admin) {
    Main = main;
    Admin = admin;
}

void WindowSink::changed(Change what) {
    if (what == Change::OperationRunning && View) {
        Running = View->operationRunning();
        if (!Running)
            flush();
    }
    emit coreChanged(what);
}

void WindowSink::status(StatusLines lines, const QString& text) {
    MainText = text;
    if (lines == StatusLines::Both)
        AdminText = text;
    showSoon();
}

void WindowSink::progress(Activity activity, int done, int total) {
    std::optional<std::pair<int, int>>& pages = activity == Activity::Programming ? Programming : Capture;
    pages = std::pair{done, total};
    // The first and the last step always show at once.
    if (done == 0 || done == total)
        flush();
    else
        showSoon();
}

void WindowSink::critical(const QString& title, const QString& text) {
    flush();
    Dlg.critical(title, text);
}

void WindowSink::showSoon() {
    if (Running && Pace.isActive()) {
        Dirty = true;
        return;
    }
    flush();
}

void WindowSink::flush() {
    Dirty = false;
    Pace.start();
    // Each pending value is shown once and then forgotten.
    if (const auto text = std::exchange(AdminText, std::nullopt); text && Admin)
        Admin->UpdateStatusDisp(*text);
    if (const auto text = std::exchange(MainText, std::nullopt); text && Main)
        Main->PutStatusMsg(*text);
    if (const auto pages = std::exchange(Programming, std::nullopt); pages && Main)
        Main->showProgress(pages->first, pages->second);
    if (const auto pages = std::exchange(Capture, std::nullopt); pages && Admin)
        Admin->showCaptureProgress(pages->first, pages->second);
}
