#include "tw/window/help.hpp"

#include "tw/common/common.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/startup.hpp"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMimeDatabase>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

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

// Where the pages are: built into the program (see viewer/window/CMakeLists.txt).
const QString kPages = QStringLiteral("qrc:/help/");

// The page of each window, dialog and pane that has one, by object name.
const std::pair<const char*, const char*> kTopics[] = {
    {"tvwViewer", "trace.html"},      {"tabViewer", "trace.html"},       {"picViewer", "trace.html"},
    {"dlgFind", "find.html"},         {"dlgGoto", "browsing.html"},      {"dlgFilter", "filters.html"},
    {"tvwFilter", "filters.html"},    {"tvwQuickFilter", "filters.html"}, {"dlgWatch", "watches.html"},
    {"tvwWatch", "watches.html"},     {"lvwWatch", "watches.html"},      {"frmValuePlot", "watches.html"},
    {"tvwAutos", "autos.html"},       {"lvwScratch", "scratch.html"},    {"dlgFile", "logfiles.html"},
    {"frmLogProgress", "logfiles.html"}, {"dlgExport", "logfiles.html"}, {"dlgPrint", "printing.html"},
    {"dlgPrintPreview", "printing.html"}, {"frmHelp", "index.html"},
    {"lvwBreakpoints", "breakpoints.html"}, {"dlgBreakpoint", "breakpoints.html"}, {"tbrPaused", "breakpoints.html"},
};

// The help window: the pages in a text browser with Back, Forward, Contents, and a button that
// hands the page to the desktop's browser.
class HelpWindow : public QWidget {
public:
    HelpWindow() {
        setObjectName(QStringLiteral("frmHelp"));
        setWindowTitle(QStringLiteral("Tracewell Help"));
        setAttribute(Qt::WA_DeleteOnClose);
        m_pages = new QTextBrowser(this);
        m_pages->setObjectName(QStringLiteral("txtHelp"));
        m_pages->setOpenExternalLinks(true);
        auto* back = Button("cmdHelpBack", "&Back");
        auto* forward = Button("cmdHelpForward", "&Forward");
        auto* contents = Button("cmdHelpContents", "&Contents");
        auto* browser = Button("cmdHelpBrowser", "Open in &Browser");
        back->setEnabled(false);
        forward->setEnabled(false);
        connect(back, &QPushButton::clicked, m_pages, &QTextBrowser::backward);
        connect(forward, &QPushButton::clicked, m_pages, &QTextBrowser::forward);
        connect(m_pages, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
        connect(m_pages, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
        connect(contents, &QPushButton::clicked, this, [this] { Show(QStringLiteral("index.html")); });
        connect(browser, &QPushButton::clicked, this, [this] { OpenInBrowser(); });
        connect(m_pages, &QTextBrowser::sourceChanged, this, [this] {
            setWindowTitle(m_pages->documentTitle().isEmpty()
                               ? QStringLiteral("Tracewell Help")
                               : m_pages->documentTitle() + QStringLiteral(" - Tracewell Help"));
        });
        auto* buttons = new QHBoxLayout;
        for (QPushButton* button : {back, forward, contents}) buttons->addWidget(button);
        buttons->addStretch();
        buttons->addWidget(browser);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(buttons);
        layout->addWidget(m_pages);
        resize(640, 560);
    }

    void Show(const QString& topic) { m_pages->setSource(QUrl(kPages + topic)); }

private:
    QPushButton* Button(const char* name, const char* caption) {
        auto* button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        return button;
    }

    // A browser cannot read the program's own pages: they go to a folder of the user's first.
    void OpenInBrowser() {
        const QString folder = QDir(QDir::tempPath()).filePath(QStringLiteral("tracewell-help-") +
                                                               qEnvironmentVariable("USER", QStringLiteral("user")));
        QDir().mkpath(folder);
        const QDir pages(QStringLiteral(":/help"));
        for (const QString& name : pages.entryList(QDir::Files)) {
            const QString target = QDir(folder).filePath(name);
            QFile::remove(target);
            QFile::copy(pages.filePath(name), target);
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        }
        const QString page = m_pages->source().fileName();
        QDesktopServices::openUrl(QUrl::fromLocalFile(QDir(folder).filePath(page.isEmpty() ? "index.html" : page)));
    }

    QTextBrowser* m_pages;
};

QPointer<HelpWindow>& TheHelpWindow() {
    static QPointer<HelpWindow> window;
    return window;
}

}  // namespace

QString HelpTopicFor(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        const QString name = widget->objectName();
        for (const auto& [object, topic] : kTopics)
            if (name == QLatin1String(object)) return QString::fromLatin1(topic);
    }
    return QStringLiteral("index.html");
}

QWidget* ShowHelpWindow(const QString& topic) {
    QPointer<HelpWindow>& kept = TheHelpWindow();
    HelpWindow* window = kept.data();
    if (window == nullptr) kept = window = new HelpWindow;
    // A window of its own is blocked while a dialog is open: beside one it belongs to the dialog.
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == window) owner = nullptr;
    if (window->parentWidget() != owner) window->setParent(owner, Qt::Window);
    window->Show(topic);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void ShowHelp(const QString& topic) {
#ifdef Q_OS_WIN
    Q_UNUSED(topic);
    OpenHelpFile();
#else
    ShowHelpWindow(topic);
#endif
}

void SetHelpOpener(HelpOpener opener) {
    Opener() = std::move(opener);
}

bool OpenWithDesktop(const QString& file) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!DesktopHasHandler(file)) return false;
#endif
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void OpenHelpFile() {
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
