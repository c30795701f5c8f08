#include "QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

namespace {
// A file dialog that refuses, and stays open for, a name in a folder that
// does not exist.
class PathCheckingFileDialog : public QFileDialog {
public:
    PathCheckingFileDialog(QWidget* parent, const FileDialogSettings& settings)
        : QFileDialog(parent, settings.title, settings.initialFolder), PathMustExist(settings.pathMustExist) {
        // The check runs in accept(), which a desktop's own dialog would bypass.
        if (PathMustExist)
            setOption(QFileDialog::DontUseNativeDialog);
    }

protected:
    void accept() override {
        const QStringList chosen = selectedFiles();
        if (PathMustExist && !chosen.isEmpty()) {
            const QFileInfo file(chosen.constFirst());
            if (!file.isDir() && !file.absoluteDir().exists()) {
                QMessageBox::warning(
                    this, windowTitle(),
                    QStringLiteral("%1\nThe folder does not exist. Check the path and try again.")
                        .arg(QDir::toNativeSeparators(file.absolutePath())));
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    bool PathMustExist;
};
} // namespace

QWidget* QtDialogs::parentNow() const {
    QWidget* active = QApplication::activeWindow();
    return active ? active : Parent.data();
}

void QtDialogs::critical(const QString& title, const QString& text) {
    QMessageBox::critical(parentNow(), title, text);
}

std::optional<QString> QtDialogs::inputBox(const QString& title, const QString& prompt,
                                           const QString& initialText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parentNow(), title, prompt, QLineEdit::Normal, initialText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QStringList QtDialogs::nameFilters(const QString& barSeparated) {
    const QStringList parts = barSeparated.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString pattern = parts[i + 1].split(QLatin1Char(';')).join(QLatin1Char(' '));
        filters << (description.contains(QLatin1Char('(') + pattern + QLatin1Char(')'))
                        ? description
                        : QStringLiteral("%1 (%2)").arg(description, pattern));
    }
    return filters;
}

QString QtDialogs::runFileDialog(const FileDialogSettings& settings, bool save) {
    PathCheckingFileDialog dialog(parentNow(), settings);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !settings.fileMustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = nameFilters(settings.filter);
    dialog.setNameFilters(filters);
    if (settings.filterIndex >= 1 && settings.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[settings.filterIndex - 1]);
    dialog.setDefaultSuffix(settings.defaultExtension);
    if (!settings.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!settings.initialFile.isEmpty())
        dialog.selectFile(settings.initialFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDialogs::openFile(const FileDialogSettings& settings) {
    return runFileDialog(settings, false);
}
QString QtDialogs::saveFile(const FileDialogSettings& settings) {
    return runFileDialog(settings, true);
}
