#pragma once

#include "Dialogs.h"

#include <QPointer>
#include <QWidget>

// The dialogs as Qt's standard message box, input dialog and file dialogs.
class QtDialogs : public Dialogs {
public:
    // The window a dialog opens over when no window of the program is active
    // (a message that comes while the operator works elsewhere); otherwise
    // it opens over the window the operator works in.
    void setParentWindow(QWidget* parent) { Parent = parent; }

    void critical(const QString& title, const QString& text) override;
    std::optional<QString> inputBox(const QString& title, const QString& prompt,
                                    const QString& initialText) override;
    QString openFile(const FileDialogSettings& settings) override;
    QString saveFile(const FileDialogSettings& settings) override;

    // "A (*.a)|*.a|B|*.b" as Qt's name filters: "A (*.a)", "B (*.b)".
    static QStringList nameFilters(const QString& barSeparated);

private:
    QWidget* parentNow() const;
    QString runFileDialog(const FileDialogSettings& settings, bool save);
    QPointer<QWidget> Parent;
};
