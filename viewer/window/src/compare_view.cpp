#include "tw/window/compare_view.hpp"

#include "trace_files.hpp"
#include "tw/common/common.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/messaging/codepage.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/menu_items.hpp"
#include "tw/window/recent_files.hpp"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace tw::window {

namespace {

// Colours of the rows, 0x00BBGGRR: only on the left, only on the right, changed, the gap opposite.
constexpr viewer::Colour kOnlyA = 0x00C8C8FFu;
constexpr viewer::Colour kOnlyB = 0x00C8FFC8u;
constexpr viewer::Colour kChanged = 0x0080F0FFu;
constexpr viewer::Colour kGap = 0x00E6E6E6u;
constexpr viewer::Colour kMoved = 0x00FFE0C0u;  // a call that stands elsewhere on the other side

viewer::MessageRef Sink(const viewer::DiffMessage& m) {
    return viewer::MessageSink::CreateEx(qint16(m.type), m.record,
                                         QString::fromStdString(messaging::CodePageToUtf8(m.text)));
}

}  // namespace

CompareWindow::CompareWindow(const std::vector<viewer::DiffMessage>& a, const QString& captionA,
                             const std::vector<viewer::DiffMessage>& b, const QString& captionB,
                             QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmCompare"));
    setWindowTitle(QStringLiteral("Compare: %1 with %2").arg(captionA, captionB));
    viewer::DiffOptions options;
    options.keepAll = true;
    const viewer::DiffResult result = viewer::CompareRuns(a, b, options);

    for (auto& tree : m_trees) tree = std::make_unique<viewer::TraceTree>(QStringLiteral("Compare"));
    auto add = [this](int side, const viewer::DiffMessage* m, viewer::Colour colour) {
        viewer::TraceTree& tree = *m_trees[side];
        const int line = tree.Append(0, m ? Sink(*m) : viewer::MessageSink::CreateEx(0, 0, QString()), 0);
        if (colour != viewer::kDefaultColour) tree.SetBackColour(line, colour);
    };
    bool inDifference = false;
    for (std::size_t i = 0; i < result.all.size(); ++i) {
        const viewer::DiffLine& l = result.all[i];
        const int row = m_trees[0]->Count();
        if (l.kind == ' ') {
            add(0, &a[std::size_t(l.a)], viewer::kDefaultColour);
            add(1, &b[std::size_t(l.b)], viewer::kDefaultColour);
            inDifference = false;
            continue;
        }
        if (!inDifference) m_differences.push_back(row);
        inDifference = true;
        if (l.kind == '-' && l.changed && i + 1 < result.all.size() && result.all[i + 1].kind == '+') {
            const viewer::DiffMessage& left = a[std::size_t(l.a)];
            const viewer::DiffMessage& right = b[std::size_t(result.all[++i].b)];
            add(0, &left, kChanged);
            add(1, &right, kChanged);
            // The part that differs: what lies between the common start and the common end.
            const QString x = m_trees[0]->Message(row + 1).Message(),
                          y = m_trees[1]->Message(row + 1).Message();
            qsizetype head = 0;
            while (head < x.size() && head < y.size() && x[head] == y[head]) ++head;
            qsizetype tail = 0;
            while (tail < x.size() - head && tail < y.size() - head &&
                   x[x.size() - 1 - tail] == y[y.size() - 1 - tail])
                ++tail;
            m_changedParts.emplace(row + 1, std::array<std::pair<int, int>, 2>{
                                                std::pair<int, int>(int(head), int(x.size() - head - tail)),
                                                std::pair<int, int>(int(head), int(y.size() - head - tail))});
        } else if (l.kind == '-') {
            add(0, &a[std::size_t(l.a)], l.moved ? kMoved : kOnlyA);
            add(1, nullptr, kGap);
        } else {
            add(0, nullptr, kGap);
            add(1, &b[std::size_t(l.b)], l.moved ? kMoved : kOnlyB);
        }
    }

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    const QString captions[2] = {captionA, captionB};
    for (int side = 0; side < 2; ++side) {
        auto* panel = new QWidget(splitter);
        auto* layout = new QVBoxLayout(panel);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* caption = new QLabel(captions[side], panel);
        caption->setObjectName(side == 0 ? QStringLiteral("lblCompareA") : QStringLiteral("lblCompareB"));
        m_views[side] = new viewer::TraceView(*m_trees[side], panel);
        m_views[side]->setObjectName(side == 0 ? QStringLiteral("tvwCompareA")
                                               : QStringLiteral("tvwCompareB"));
        m_views[side]->SetFollowing(false);
        layout->addWidget(caption);
        layout->addWidget(m_views[side]);
    }
    // The changed part of a changed pair marked on each side, after the line's record and time.
    for (int side = 0; side < 2; ++side) {
        m_views[side]->SetPartMarks([this, side](int line, std::vector<std::pair<int, int>>& ranges) {
            const auto it = m_changedParts.find(line);
            if (it == m_changedParts.end()) return;
            const auto [start, length] = it->second[std::size_t(side)];
            const viewer::TraceTree& tree = *m_trees[side];
            const int before = int(tree.Text(line).size() - tree.Message(line).Message().size());
            if (length > 0) ranges.emplace_back(before + start, length);
        });
    }
    // The two sides scroll together.
    for (int side = 0; side < 2; ++side) {
        viewer::TraceView* other = m_views[1 - side];
        connect(m_views[side]->verticalScrollBar(), &QScrollBar::valueChanged, other->verticalScrollBar(),
                &QScrollBar::setValue);
        connect(m_views[side]->horizontalScrollBar(), &QScrollBar::valueChanged, other->horizontalScrollBar(),
                &QScrollBar::setValue);
    }
    auto* previous = new QPushButton(QStringLiteral("&Previous Difference"), this);
    previous->setObjectName(QStringLiteral("cmdPreviousDifference"));
    auto* next = new QPushButton(QStringLiteral("&Next Difference"), this);
    next->setObjectName(QStringLiteral("cmdNextDifference"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblCompareStatus"));
    connect(previous, &QPushButton::clicked, this, &CompareWindow::PreviousDifference);
    connect(next, &QPushButton::clicked, this, &CompareWindow::NextDifference);
    auto* f8 = new QShortcut(QKeySequence(Qt::Key_F8), this);
    connect(f8, &QShortcut::activated, this, &CompareWindow::NextDifference);
    auto* shiftF8 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8), this);
    connect(shiftF8, &QShortcut::activated, this, &CompareWindow::PreviousDifference);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_status, 1);
    bar->addWidget(previous);
    bar->addWidget(next);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(bar);
    resize(1000, 600);
    m_status->setText(StatusText());
    if (result.fellBack)
        m_status->setText(m_status->text() +
                          QStringLiteral(" Parts with little in common were lined up line by line."));
}

