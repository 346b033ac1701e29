#include "tw/window/recent_files.hpp"

#include "tw/core/log.hpp"
#include "tw/core/reception.hpp"
#include "tw/panes/scratch_manager.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/controls.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/live_view.hpp"
#include "tw/window/log_progress.hpp"
#include "tw/window/menu_items.hpp"
#include "tw/window/settings.hpp"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QSet>
#include <QStandardPaths>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace tw::window {

namespace {

const QString kKey = QStringLiteral("files/recent");

QString Normalised(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

void Store(const QStringList& list) {
    settings::Set(kKey, list);
}

// Draws the entries of files that no longer exist in the greyed colour while leaving them
// selectable, so that choosing one can take it off the list.
class RecentMenuStyle : public QProxyStyle {
public:
    QSet<QString> greyed;  // menu texts of missing files

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_MenuItem) {
            if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
                item && greyed.contains(item->text)) {
                QStyleOptionMenuItem copy(*item);
                const QColor grey = copy.palette.color(QPalette::Disabled, QPalette::Text);
                for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText,
                                                 QPalette::HighlightedText}) {
                    copy.palette.setColor(QPalette::Active, role, grey);
                    copy.palette.setColor(QPalette::Inactive, role, grey);
                }
                QProxyStyle::drawControl(element, &copy, painter, widget);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// Takes files dropped on the main window.
class DropTarget : public QObject {
public:
    explicit DropTarget(FrmMain& form) : QObject(&form), m_form(form) { setObjectName(QStringLiteral("dropTarget")); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &m_form) return false;
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDropEvent*>(event);
                if (!Files(drag->mimeData()).isEmpty()) {
                    drag->acceptProposedAction();
                    return true;
                }
                return false;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                const QStringList files = Files(drop->mimeData());
                if (files.isEmpty()) return false;
                drop->acceptProposedAction();
                // Loaded after the drop returns, so the program the files came from is not kept
                // waiting for a long load.
                OpenLater(m_form, files);
                return true;
            }
            default:
                return false;
        }
    }

private:
    static QStringList Files(const QMimeData* data) {
        QStringList files;
        if (!data || !data->hasUrls()) return files;
        for (const QUrl& url : data->urls())
            if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) files << url.toLocalFile();
        return files;
    }

    FrmMain& m_form;
};

}  // namespace

QStringList RecentFiles() {
    QStringList list;
    for (const QString& path : settings::StringList(kKey)) {
        if (path.isEmpty() || list.contains(path)) continue;
        list << path;
        if (list.size() == kRecentFileCount) break;
    }
    return list;
}

void AddRecentFile(const QString& path) {
    const QString file = Normalised(path);
    QStringList list = RecentFiles();
    list.removeAll(file);
    list.prepend(file);
    while (list.size() > kRecentFileCount) list.removeLast();
    Store(list);
}

void RemoveRecentFile(const QString& path) {
    QStringList list = RecentFiles();
    if (list.removeAll(path) || list.removeAll(Normalised(path))) Store(list);
}

void ClearRecentFiles() {
    settings::Remove(kKey);
}

viewer::Log::ScratchTarget ScratchTargetOf(FrmMain& form) {
    QPointer<FrmMain> target(&form);
    return [target](qint32 id, const QString& text) {
        if (target) target->ScratchManager().Add(id, text);
    };
}

void OpenLogfilePath(FrmMain& form, const QString& path) {
    // No message arrives in the middle of the file's lines: senders wait until the load ends.
    viewer::Reception::Held hold(form.Reception());
    LogLoadProgress progress(&form);
    const viewer::Log::LoadResult result =
        viewer::Log(form.MessageManager(), ScratchTargetOf(form)).Load(path, &progress);
    // A file that could not be opened, or whose first line is no envelope, is not a log file
    // worth offering again.
    if (result.ok || result.lines > 1) AddRecentFile(path);
}

void OpenMergedPaths(FrmMain& form, const QStringList& paths) {
    if (paths.size() == 1) {
        OpenLogfilePath(form, paths.front());
        return;
    }
    viewer::Reception::Held hold(form.Reception());
    LogLoadProgress progress(&form);
    const viewer::Log::LoadResult result =
        viewer::Log(form.MessageManager(), ScratchTargetOf(form)).LoadMerged(paths, &progress);
    for (const QString& path : result.loadedFiles) AddRecentFile(path);
    if (!result.note.isEmpty())
        if (auto* live = form.findChild<LiveView*>(QStringLiteral("liveView"))) live->Note(result.note + u'.');
}

