#pragma once

#include <QString>

#include <optional>

// How a file dialog is set up.
struct FileDialogSettings {
    QString title;
    QString initialFile;
    QString initialFolder;
    // Pairs of description and pattern separated by bars:
    // "Firmware Files (*.fw)|*.fw|All Files (*.*)|*.*".
    QString filter;
    int filterIndex = 1; // 1-based: the entry selected when the dialog opens
    QString defaultExtension;
    bool fileMustExist = false;
    // A name in a folder that does not exist is refused in the dialog.
    bool pathMustExist = false;
    bool confirmOverwrite = false;
};

// The modal dialogs the windows use. The application shows Qt's standard
// dialogs; tests answer them.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message with the critical-error icon.
    virtual void critical(const QString& title, const QString& text) = 0;
    // A one-line text entry; nothing when the operator cancels.
    virtual std::optional<QString> inputBox(const QString& title, const QString& prompt,
                                            const QString& initialText) = 0;
    // The chosen file, or an empty text when the operator cancels.
    virtual QString openFile(const FileDialogSettings& settings) = 0;
    virtual QString saveFile(const FileDialogSettings& settings) = 0;
};
