#include "tw/window/capture_commands.hpp"

#include "tw/core/file_follower.hpp"
#include "tw/core/log.hpp"
#include "tw/core/reception.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/controls.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/live_view.hpp"
#include "tw/window/log_progress.hpp"
#include "tw/window/menu_items.hpp"
#include "tw/window/recent_files.hpp"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

namespace tw::window {

namespace {

// dlgFile for one file: titled, in the folder last used, with the filters given (the first
// chosen); a name saved without an extension gets suffix.

const QString kAllFiles = QStringLiteral("All files (*)");

void SaveCapture(FrmMain& form) {
    const QString name = AskFile(form, QStringLiteral("Save Capture"), QFileDialog::AcceptSave,
                                 {QStringLiteral("Capture files (*.txt)"), kAllFiles}, QStringLiteral("txt"));
    if (name.isEmpty()) return;
    // As Save Logfile: senders wait, so the page saved is the page as it was.
    viewer::Reception::Held hold(form.Reception());
    LogLoadProgress progress(&form, QStringLiteral("Save Capture"));
    if (viewer::Log(form.MessageManager()).SaveCapture(name, &progress) && QFileInfo::exists(name))
        AddRecentFile(name);
}

}  // namespace

FileFollowing::FileFollowing(FrmMain& form) : QObject(&form), m_form(form) {
    setObjectName(QStringLiteral("fileFollowing"));
    m_action = form.commands().Add(QStringLiteral("mnuFileFollowFile"), QStringLiteral("&Follow File..."));
    m_action->setCheckable(true);
    m_action->setToolTip(QStringLiteral("Load a log or capture file and read on as it grows"));
    InsertMenuItemAfter(form.Menu(QStringLiteral("mnuFile")), QStringLiteral("mnuFileOpen"), m_action);
    connect(m_action, &QAction::triggered, this, &FileFollowing::Chosen);
    // The store goes with the window's unload: nothing is read into it after.
    connect(&form, &FrmMain::unloaded, this, [this] {
        if (m_follower) m_follower->Stop();
    });
}

viewer::FileFollower& FileFollowing::Follower() {
    if (!m_follower) {
        m_follower = new viewer::FileFollower(m_form.MessageManager(), ScratchTargetOf(m_form), this);
        connect(m_follower, &viewer::FileFollower::note, this, &FileFollowing::Note);
        connect(m_follower, &viewer::FileFollower::stopped, this, [this](const QString& why) {
            m_action->setChecked(false);
            if (!why.isEmpty()) Note(why);
        });
    }
    return *m_follower;
}

void FileFollowing::Chosen(bool checked) {
    if (!checked) {
        if (m_follower) m_follower->Stop();
        m_action->setChecked(false);
        return;
    }
    m_action->setChecked(false);  // until a file is followed
    const QString name =
        AskFile(m_form, QStringLiteral("Follow File"), QFileDialog::AcceptOpen,
                {kAllFiles, QStringLiteral("Log files (*.log)"), QStringLiteral("Capture files (*.txt)")});
    if (!name.isEmpty()) Follow(name);
}

bool FileFollowing::Follow(const QString& path) {
    bool following = false;
    {
        // The file's present lines arrive together, as a load's do.
        viewer::Reception::Held hold(m_form.Reception());
        LogLoadProgress progress(&m_form, QStringLiteral("Follow File"));
        following = Follower().Start(path, &progress);
    }
    m_action->setChecked(following);
    if (following) {
        AddRecentFile(path);
        Note(QStringLiteral("Following %1.").arg(QFileInfo(path).fileName()));
    }
    return following;
}

void FileFollowing::Note(const QString& text) {
    if (auto* live = m_form.findChild<LiveView*>(QStringLiteral("liveView"))) live->Note(text);
}

void ConnectCaptureCommands(FrmMain& form) {
    Commands& c = form.commands();
    QAction* save = c.Add(QStringLiteral("mnuFileSaveCapture"), QStringLiteral("Save &Capture..."));
    InsertMenuItemAfter(form.Menu(QStringLiteral("mnuFile")), QStringLiteral("mnuFileSave"), save);
    c.On(QStringLiteral("mnuFileSaveCapture"), [&form] { SaveCapture(form); });
    new FileFollowing(form);
}

void FollowLater(FrmMain& form, const QString& path) {
    if (path.isEmpty()) return;
    QPointer<FrmMain> target(&form);
    QTimer::singleShot(0, &form, [target, path] {
        if (!target) return;
        if (auto* following = target->findChild<FileFollowing*>(QStringLiteral("fileFollowing")))
            following->Follow(path);
    });
}

}  // namespace tw::window
