#include "tw/window/startup.hpp"

#include "tw/window/capture_commands.hpp"
#include "tw/window/compare_view.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/recent_files.hpp"
#include "tw/window/remembered.hpp"
#include "tw/window/settings.hpp"
#include "tw/window/splash.hpp"
#include "tw/window/status_panels.hpp"
#include "tw/window/termination.hpp"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

namespace tw::window {
namespace {

QString& HelpFileName() {
    static QString name;
    return name;
}

}  // namespace

QString HelpFile() {
    return HelpFileName();
}

void SetHelpFile(const QString& path) {
    HelpFileName() = path;
}

std::unique_ptr<FrmMain> Main(QApplication& app, int splashMilliseconds) {
    SetHelpFile(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tracewell3.chm")));

    // From before reception starts: ended from outside (SIGTERM, SIGINT), the window closes
    // as Exit closes it, so its socket goes.
    CatchTerminationSignals();
    // The settings file is looked at before anything else (a named pipe there would hold
    // the program up, with it every sender, at its first read): never opened unless it is a
    // file.
    const QString settingsProblem = settings::Problem();

    auto splash = std::make_unique<FrmSplash>();
    splash->show();
    splash->repaint();
    // The splash stands for its time; only painting goes on meanwhile, no input.
    if (splashMilliseconds > 0) {
        QEventLoop wait;
        QTimer::singleShot(splashMilliseconds, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }

    auto form = std::make_unique<FrmMain>();
    // The window as it was left last time; saved again when it unloads.
    RestoreWindowSettings(*form);
    QObject::connect(form.get(), &FrmMain::unloaded, form.get(), [f = form.get()] { SaveWindowSettings(*f); });
    // Unloading the main window ends the program at once, closing any other window with it.
    QObject::connect(form.get(), &FrmMain::unloaded, &app, [] {
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    });
    CloseOnTerminationSignals(*form);
    if (!settingsProblem.isEmpty()) form->statusPanels().SetText(3, settingsProblem);
    form->show();
    splash.reset();
    // tracewell32 FILE...: the files open as soon as the window runs.
    OpenLater(*form, FilesFromArguments(QCoreApplication::arguments()));
    FollowLater(*form, FollowFromArguments(QCoreApplication::arguments()));
    CompareLater(*form, QCoreApplication::arguments());
    return form;
}

}  // namespace tw::window
