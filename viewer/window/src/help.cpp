#include "tw/window/help.hpp"

#include "tw/common/common.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/startup.hpp"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

namespace tw::window {
namespace {

HelpOpener& Opener() {
    static HelpOpener opener;
    return opener;
}

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
// xdg-open is started detached and counts as success even when no program takes the file, so
// the desktop is asked first whether any program is registered for the file's type.
bool DesktopHasHandler(const QString& file) {
    const QString type = QMimeDatabase().mimeTypeForFile(file).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished();
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}
#endif

}  // namespace

void SetHelpOpener(HelpOpener opener) {
    Opener() = std::move(opener);
}

bool OpenWithDesktop(const QString& file) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!DesktopHasHandler(file)) return false;
#endif
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void ShowHelp() {
    const QString file = HelpFile();
    const QString caption = QString::fromLatin1(kCaption);
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        messageBoxes().Show(QStringLiteral("The help file %1 is missing.").arg(file.isEmpty() ? "tracewell3.chm" : file),
                            caption, BoxIcon::Information);
        return;
    }
    const bool opened = Opener() ? Opener()(file) : OpenWithDesktop(file);
    if (!opened) {
        messageBoxes().Show(QStringLiteral("No program on this computer opens help files (.chm), so the help "
                                           "cannot be shown.\nInstall a viewer for .chm files, or open the "
                                           "help file yourself:\n%1")
                                .arg(file),
                            caption, BoxIcon::Information);
    }
}

}  // namespace tw::window
