// File menu: log files, printing and Exit.

#include "tw/common/common.hpp"
#include "tw/core/log.hpp"
#include "tw/core/reception.hpp"
#include "tw/display/viewer.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/log_progress.hpp"
#include "tw/window/printing.hpp"
#include "tw/window/recent_files.hpp"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace tw::window {

namespace {

// Shows dlgFile with the title; returns the chosen files (several only with several), or none
// when cancelled. The dialog starts in the folder last used (at first the user's documents),
// offers log files and all files (all shown at first when opening, as before), and a name
// saved without an extension gets ".log".
QStringList AskFileNames(FrmMain& form, const QString& title, QFileDialog::AcceptMode mode, bool several) {
    QFileDialog* dialog = form.controls().dlgFile;
    dialog->setWindowTitle(title);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                        : several                       ? QFileDialog::ExistingFiles
                                                        : QFileDialog::ExistingFile);
    dialog->setDirectory(FileDialogFolder());
    const QString logs = QStringLiteral("Log files (*.log)");
    const QString all = QStringLiteral("All files (*)");
    dialog->setNameFilters({logs, all});
    dialog->selectNameFilter(mode == QFileDialog::AcceptSave ? logs : all);
    dialog->setDefaultSuffix(mode == QFileDialog::AcceptSave ? QStringLiteral("log") : QString());
    dialog->selectFile(QString());      // a name chosen earlier is not offered again
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList files = dialog->selectedFiles();
    if (files.isEmpty()) return {};
    RememberFileDialogFolder(files.first());
    return several ? files : QStringList{files.first()};
}

QString AskFileName(FrmMain& form, const QString& title, QFileDialog::AcceptMode mode) {
    const QStringList files = AskFileNames(form, title, mode, false);
    return files.isEmpty() ? QString() : files.first();
}

// Log and capture files alike; several chosen together are merged into one page.
void OpenLogfile(FrmMain& form) {
    const QStringList names = AskFileNames(form, QStringLiteral("Open Logfile"), QFileDialog::AcceptOpen, true);
    if (names.isEmpty()) return;
    OpenMergedPaths(form, names);  // also puts them on the Recent Logfiles list
}

void SaveLogfile(FrmMain& form) {
    const QString name = AskFileName(form, QStringLiteral("Save Logfile"), QFileDialog::AcceptSave);
    if (name.isEmpty()) return;
    // A long save shows its progress and can be stopped; senders wait until it ends, so the
    // page saved is the page as it was.
    viewer::Reception::Held hold(form.Reception());
    LogLoadProgress progress(&form, QStringLiteral("Save Logfile"));
    if (viewer::Log(form.MessageManager()).Save(name, &progress) && QFileInfo::exists(name)) AddRecentFile(name);
}

// Delete Logfile: choose a file, confirm, delete it. A failure shows the error box.
void DeleteLogfile(FrmMain& form) {
    const QString name = AskFileName(form, QStringLiteral("Delete Logfile"), QFileDialog::AcceptOpen);
    if (name.isEmpty()) return;
    QMessageBox confirm(QMessageBox::Question, QString::fromLatin1(kCaption),
                        QStringLiteral("Delete the log file %1?").arg(QDir::toNativeSeparators(name)),
                        QMessageBox::Yes | QMessageBox::No, &form);
    confirm.setObjectName(QStringLiteral("msgDeleteLogfile"));
    confirm.setTextFormat(Qt::PlainText);  // names the file exactly as it is spelt
    confirm.setDefaultButton(QMessageBox::No);
    if (confirm.exec() != QMessageBox::Yes) return;
    QFile file(name);
    if (!file.remove()) {
        ShowErrors(QString::fromLatin1(kCaption), nullptr,
                   {viewer::Log::kErrFileAccess,
                    QStringLiteral("Cannot delete the log file %1: %2").arg(name, file.errorString())});
    }
}

}  // namespace

void ConnectFileCommands(FrmMain& form) {
    Commands& c = form.commands();
    c.On("mnuFileOpen", [&form] { OpenLogfile(form); });
    c.On("mnuFileSave", [&form] { SaveLogfile(form); });
    c.On("mnuFileDelete", [&form] { DeleteLogfile(form); });
    c.On("mnuFilePrint", [&form] { PrintCurrentViewer(form.Viewer()); });
    c.On("mnuFileExit", [&form] { form.close(); });
}

}  // namespace tw::window
