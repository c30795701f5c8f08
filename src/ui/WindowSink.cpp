#include "WindowSink.h"

#include "BootAdmin.h"
#include "BootloaderMain.h"
#include "CommandExchange.h"
#include "Dialogs.h"

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

void WindowSink::watch(CommandExchange& exchange) {
    connect(&exchange, &CommandExchange::operationActiveChanged, this, [this](bool active) {
        Running = active;
        if (!active)
            flush();
    });
}

void WindowSink::status(StatusLines lines, const QString& text) {
    MainText = text;
    if (lines == StatusLines::Both)
        AdminText = text;
    changed();
}

void WindowSink::progress(Activity activity, int done, int total) {
    std::optional<std::pair<int, int>>& pending = activity == Activity::Programming ? Programming : Capture;
    pending = std::pair{done, total};
    // The first and the last step always show at once.
    if (done == 0 || done == total)
        flush();
    else
        changed();
}

void WindowSink::critical(const QString& title, const QString& text) {
    flush();
    Dlg.critical(title, text);
}

void WindowSink::changed() {
    if (Running && Pace.isActive()) {
        Dirty = true;
        return;
    }
    flush();
}

void WindowSink::flush() {
    Dirty = false;
    Pace.start();
    if (AdminText && Admin)
        Admin->UpdateStatusDisp(*AdminText);
    if (MainText && Main)
        Main->PutStatusMsg(*MainText);
    if (Programming && Main)
        Main->showProgress(Programming->first, Programming->second);
    if (Capture && Admin)
        Admin->showCaptureProgress(Capture->first, Capture->second);
    AdminText.reset();
    MainText.reset();
    Programming.reset();
    Capture.reset();
}
