#include "tw/window/export.hpp"

#include "tw/core/profiler.hpp"
#include "tw/window/profile_view.hpp"

#include "tw/common/files.hpp"
#include "tw/core/log.hpp"
#include "tw/core/reception.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/core/trace_tree.hpp"
#include "tw/display/viewer.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/log_progress.hpp"
#include "tw/window/menu_items.hpp"
#include "tw/window/recent_files.hpp"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QTabWidget>

#include <vector>

namespace tw::window {

namespace {

constexpr qsizetype kChunkChars = 1 << 19;  // converted to UTF-8 and written in these pieces
constexpr int kStepLines = 8192;            // progress is reported this often
constexpr char16_t kPathSeparator[] = u" > ";

void AppendNumber(qint64 n, QString& out) {
    char16_t digits[24];
    int d = 0;
    const bool negative = n < 0;
    quint64 m = negative ? quint64(-n) : quint64(n);
    do {
        digits[d++] = char16_t(u'0' + m % 10);
        m /= 10;
    } while (m);
    if (negative) out += u'-';
    while (d) out += QChar(digits[--d]);
}

// Line breaks inside a message would split an exported line; they become blanks.
void AppendOneLine(QStringView text, QString& out) {
    const qsizetype start = out.size();
    out += text;
    for (qsizetype i = start; i < out.size(); ++i) {
        if (out[i] == u'\r' || out[i] == u'\n') out[i] = u' ';
    }
}

// The formula path of each line: the messages of its enter lines, outermost first. Lines come
// in index order, which is the tree's pre-order, so a stack of the open ancestors suffices.
class FormulaPath {
public:
    explicit FormulaPath(const viewer::TraceTree& tree) : m_tree(tree) { m_paths.emplace_back(); }
    const QString& Of(int index) {
        const int parent = m_tree.Parent(index);
        while (!m_open.empty() && m_open.back() != parent) {
            m_open.pop_back();
            m_paths.pop_back();
        }
        if (parent != 0 && (m_open.empty() || m_open.back() != parent)) {
            // A parent not on the stack: only when the walk starts inside a subtree.
            Rebuild(parent);
        }
        return m_paths.back();
    }

private:
    void Push(int line) {
        QString path = m_paths.back();
        if (!path.isEmpty()) path += QStringView(kPathSeparator);
        m_tree.Message(line).AppendMessage(path);
        m_open.push_back(line);
        m_paths.push_back(std::move(path));
    }
    void Rebuild(int parent) {
        std::vector<int> chain;
        for (int p = parent; p != 0; p = m_tree.Parent(p)) chain.push_back(p);
        m_open.clear();
        m_paths.resize(1);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) Push(*it);
    }

public:
    // Called after Of(index) for a line that may have children.
    void Enter(int index) {
        if (m_tree.ChildCount(index) > 0) Push(index);
    }

private:
    const viewer::TraceTree& m_tree;
    std::vector<int> m_open;         // the open ancestors, outermost first
    std::vector<QString> m_paths;    // m_paths[k]: the path inside the first k open ancestors
};

void AppendCsvRow(const viewer::TraceTree& tree, int index, const QString& path, QString& out) {
    const viewer::MessageSink& m = tree.Message(index);
    AppendNumber(m.RecordNumber(), out);
    out += u',';
    AppendNumber(m.MessageType(), out);
    out += u',';
    AppendNumber(tree.Level(index), out);
    out += u',';
    out += viewer::StampText(tree.StampOf(index));
    out += u',';
    AppendCsvField(path, out);
    out += u',';
    AppendCsvField(m.Message(), out);
    out += u',';
    AppendCsvField(m.ObjectName(), out);
    out += u',';
    AppendCsvField(m.ObjectValue(), out);
}

// A rough size of the output, for the progress window: its length in UTF-16 characters.
qint64 EstimateBytes(const viewer::TraceTree& tree, ExportFormat format) {
    qint64 total = 0;
    for (int i = 1; i <= tree.Count(); ++i) {
        const viewer::MessageSink& m = tree.Message(i);
        total += 24 + m.MessageLength();
        if (format == ExportFormat::Csv) total += 16 + m.ObjectNameLength() + m.ObjectValueLength();
    }
    return total;
}

}  // namespace

QString CsvHeader() {
    return QStringLiteral("record,type,level,time,formula path,message,object name,object value");
}

