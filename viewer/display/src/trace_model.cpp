#include "tw/display/trace_model.hpp"

#include "tw/display/viewer_images.hpp"

#include <QBrush>
#include <QColor>

#include <algorithm>

namespace tw::viewer {

namespace {

constexpr int kManyChanges = 64;  // beyond this, one repaint instead of one signal per line

QColor ToQColor(Colour c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

}  // namespace

TraceModel::TraceModel(TraceTree& tree, QObject* parent) : QAbstractItemModel(parent), m_tree(&tree) {
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &TraceModel::FlushPending);
    m_boldFont.setBold(true);
    m_published = tree.Count();
    tree.AddObserver(this);
}

TraceModel::~TraceModel() {
    if (m_tree) m_tree->RemoveObserver(this);
}

int TraceModel::lineOf(quintptr id) const {
    if (!m_tree || id == 0) return 0;
    if (id != m_cachedId) {
        m_cachedLine = m_tree->LineOfKey(std::uint64_t(id));
        m_cachedId = id;
    }
    return m_cachedLine <= m_published ? m_cachedLine : 0;
}

int TraceModel::LineOf(const QModelIndex& index) const {
    return index.isValid() && index.model() == this ? lineOf(index.internalId()) : 0;
}

QModelIndex TraceModel::IndexOfLine(int line) const {
    if (!m_tree || line < 1 || line > m_published) return {};
    return createIndex(m_tree->Row(line), 0, quintptr(TraceTree::KeyOf(m_tree->Handle(line))));
}

QModelIndex TraceModel::index(int row, int column, const QModelIndex& parent) const {
    if (!m_tree || column < 0 || column >= columnCount() || row < 0) return {};
    const int p = parent.isValid() ? LineOf(parent) : 0;
    if (parent.isValid() && p == 0) return {};
    if (row >= m_tree->ChildCountUpTo(p, m_published)) return {};
    const int child = m_tree->Child(p, row);
    return createIndex(row, column, quintptr(TraceTree::KeyOf(m_tree->Handle(child))));
}

QModelIndex TraceModel::parent(const QModelIndex& child) const {
    const int line = LineOf(child);
    if (!line) return {};
    const int p = m_tree->Parent(line);
    return p ? createIndex(m_tree->Row(p), 0, quintptr(TraceTree::KeyOf(m_tree->Handle(p)))) : QModelIndex();
}

int TraceModel::rowCount(const QModelIndex& parent) const {
    if (!m_tree || parent.column() > 0) return 0;
    const int p = parent.isValid() ? LineOf(parent) : 0;
    if (parent.isValid() && p == 0) return 0;
    return m_tree->ChildCountUpTo(p, m_published);
}

int TraceModel::columnCount(const QModelIndex& parent) const {
    return parent.column() > 0 ? 0 : 1 + int(m_timeColumns.size());
}

void TraceModel::SetTimeColumns(const std::vector<TimeColumn>& columns) {
    if (columns == m_timeColumns) return;
    if (!m_timeColumns.empty()) {
        beginRemoveColumns({}, 1, int(m_timeColumns.size()));
        m_timeColumns.clear();
        endRemoveColumns();
    }
    if (!columns.empty()) {
        beginInsertColumns({}, 1, int(columns.size()));
        m_timeColumns = columns;
        endInsertColumns();
    }
}

QVariant TraceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == 0) return QStringLiteral("Line");
    if (section > 0 && section <= int(m_timeColumns.size()))
        return TimeColumnCaption(m_timeColumns[std::size_t(section - 1)]);
    return {};
}

bool TraceModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant TraceModel::data(const QModelIndex& index, int role) const {
    const int line = LineOf(index);
    if (!line) return {};
    if (index.column() > 0) {
        // A time column: its text, and the line's colours.
        if (role == Qt::DisplayRole) {
            if (index.column() > int(m_timeColumns.size())) return {};
            return TimeColumnText(*m_tree, line, m_timeColumns[std::size_t(index.column() - 1)]);
        }
        if (role == Qt::DecorationRole || role == Qt::ToolTipRole) return {};
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return m_tree->Text(line);
        case Qt::DecorationRole: {
            const QIcon& icon = ViewerImage(m_tree->Message(line).MessageIcon());
            return icon.isNull() ? QVariant() : QVariant(icon);
        }
        case Qt::BackgroundRole: {
            const Colour c = m_tree->BackColour(line);
            return c == kDefaultColour ? QVariant() : QVariant(QBrush(ToQColor(c)));
        }
        case Qt::ForegroundRole: {
            const Colour c = m_tree->ForeColour(line);
            return c == kDefaultColour ? QVariant() : QVariant(QBrush(ToQColor(c)));
        }
        case Qt::FontRole:
            return m_tree->Bold(line) ? QVariant(m_boldFont) : QVariant();
        case LineRole:
            return line;
        case MessageTypeRole:
            return m_tree->Message(line).MessageType();
        case RecordNumberRole:
            return m_tree->Message(line).RecordNumber();
        default:
            return {};
    }
}

