#include "tw/window/capture_commands.hpp"

#include "tw/core/log.hpp"
#include "tw/core/reception.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/controls.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/log_progress.hpp"
#include "tw/window/menu_items.hpp"
#include "tw/window/recent_files.hpp"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>

namespace tw::window {

namespace {

// dlgFile for one file: titled, in the folder last used, with the filters given (the first
// chosen); a name saved without an extension gets suffix.
QString AskFile(FrmMain& form, const QString& title, QFileDialog::AcceptMode mode, const QStringList& filters,
                const QString& suffix = {}) {
    QFileDialog* dialog = form.controls().dlgFile;
    dialog->setWindowTitle(title);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setDirectory(FileDialogFolder());
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.front());
    dialog->setDefaultSuffix(suffix);
    dialog->selectFile(QString());
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList files = dialog->selectedFiles();
    if (files.isEmpty()) return {};
    RememberFileDialogFolder(files.first());
    return files.first();
}

const QString kAllFiles = QStringLiteral("All files (*)");

void SaveCapture(FrmMain& form) {
    const QString name = AskFile(form, QStringLiteral("Save Capture"), QFileDialog::AcceptSave,
                                 {QStringLiteral("Capture files (*.cap)"), kAllFiles}, QStringLiteral("cap"));
    if (name.isEmpty()) return;
    // As Save Logfile: senders wait, so the page saved is the page as it was.
    viewer::Reception::Held hold(form.Reception());
    LogLoadProgress progress(&form, QStringLiteral("Save Capture"));
    if (viewer::Log(form.MessageManager()).SaveCapture(name, &progress) && QFileInfo::exists(name))
        AddRecentFile(name);
}

}  // namespace

void ConnectCaptureCommands(FrmMain& form) {
    Commands& c = form.commands();
    QAction* save = c.Add(QStringLiteral("mnuFileSaveCapture"), QStringLiteral("Save &Capture..."));
    InsertMenuItemAfter(form.Menu(QStringLiteral("mnuFile")), QStringLiteral("mnuFileSave"), save);
    c.On(QStringLiteral("mnuFileSaveCapture"), [&form] { SaveCapture(form); });
}

}  // namespace tw::window
