#pragma once

#include "BootAdmin.h"
#include "BootloaderApp.h"
#include "BootloaderMain.h"
#include "CommsLinkWindow.h"
#include "Controls.h"
#include "Dialogs.h"
#include "ModuleRig.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

// Dialogs answered by the test: input boxes take their answers from a queue
// (nothing = Cancel); everything asked is recorded.
class ScriptedDialogs : public Dialogs {
public:
    struct Question {
        QString title;
        QString prompt;
        QString initialText;
    };

    void Critical(const QString& title, const QString& text) override { criticals.append({title, text}); }
    std::optional<QString> InputBox(const QString& title, const QString& prompt,
                                    const QString& initialText) override {
        questions.append({title, prompt, initialText});
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
    QString OpenFile(const FileDialogSettings& settings) override {
        fileDialogs.append(settings.title);
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString SaveFile(const FileDialogSettings& settings) override { return OpenFile(settings); }

    QList<RecordingReporter::Critical> criticals;
    QList<Question> questions;
    QList<std::optional<QString>> answers;
    QStringList fileDialogs;
    QStringList files;
};

// The whole program on COM10 with a virtual module on the other side.
struct WindowRig {
    explicit WindowRig(bool admin = false) {
        QString error;
        if (!module.start(&error))
            qFatal("virtual module: %s", qPrintable(error));
        UnmapAllPorts();
        MapPort(10, module.devicePath());
        app = std::make_unique<BootloaderApp>(dialogs, BootloaderApp::Options{admin, FastTimings()});
        app->start();
    }

    BootloaderMain& main() { return app->mainWindow(); }
    BootAdmin& admin() { return app->adminWindow(); }
    CommsLinkWindow& comms() { return app->commsLinkWindow(); }

    template <typename T = QWidget> T* mainControl(const QString& name) { return find<T>(main(), name); }
    template <typename T = QWidget> T* adminControl(const QString& name) { return find<T>(admin(), name); }
    template <typename T = QWidget> T* commsControl(const QString& name) { return find<T>(comms(), name); }
    QString mainText(const QString& name) { return mainControl<QLabel>(name)->text(); }
    QString adminText(const QString& name) { return adminControl<QLabel>(name)->text(); }
    // Both status lines, main window first.
    QStringList statusLines() { return {mainText("Statustb"), adminText("Statustb")}; }

    template <typename T> static T* find(QWidget& window, const QString& name) {
        T* control = window.findChild<T*>(name);
        if (!control)
            qFatal("no control %s in %s", qPrintable(name), qPrintable(window.objectName()));
        return control;
    }

    ScriptedDialogs dialogs;
    VirtualModule module;
    std::unique_ptr<BootloaderApp> app;
};