void OpenLater(FrmMain& form, const QStringList& paths) {
    if (paths.isEmpty()) return;
    QPointer<FrmMain> target(&form);
    QTimer::singleShot(0, &form, [target, paths] {
        if (target) OpenMergedPaths(*target, paths);
    });
}

QString FollowFromArguments(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--")) break;
        if (a == QLatin1String("--follow")) return i + 1 < arguments.size() ? arguments[i + 1] : QString();
        if (a.startsWith(QLatin1String("--follow="))) return a.mid(9);
    }
    return {};
}

QStringList FilesFromArguments(const QStringList& arguments) {
    QStringList files;
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (options && a == QLatin1String("--")) {
            options = false;
        } else if (options && a == QLatin1String("--follow")) {
            if (++i == arguments.size()) std::fprintf(stderr, "tracewell32: --follow needs a file to follow\n");
        } else if (options && a == QLatin1String("--compare")) {
            i += 2;  // the two files to compare, not to open
        } else if (options && a.startsWith(QLatin1String("--follow="))) {
            // the file to follow, not one to open
        } else if (options && a.startsWith(u'-') && a.size() > 1) {
            std::fprintf(stderr, "tracewell32: unknown option %s ignored\n", qPrintable(a));
        } else {
            files << a;
        }
    }
    return files;
}

void FillRecentMenu(FrmMain& form, QMenu& menu) {
    menu.clear();
    auto* style = dynamic_cast<RecentMenuStyle*>(menu.style());
    if (style) style->greyed.clear();
    const QStringList files = RecentFiles();
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = files[i];
        QString shown = QDir::toNativeSeparators(path);
        shown.replace(u'&', QStringLiteral("&&"));
        const QString text = QStringLiteral("&%1 %2").arg(i + 1).arg(shown);
        QAction* action = menu.addAction(text);
        action->setObjectName(QStringLiteral("mnuFileRecentItem"));
        action->setData(path);
        const bool missing = !QFileInfo::exists(path);
        action->setProperty("missing", missing);
        if (missing) {
            action->setToolTip(QStringLiteral("%1 no longer exists; choose it to take it off the list")
                                   .arg(QDir::toNativeSeparators(path)));
            if (style) style->greyed.insert(text);
        }
        QPointer<FrmMain> target(&form);
        QObject::connect(action, &QAction::triggered, &form, [target, path] {
            if (!target) return;
            if (!QFileInfo::exists(path)) RemoveRecentFile(path);
            else OpenLogfilePath(*target, path);
        });
    }
    if (files.isEmpty()) menu.addAction(QStringLiteral("(empty)"))->setEnabled(false);
    menu.addSeparator();
    QAction* clear = menu.addAction(QStringLiteral("&Clear List"));
    clear->setObjectName(QStringLiteral("mnuFileRecentClear"));
    clear->setEnabled(!files.isEmpty());
    QObject::connect(clear, &QAction::triggered, &form, [] { ClearRecentFiles(); });
}

void ConnectRecentFiles(FrmMain& form) {
    QMenu* file = form.Menu(QStringLiteral("mnuFile"));
    const QString after = form.commands().Action(QStringLiteral("mnuFileExport")) ? QStringLiteral("mnuFileExport")
                                                                                  : QStringLiteral("mnuFileSave");
    QMenu* recent = InsertSubmenuAfter(file, after, QStringLiteral("mnuFileRecent"), QStringLiteral("Recent &Logfiles"));
    if (recent) {
        // The window keeps the style: it must outlive the menu, which is destroyed before it.
        auto* style = new RecentMenuStyle;
        style->setParent(&form);
        recent->setStyle(style);
        QPointer<FrmMain> target(&form);
        QObject::connect(recent, &QMenu::aboutToShow, recent, [target, recent] {
            if (target) FillRecentMenu(*target, *recent);
        });
    }
    form.setAcceptDrops(true);
    form.installEventFilter(new DropTarget(form));
}

QString FileDialogFolder() {
    const QString last = settings::String(QStringLiteral("files/lastFolder"));
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void RememberFileDialogFolder(const QString& chosenFile) {
    const QString folder = QFileInfo(chosenFile).absolutePath();
    if (folder != settings::String(QStringLiteral("files/lastFolder")))
        settings::Set(QStringLiteral("files/lastFolder"), folder);
}

QString AskFile(FrmMain& form, const QString& title, QFileDialog::AcceptMode mode, const QStringList& filters,
                const QString& suffix) {
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

}  // namespace tw::window
