#include "tw/window/startup.hpp"

#include <QApplication>
#include <QDir>

#include "tw/window/frm_main.hpp"

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

std::unique_ptr<FrmMain> Main(QApplication& app) {
    SetHelpFile(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tracewell3.chm")));

    auto form = std::make_unique<FrmMain>();
    form->setWindowTitle(QString::fromLatin1(kCaption));
    // Unloading the main window ends the program at once, closing any other window with it.
    QObject::connect(form.get(), &FrmMain::unloaded, &app, [] {
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    });
    form->show();
    return form;
}

}  // namespace tw::window
