#pragma once
// The File menu's commands for capture files and following:
//  - Save Capture... (mnuFileSaveCapture, after Save Logfile): the current page in the capture
//    format, written as Save Logfile writes, with its progress window and Cancel;
//  - Follow File... (mnuFileFollowFile, after Open Logfile, checked while a file is followed):
//    a log or capture file loaded into the default page and then read on as it grows (see
//    tw/core/file_follower.hpp); chosen again, it stops following. Clearing the default
//    page stops it too. What happens to the file (truncated, replaced) shows in the status
//    bar's note.
// On the command line, tracewell32 --follow FILE follows FILE once the window runs.

#include <QObject>
#include <QString>

class QAction;

namespace tw::viewer {
class FileFollower;
}

namespace tw::window {

class FrmMain;

class FileFollowing : public QObject {
    Q_OBJECT
public:
    // Adds Follow File... to the File menu (object name of this: "fileFollowing").
    explicit FileFollowing(FrmMain& form);
    // Follows the file (the file loaded first, with the progress window); false when it could
    // not be (the box said why).
    bool Follow(const QString& path);
    // The follower, made on first use.
    viewer::FileFollower& Follower();

private:
    void Chosen(bool checked);
    void Note(const QString& text);

    FrmMain& m_form;
    QAction* m_action = nullptr;
    viewer::FileFollower* m_follower = nullptr;  // a child of this
};

// Adds Save Capture... and Follow File... to the File menu.
void ConnectCaptureCommands(FrmMain& form);
// Follows the file once the event loop runs (after start-up); nothing for an empty path.
void FollowLater(FrmMain& form, const QString& path);

}  // namespace tw::window
