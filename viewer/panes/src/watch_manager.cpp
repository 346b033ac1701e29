#include "tw/panes/watch_manager.hpp"

#include "tw/core/trace_pages.hpp"
#include "tw/core/trace_tree.hpp"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSet>
#include <QTreeView>

namespace tw::viewer {

namespace {

constexpr int kFlushDelayMs = 40;

// Whether text, upper-cased, equals upper (already upper-cased). Plain ASCII text is compared
// in place; anything else is upper-cased the same way the watch's own text was.
bool UpperEquals(QStringView text, const QString& upper) {
    if (text.size() != upper.size()) {
        // Upper-casing can change the length only outside ASCII (German sharp s and the like).
        bool ascii = true;
        for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
        if (ascii) return false;
        return text.toString().toUpper() == upper;
    }
    const QChar* u = upper.constData();
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t c = text[i].unicode();
        if (c >= 0x80) return text.toString().toUpper() == upper;
        if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
        if (c != u[i].unicode()) return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- WatchManager

WatchManager::WatchManager(TracePages& pages) : m_pages(pages) {}

QString WatchManager::NodeText(int node) const {
    if (node == 1) return QStringLiteral("Watches");
    return m_watches[std::size_t(node - 2)].text;
}

void WatchManager::Add(const Watch& watch) {
    if (!m_hasRoot) {
        m_treeModel.beginInsertRows({}, 0, 0);
        m_hasRoot = true;
        m_treeModel.endInsertRows();
    }
    const int row = int(m_watches.size());
    m_treeModel.beginInsertRows(m_treeModel.IndexOfNode(1), row, row);
    m_watches.push_back({watch, watch.Text(), watch.ObjectName().toUpper(), watch.Value().toUpper()});
    m_treeModel.endInsertRows();
    if (m_treeView) m_treeView->expand(m_treeModel.IndexOfNode(1));
}

void WatchManager::Select(int node) {
    if (node < 0 || node > NodeCount()) return;
    m_selected = node;
    if (m_treeView && m_treeView->selectionModel()) {
        const QModelIndex index = m_treeModel.IndexOfNode(node);
        if (m_treeView->selectionModel()->currentIndex() != index)
            m_treeView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
}

void WatchManager::Delete() {
    if (NodeCount() == 0 || m_selected < 2) return;
    const int row = m_selected - 2;
    m_selected = 0;
    m_treeModel.beginRemoveRows(m_treeModel.IndexOfNode(1), row, row);
    m_watches.erase(m_watches.begin() + row);
    m_treeModel.endRemoveRows();
    // The view moves its current node to a neighbour and reports it; keep what it chose.
    if (m_treeView && m_treeView->selectionModel())
        m_selected = m_treeModel.NodeOf(m_treeView->selectionModel()->currentIndex());
}

void WatchManager::DeleteAll() {
    m_treeModel.beginResetModel();
    m_watches.clear();
    m_hasRoot = false;
    m_selected = 0;
    m_treeModel.endResetModel();
}

void WatchManager::ClearResults() {
    m_resultsModel.Reset([this] { m_results.clear(); });
}

bool WatchManager::IsMatchUpper(const QString& op, const QString& v, const QString& m) {
    // Texts compare by the values of their UTF-16 code units, left to right; a prefix sorts
    // first. Never as numbers: "99" > "100".
    if (op == u"=") return m == v;
    if (op == u"<") return m < v;
    if (op == u"<=") return m <= v;
    if (op == u">") return m > v;
    if (op == u">=") return m >= v;
    if (op == u"<>") return m != v;
    if (op == u"Like") return m.contains(v);  // a plain substring; '*' and '?' are ordinary
    return false;
}

bool WatchManager::IsMatch(const Watch& watch, const QString& name, const QString& value) {
    if (name.toUpper() != watch.ObjectName().toUpper()) return false;
    return IsMatchUpper(watch.Operator(), watch.Value().toUpper(), value.toUpper());
}

void WatchManager::Evaluate(const MessageSink& message) {
    if (m_watches.empty()) return;  // at most the root: no watch
    if (!IsType(message.MessageType(), EnumMessageType::SendObject)) return;
    const QString name = message.ObjectName();
    QString upperValue;
    bool haveValue = false;
    const std::size_t before = m_results.size();
    for (const Entry& e : m_watches) {
        if (!UpperEquals(name, e.upperName)) continue;
        if (!haveValue) {
            upperValue = message.ObjectValue().toUpper();
            haveValue = true;
        }
        if (IsMatchUpper(e.watch.Operator(), e.upperValue, upperValue))
            m_results.push_back({e.watch.ObjectName(), e.text, message.ObjectValue(), message.RecordNumber()});
    }
    if (m_results.size() != before) m_resultsModel.RowsAppended();
}

QStringList WatchManager::GetObjectNameList() const {
    QStringList names;
    QSet<QString> seen;  // upper-cased keys
    const TraceTree& tree = m_pages.GetDefault();
    const int count = tree.Count();
    for (int i = 1; i <= count; ++i) {
        const MessageSink& m = tree.Message(i);
        if (!IsType(m.MessageType(), EnumMessageType::SendObject)) continue;
        const QString name = m.ObjectName();
        QString key = name.toUpper();
        if (seen.contains(key)) continue;
        seen.insert(std::move(key));
        names.append(name);
    }
    return names;
}

void WatchManager::AttachViews(QTreeView* tree, QTreeView* results, IconSource icons) {
    m_treeModel.SetIcons(icons);
    m_resultsModel.SetIcons(std::move(icons));
    if (tree) {
        m_treeView = tree;
        tree->setModel(&m_treeModel);
        tree->setHeaderHidden(true);
        QObject::connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, &m_treeModel,
                         [this](const QModelIndex& current) { m_selected = m_treeModel.NodeOf(current); });
        QObject::connect(&m_treeModel, &QAbstractItemModel::modelReset, tree, [this] { m_selected = 0; });
    }
    if (results) {
        results->setModel(&m_resultsModel);
        results->setRootIsDecorated(false);
        results->setItemsExpandable(false);
        results->setUniformRowHeights(true);
        results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
}

// ---------------------------------------------------------------- WatchTreeModel

QModelIndex WatchTreeModel::IndexOfNode(int node) const {
    if (node < 1 || node > m_manager.NodeCount()) return {};
    if (node == 1) return createIndex(0, 0, quintptr(0));
    return createIndex(node - 2, 0, quintptr(1));  // id 1: a child of the root
}

int WatchTreeModel::NodeOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) return 0;
    return index.internalId() == 0 ? 1 : index.row() + 2;
}

QModelIndex WatchTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    if (!parent.isValid()) return row == 0 && m_manager.NodeCount() > 0 ? IndexOfNode(1) : QModelIndex();
    if (NodeOf(parent) != 1 || row >= m_manager.NodeCount() - 1) return {};
    return createIndex(row, 0, quintptr(1));
}

QModelIndex WatchTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == 0) return {};
    return IndexOfNode(1);
}

int WatchTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return m_manager.NodeCount() > 0 ? 1 : 0;
    if (parent.column() != 0) return 0;
    return NodeOf(parent) == 1 ? m_manager.NodeCount() - 1 : 0;
}

int WatchTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant WatchTreeModel::data(const QModelIndex& index, int role) const {
    const int node = NodeOf(index);
    if (node == 0) return {};
    if (role == Qt::DisplayRole) return m_manager.NodeText(node);
    if (role == Qt::DecorationRole && m_icons) return m_icons(m_manager.NodeImage(node));
    return {};
}

// ---------------------------------------------------------------- WatchResultsModel

WatchResultsModel::WatchResultsModel(const WatchManager& manager) : m_manager(manager) {
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kFlushDelayMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &WatchResultsModel::FlushPending);
}

void WatchResultsModel::RowsAppended() {
    if (!m_flushTimer.isActive()) m_flushTimer.start();
}

void WatchResultsModel::FlushPending() {
    m_flushTimer.stop();
    const int count = m_manager.ResultCount();
    if (count <= m_published) return;
    beginInsertRows({}, m_published, count - 1);
    m_published = count;
    endInsertRows();
}

void WatchResultsModel::Reset(const std::function<void()>& clear) {
    m_flushTimer.stop();
    beginResetModel();
    clear();
    m_published = 0;
    endResetModel();
}

int WatchResultsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_published; }

int WatchResultsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant WatchResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_published) return {};
    const WatchResult& r = m_manager.Result(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case 0: return r.objectName;
            case 1: return r.expression;
            case 2: return r.value;
            case 3: return QString::number(r.recordNumber);
            default: return {};
        }
    }
    if (role == Qt::DecorationRole && m_icons) {
        static constexpr int kIcons[4] = {watch_icons::kObject, watch_icons::kExpression, watch_icons::kValue,
                                          watch_icons::kRecordNumber};
        if (index.column() >= 0 && index.column() < 4) return m_icons(kIcons[index.column()]);
    }
    return {};
}

QVariant WatchResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case 0: return QStringLiteral("Object");
        case 1: return QStringLiteral("Expression");
        case 2: return QStringLiteral("Value");
        case 3: return QStringLiteral("Record Number");
        default: return {};
    }
}

}  // namespace tw::viewer