CompareWindow::~CompareWindow() {
    // The views go before the trees they show.
    for (auto*& view : m_views) {
        delete view;
        view = nullptr;
    }
}

QString CompareWindow::StatusText() const {
    if (m_differences.empty()) return QStringLiteral("The runs agree.");
    if (m_current < 0)
        return QStringLiteral("%1 differences. F8 goes to the next.").arg(m_differences.size());
    return QStringLiteral("difference %1 of %2").arg(m_current + 1).arg(m_differences.size());
}

void CompareWindow::GoTo(int difference) {
    if (difference < 0 || difference >= DifferenceCount()) return;
    m_current = difference;
    const int line = m_differences[std::size_t(difference)] + 1;
    for (auto& tree : m_trees) tree->Select(line);
    m_status->setText(StatusText());
}

void CompareWindow::NextDifference() {
    if (m_differences.empty()) return;
    GoTo(m_current + 1 < DifferenceCount() ? m_current + 1 : 0);
}

void CompareWindow::PreviousDifference() {
    if (m_differences.empty()) return;
    GoTo(m_current > 0 ? m_current - 1 : DifferenceCount() - 1);
}

bool ReadRunForCompare(const QString& path, std::vector<viewer::DiffMessage>& out, QString& why) {
    tw::tools::FileReader reader;
    reader.path = QFile::encodeName(path).toStdString();
    std::string error;
    if (!reader.Open(error)) {
        why = QString::fromStdString(error);
        return false;
    }
    while (reader.Next()) {
        out.push_back(tw::tools::ToDiffMessage(reader.fields));
    }
    if (out.empty()) {
        why = reader.bad ? QStringLiteral("line %1 is no trace line").arg(reader.firstBad)
                         : QStringLiteral("it holds no trace line");
        return false;
    }
    return true;
}

std::vector<viewer::DiffMessage> RunOfTree(const viewer::TraceTree& tree) {
    std::vector<viewer::DiffMessage> out;
    out.reserve(std::size_t(tree.Count()));
    std::string name, value;
    for (int line = 1; line <= tree.Count(); ++line) {
        const viewer::MessageSink& m = tree.Message(line);
        viewer::DiffMessage d;
        d.type = m.MessageType();
        d.record = m.RecordNumber();
        if (d.type == 4) {
            name.clear();
            value.clear();
            m.AppendObjectNameBytes(name);
            m.AppendObjectValueBytes(value);
            d.text = name + " = " + value;
        } else {
            m.AppendMessageBytes(d.text);
        }
        out.push_back(std::move(d));
    }
    return out;
}