Qt::ItemFlags TraceModel::flags(const QModelIndex& index) const {
    const int line = LineOf(index);
    if (!line) return Qt::NoItemFlags;
    // New lines only ever hang on the path from the top level to the last line, so a line
    // without children that is not the last one never gets any: saying so spares a view's
    // layout its expanded-state lookups for almost every row.
    if (line != m_tree->Count() && m_tree->ChildCount(line) == 0)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void TraceModel::ReportLayoutCost(qint64 milliseconds) { m_layoutCost = milliseconds; }

int TraceModel::FlushInterval() const {
    // Publish appended lines ten times a second. A view that had to lay all its rows out
    // again (its cost grows with the lines; appends in place report none) slows that down so
    // laying out takes at most a tenth of the time (never less often than every 4 s), so a
    // stream is taken about as fast into a big page as into a small one.
    return int(std::clamp<qint64>(10 * m_layoutCost, 100, 4000));
}

void TraceModel::ScheduleFlush(bool soon) {
    // Colour changes go out at the next turn of the event loop.
    const int interval = soon ? 0 : FlushInterval();
    if (m_flushTimer.isActive() && m_flushTimer.remainingTime() <= interval) return;
    m_flushTimer.start(interval);
}

void TraceModel::FlushPending() {
    m_flushTimer.stop();
    if (!m_tree) return;
    const int first = m_published + 1;
    const int count = m_tree->Count();
    // New lines hang on the path to the last shown line: publish them parent by parent,
    // deepest first, which is index order, so the shown lines always form a prefix.
    int i = first;
    while (i <= count) {
        const int p = m_tree->Parent(i);
        const int firstRow = m_tree->Row(i);
        const int lastRow = m_tree->ChildCount(p) - 1;
        const int end = m_tree->LastInSubtree(m_tree->Child(p, lastRow));
        beginInsertRows(IndexOfLine(p), firstRow, lastRow);
        m_published = end;
        endInsertRows();
        i = end + 1;
    }
    // Lines that were expanded before views knew them.
    for (int line = first; line <= count; ++line) {
        if (m_tree->IsExpanded(line) && m_tree->ChildCount(line) > 0)
            emit expandRequested(IndexOfLine(line), true);
    }
    if (m_manyChanged) {
        const int rows = rowCount();
        if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, columnCount() - 1));
    } else {
        for (int line : m_changedLines) {
            const QModelIndex idx = IndexOfLine(line);
            if (idx.isValid()) emit dataChanged(idx, idx.siblingAtColumn(columnCount() - 1));
        }
    }
    m_changedLines.clear();
    m_manyChanged = false;
}

// Called for every stored line: a flush already pending takes this line too.
void TraceModel::LinesAppended() {
    if (!m_flushTimer.isActive()) ScheduleFlush(false);
}

void TraceModel::LinesAboutToBeRemoved(int first, int /*last*/) {
    FlushPending();
    m_cachedId = 0;
    const int p = m_tree->Parent(first);
    const int row = m_tree->Row(first);
    beginRemoveRows(IndexOfLine(p), row, row);
}

void TraceModel::LinesRemoved(int first, int last) {
    m_published -= last - first + 1;
    m_cachedId = 0;
    // Changed lines were renumbered; repaint rather than track them.
    if (!m_changedLines.empty()) m_manyChanged = true;
    m_changedLines.clear();
    endRemoveRows();
}

void TraceModel::AboutToClear() {
    m_flushTimer.stop();
    m_layoutCost = 0;
    beginResetModel();
}

void TraceModel::Cleared() {
    m_published = 0;
    m_cachedId = 0;
    m_changedLines.clear();
    m_manyChanged = false;
    endResetModel();
}

void TraceModel::LineChanged(int index) {
    if (index > m_published) return;  // shown with its colours when published
    if (!m_manyChanged) {
        if (!m_changedLines.empty() && m_changedLines.back() == index) {
            // the same line again (colour and bold of one mark)
        } else if (int(m_changedLines.size()) < kManyChanges) {
            m_changedLines.push_back(index);
        } else {
            m_manyChanged = true;
            m_changedLines.clear();
        }
    }
    ScheduleFlush(true);
}

void TraceModel::ExpandedChanged(int index, bool expanded) {
    if (index <= m_published) emit expandRequested(IndexOfLine(index), expanded);
}

void TraceModel::SelectionChanged(int index, bool makeVisible) {
    if (index > m_published) FlushPending();
    emit selectionRequested(IndexOfLine(index), makeVisible);
}

void TraceModel::TreeDestroyed() {
    beginResetModel();
    m_tree = nullptr;
    m_published = 0;
    m_flushTimer.stop();
    endResetModel();
}

}  // namespace tw::viewer