void AppendCsvField(QStringView field, QString& out) {
    bool quote = false;
    for (QChar c : field) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out += field;
        return;
    }
    out += u'"';
    for (QChar c : field) {
        if (c == u'"') out += u'"';
        out += c;
    }
    out += u'"';
}

void AppendExportText(const viewer::TraceTree& tree, int index, QString& out) {
    const int level = tree.Level(index);
    for (int i = 0; i < level; ++i) out += QStringLiteral("  ");
    const qsizetype start = out.size();
    tree.AppendText(index, out);
    for (qsizetype i = start; i < out.size(); ++i) {
        if (out[i] == u'\r' || out[i] == u'\n') out[i] = u' ';
    }
}

QString SubtreeText(const viewer::TraceTree& tree, int index) {
    QString text;
    const int base = tree.Level(index);
    const int last = tree.LastInSubtree(index);
    for (int i = index; i <= last; ++i) {
        for (int k = base; k < tree.Level(i); ++k) text += QStringLiteral("  ");
        QString line;
        tree.AppendText(i, line);
        AppendOneLine(line, text);
        text += u'\n';
    }
    return text;
}

ExportResult ExportTree(const viewer::TraceTree& tree, const QString& fileName, ExportFormat format,
                        viewer::LogProgress* progress) {
    ExportResult result;
    if (tree.IsEmpty()) return result;
    auto fail = [&](qint32 number, const QString& text) {
        result.ok = false;
        result.error = {number, text};
    };
    QSaveFile file(fileName);
    QString why;
    switch (OpenForReplacing(file, &why)) {
    case ReplaceOutcome::Opened: break;
    case ReplaceOutcome::ReadOnly:
        fail(kExportErrPermission, QStringLiteral("The file %1 is read-only").arg(fileName));
        return result;
    case ReplaceOutcome::NotAFile:
        fail(kExportErrFileAccess, QStringLiteral("Cannot create the file: %1").arg(why));
        return result;
    case ReplaceOutcome::Failed:
        fail(kExportErrFileAccess, QStringLiteral("Cannot create the file %1: %2").arg(fileName, why));
        return result;
    }
    if (progress) progress->Begin(EstimateBytes(tree, format));
    QString chunk;
    chunk.reserve(kChunkChars + 4096);
    auto flush = [&]() -> bool {
        const QByteArray bytes = chunk.toUtf8();
        chunk.resize(0);
        if (!WriteAll(file, bytes.constData(), bytes.size())) {
            fail(kExportErrDeviceIO, QStringLiteral("Cannot write the file %1: %2").arg(fileName, file.errorString()));
            return false;
        }
        result.bytes += bytes.size();
        return true;
    };
    FormulaPath paths(tree);
    if (format == ExportFormat::Csv) chunk += CsvHeader() + QStringLiteral("\r\n");
    const int count = tree.Count();
    qint64 estimatedDone = 0;
    for (int i = 1; i <= count && result.ok; ++i) {
        const qsizetype before = chunk.size();
        if (format == ExportFormat::Csv) {
            AppendCsvRow(tree, i, paths.Of(i), chunk);
            paths.Enter(i);
        } else {
            AppendExportText(tree, i, chunk);
        }
        chunk += QStringLiteral("\r\n");
        estimatedDone += chunk.size() - before;
        ++result.lines;
        if (chunk.size() >= kChunkChars && !flush()) break;
        if (progress && i % kStepLines == 0 && !progress->Step(estimatedDone, i)) {
            result.cancelled = true;
            break;
        }
    }
    if (result.ok && !result.cancelled && !chunk.isEmpty()) flush();
    if (progress) progress->End();
    if (result.ok && !result.cancelled && !file.commit())
        fail(kExportErrDeviceIO, QStringLiteral("Cannot write the file %1: %2").arg(fileName, file.errorString()));
    if (!result.ok || result.cancelled) {
        file.cancelWriting();  // the temporary file goes, an old file stays
        result.lines = 0;
        result.bytes = 0;
    }
    return result;
}