namespace {

void ShowComparison(FrmMain& form, const std::vector<viewer::DiffMessage>& a, const QString& captionA,
                    const std::vector<viewer::DiffMessage>& b, const QString& captionB) {
    auto* window = new CompareWindow(a, captionA, b, captionB, &form);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void CompareWithFile(FrmMain& form) {
    const QString file =
        QFileDialog::getOpenFileName(&form, QStringLiteral("Compare With"), FileDialogFolder(),
                                     QStringLiteral("Log files (*.log *.txt);;All files (*)"));
    if (file.isEmpty()) return;
    RememberFileDialogFolder(file);
    std::vector<viewer::DiffMessage> other;
    QString why;
    if (!ReadRunForCompare(file, other, why)) {
        ShowErrors(
            QString::fromLatin1(kCaption), nullptr,
            {75, QStringLiteral("Cannot compare with %1: %2").arg(QDir::toNativeSeparators(file), why)});
        return;
    }
    viewer::Viewer& v = form.Viewer();
    const QString page = v.TabWidget() ? v.TabWidget()->tabText(v.CurrentPage()) : QStringLiteral("Default");
    ShowComparison(form, RunOfTree(v.GetCurrent()), QStringLiteral("This page (%1)").arg(page), other,
                   QFileInfo(file).fileName());
}

void CompareWithPage(FrmMain& form) {
    viewer::Viewer& v = form.Viewer();
    QTabWidget* tabs = v.TabWidget();
    if (!tabs) return;
    QStringList names;
    std::vector<int> pages;
    for (int page = 0; page < 5; ++page)
        if (page != v.CurrentPage() && tabs->isTabVisible(page)) {
            names << tabs->tabText(page);
            pages.push_back(page);
        }
    if (pages.empty()) {
        ShowErrors(QString::fromLatin1(kCaption), nullptr,
                   {0, QStringLiteral("No other page is open to compare with.")});
        return;
    }
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(&form, QStringLiteral("Compare With Page"),
                              QStringLiteral("Compare this page with:"), names, 0, false, &ok);
    if (!ok) return;
    const int other = pages[std::size_t(names.indexOf(chosen))];
    ShowComparison(form, RunOfTree(v.GetCurrent()), tabs->tabText(v.CurrentPage()), RunOfTree(v.Tree(other)),
                   chosen);
}

}  // namespace

void ConnectCompareCommands(FrmMain& form) {
    QAction* withPage = form.commands().Add(QStringLiteral("mnuFileCompareWithPage"),
                                            QStringLiteral("Compare With P&age..."));
    form.commands().On(QStringLiteral("mnuFileCompareWithPage"), [&form] { CompareWithPage(form); });
    QAction* compare =
        form.commands().Add(QStringLiteral("mnuFileCompareWith"), QStringLiteral("Co&mpare With..."));
    // After the recent logfiles, before the separator that follows them.
    if (QMenu* file = form.Menu(QStringLiteral("mnuFile"))) {
        const QList<QAction*> items = file->actions();
        qsizetype at = items.size();
        for (qsizetype i = 0; i < items.size(); ++i)
            if (items[i]->menu() && items[i]->menu()->objectName() == QLatin1String("mnuFileRecent"))
                at = i + 1;
        file->insertAction(at < items.size() ? items[at] : nullptr, compare);
        file->insertAction(at < items.size() ? items[at] : nullptr, withPage);
    }
    form.commands().On(QStringLiteral("mnuFileCompareWith"), [&form] { CompareWithFile(form); });
}

void CompareLater(FrmMain& form, const QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--compare"));
    if (at < 0) return;
    if (at + 2 >= arguments.size()) {
        std::fprintf(stderr, "tracewell32: --compare needs two files\n");
        return;
    }
    const QString a = arguments[at + 1], b = arguments[at + 2];
    QTimer::singleShot(0, &form, [&form, a, b] {
        std::vector<viewer::DiffMessage> ra, rb;
        QString why;
        for (const auto& [path, run] :
             {std::pair<const QString&, std::vector<viewer::DiffMessage>&>{a, ra}, {b, rb}}) {
            if (!ReadRunForCompare(path, run, why)) {
                ShowErrors(
                    QString::fromLatin1(kCaption), nullptr,
                    {75, QStringLiteral("Cannot compare %1: %2").arg(QDir::toNativeSeparators(path), why)});
                return;
            }
        }
        ShowComparison(form, ra, QFileInfo(a).fileName(), rb, QFileInfo(b).fileName());
    });
}

}  // namespace tw::window