namespace {

// The run as a Chrome trace, or the profile table as CSV, from the default page's profile.
void ExportProfile(FrmMain& form, const QString& fileName, bool chromeTrace) {
    auto* view = form.findChild<ProfileView*>(QStringLiteral("profileView"));
    if (!view) return;
    const viewer::Profiler& profile = view->Profile();
    std::string bytes;
    if (chromeTrace) {
        const viewer::TraceTree& tree = form.Viewer().GetDefault();
        std::string name, value, message;
        int line = 0;
        bytes = viewer::ChromeTraceJson(profile, [&](viewer::TraceMessage& m) {
            if (++line > tree.Count()) return false;
            const viewer::MessageSink& sink = tree.Message(line);
            name.clear();
            value.clear();
            message.clear();
            sink.AppendObjectNameBytes(name);
            sink.AppendObjectValueBytes(value);
            sink.AppendMessageBytes(message);
            m = {sink.MessageType(), sink.RecordNumber(), name, value, message, tree.ReceivedAt(line), 0};
            return true;
        });
    } else {
        bytes = viewer::ProfileCsv(profile);
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) ||
        !file.commit())
        ShowErrors(QString::fromLatin1(kCaption), nullptr,
                   {kExportErrFileAccess, QStringLiteral("Cannot write the file %1: %2").arg(fileName, file.errorString())});
}

void ExportCurrentPage(FrmMain& form) {
    QFileDialog dialog(&form, QStringLiteral("Export"));
    dialog.setObjectName(QStringLiteral("dlgExport"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QString text = QStringLiteral("Text (*.txt)");
    const QString csv = QStringLiteral("CSV (*.csv)");
    const QString timeline = QStringLiteral("Timeline (Chrome trace JSON) (*.json)");
    const QString profile = QStringLiteral("Profile (CSV) (*.csv)");
    dialog.setNameFilters({text, csv, timeline, profile});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setDirectory(FileDialogFolder());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, text, timeline](const QString& filter) {
        dialog.setDefaultSuffix(filter == text ? QStringLiteral("txt")
                                : filter == timeline ? QStringLiteral("json")
                                                     : QStringLiteral("csv"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString name = dialog.selectedFiles().first();
    RememberFileDialogFolder(name);
    // The profile of the run and its timeline come from the default page.
    if (dialog.selectedNameFilter() == timeline || dialog.selectedNameFilter() == profile) {
        ExportProfile(form, name, dialog.selectedNameFilter() == timeline);
        return;
    }
    // The name's own ending decides; without a known one, the chosen file type does.
    const QString suffix = QFileInfo(name).suffix().toLower();
    const ExportFormat format = suffix == QLatin1String("csv")   ? ExportFormat::Csv
                                : suffix == QLatin1String("txt") ? ExportFormat::Text
                                : dialog.selectedNameFilter() == csv ? ExportFormat::Csv
                                                                     : ExportFormat::Text;
    // Senders wait until the file is written, as for a load: the page stays as it was.
    viewer::Reception::Held hold(form.Reception());
    LogLoadProgress progress(&form, QStringLiteral("Export"));
    const ExportResult result = ExportTree(form.Viewer().GetCurrent(), name, format, &progress);
    if (!result.ok) ShowErrors(QString::fromLatin1(kCaption), nullptr, result.error);
}

void CopySubtree(FrmMain& form) {
    const viewer::TraceTree& tree = form.Viewer().GetCurrent();
    const int selected = tree.Selected();
    if (selected == 0) return;
    QGuiApplication::clipboard()->setText(SubtreeText(tree, selected));
}

}  // namespace

void ConnectExportCommands(FrmMain& form) {
    Commands& c = form.commands();
    QAction* exportAction = c.Add(QStringLiteral("mnuFileExport"), QStringLiteral("E&xport..."));
    InsertMenuItemAfter(form.Menu(QStringLiteral("mnuFile")), QStringLiteral("mnuFileSave"), exportAction);
    c.On(QStringLiteral("mnuFileExport"), [&form] { ExportCurrentPage(form); });

    QAction* copy = c.Add(QStringLiteral("mnuEditCopySubtree"), QStringLiteral("Copy with S&ubtree"),
                          QKeySequence(QStringLiteral("Ctrl+Shift+C")));
    InsertMenuItemAfter(form.Menu(QStringLiteral("mnuEdit")), QStringLiteral("mnuEditDelete"), copy);
    // The key works where the trace has the focus, as Ctrl+C does.
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    if (QTabWidget* pages = form.Viewer().TabWidget()) pages->addAction(copy);
    c.On(QStringLiteral("mnuEditCopySubtree"), [&form] { CopySubtree(form); });
}

}  // namespace tw::window
