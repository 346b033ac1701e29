#include "tw/panes/autos_manager.hpp"

#include "tw/core/trace_pages.hpp"
#include "tw/core/trace_tree.hpp"

#include <QTreeView>

#include <algorithm>

namespace tw::viewer {

namespace {
constexpr int kFlushDelayMs = 40;
constexpr qint32 kEnterFormula = 6;
}  // namespace

// ---------------------------------------------------------------- AutosManager

AutosManager::AutosManager(TracePages& pages) : m_pages(pages) { m_lists.push_back({}); }

QString AutosManager::FormatRecordNumber(qint32 recordNumber) {
    const qint64 n = recordNumber;
    QString digits = QString::number(n < 0 ? -n : n).rightJustified(6, QLatin1Char('0'));
    return n < 0 ? QLatin1Char('-') + digits : digits;
}

QString AutosManager::Text(int node) const {
    const Node& n = m_nodes[std::size_t(node - 1)];
    if (n.kind != Kind::Value) return m_lists[std::size_t(n.slot)].text;
    return FormatRecordNumber(n.message->RecordNumber()) + QLatin1String("  ") + n.message->ObjectValue();
}

int AutosManager::ChildCount(int node) const {
    const int slot = node == 0 ? 0 : m_nodes[std::size_t(node - 1)].slot;
    return slot < 0 ? 0 : int(m_lists[std::size_t(slot)].children.size());
}

int AutosManager::Child(int node, int row) const {
    const int slot = node == 0 ? 0 : m_nodes[std::size_t(node - 1)].slot;
    return m_lists[std::size_t(slot)].children[std::size_t(row)];
}

int AutosManager::AddNode(int parent, Kind kind, QString text, MessageRef message) {
    const int slot = parent == 0 ? 0 : m_nodes[std::size_t(parent - 1)].slot;
    ChildList& list = m_lists[std::size_t(slot)];
    const int id = int(m_nodes.size()) + 1;
    Node n;
    n.message = std::move(message);
    n.parent = parent;
    n.row = int(list.children.size());
    n.kind = kind;
    if (kind != Kind::Value) {
        n.slot = int(m_lists.size());
        ChildList own;
        own.owner = id;
        own.text = std::move(text);
        m_lists.push_back(std::move(own));
    }
    // m_lists may have grown: take the parent's list afresh.
    m_lists[std::size_t(slot)].children.push_back(id);
    m_nodes.push_back(std::move(n));
    m_model.ChildAdded(slot);
    return id;
}

void AutosManager::Update(const MessageRef& ref) {
    if (!ref || !IsType(ref->MessageType(), EnumMessageType::SendObject)) return;
    const MessageSink& message = *ref;

    // One object node per name. Names compare exactly, so "Total" and "TOTAL" are two
    // objects and neither loses its values.
    const QString name = message.ObjectName();
    int object = m_objectByName.value(name, 0);
    if (object == 0) {
        object = AddNode(0, Kind::Object, name);
        m_objectNodes.push_back(object);
        m_objectByName.insert(name, object);
    }

    // The message's own line is the last line of the default tree; a value sent inside a
    // formula hangs under the formula's entry line.
    const TraceTree& tree = m_pages.GetDefault();
    const int last = tree.Count();
    const int parent = last > 0 ? tree.Parent(last) : 0;
    if (parent == 0 || tree.Message(parent).MessageType() != kEnterFormula) {
        AddNode(object, Kind::Value, {}, ref);
        return;
    }

    // One formula node per object and formula text; keyed by the pair, so no combination of
    // object name and formula text can be taken for another.
    FormulaKey key{object, tree.Message(parent).Message()};
    auto found = m_formulaNodes.find(key);
    int formula = 0;
    if (found == m_formulaNodes.end()) {
        formula = AddNode(object, Kind::Formula, key.text);
        m_formulaNodes.emplace(std::move(key), formula);
    } else {
        formula = found->second;
    }
    AddNode(formula, Kind::Value, {}, ref);
}

void AutosManager::Clear() {
    m_model.Reset([this] {
        m_nodes.clear();
        m_lists.clear();
        m_lists.push_back({});
        m_objectNodes.clear();
        m_objectByName.clear();
        m_formulaNodes.clear();
    });
}

void AutosManager::AttachView(QTreeView* view) {
    view->setModel(&m_model);
    view->setHeaderHidden(true);
    view->setUniformRowHeights(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

// ---------------------------------------------------------------- AutosModel

AutosModel::AutosModel(AutosManager& manager) : m_manager(manager) {
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kFlushDelayMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &AutosModel::FlushPending);
}

void AutosModel::ChildAdded(int slot) {
    auto& list = m_manager.m_lists[std::size_t(slot)];
    if (list.dirty) return;
    list.dirty = true;
    m_dirtySlots.push_back(slot);
    if (!m_flushTimer.isActive()) m_flushTimer.start();
}

bool AutosModel::IsPublished(int node) const {
    if (node == 0) return true;
    const auto& n = m_manager.m_nodes[std::size_t(node - 1)];
    const int slot = n.parent == 0 ? 0 : m_manager.m_nodes[std::size_t(n.parent - 1)].slot;
    return n.row < m_manager.m_lists[std::size_t(slot)].published && IsPublished(n.parent);
}

void AutosModel::FlushPending() {
    m_flushTimer.stop();
    if (m_dirtySlots.empty()) return;
    auto& manager = m_manager;
    // A list's owner is made before its children, and the lists were made in node order, so
    // in slot order every owner is published before its own children are announced.
    std::sort(m_dirtySlots.begin(), m_dirtySlots.end());
    const std::vector<int> pending = std::move(m_dirtySlots);
    m_dirtySlots.clear();
    for (int slot : pending) {
        auto& list = manager.m_lists[std::size_t(slot)];
        list.dirty = false;
        const int total = int(list.children.size());
        if (total <= list.published) continue;
        beginInsertRows(IndexOfNode(list.owner), list.published, total - 1);
        list.published = total;
        endInsertRows();
    }
}

void AutosModel::Reset(const std::function<void()>& clear) {
    m_flushTimer.stop();
    beginResetModel();
    m_dirtySlots.clear();
    clear();
    endResetModel();
}

QModelIndex AutosModel::IndexOfNode(int node) const {
    if (node < 1 || node > m_manager.NodeCount() || !IsPublished(node)) return {};
    return createIndex(m_manager.Row(node), 0, quintptr(node));
}

int AutosModel::NodeOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this) return 0;
    return int(index.internalId());
}

QModelIndex AutosModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    const int p = parent.isValid() ? NodeOf(parent) : 0;
    if (parent.isValid() && p == 0) return {};
    if (row >= rowCount(parent)) return {};
    return createIndex(row, 0, quintptr(m_manager.Child(p, row)));
}

QModelIndex AutosModel::parent(const QModelIndex& child) const {
    const int node = NodeOf(child);
    if (node == 0) return {};
    const int p = m_manager.Parent(node);
    return p == 0 ? QModelIndex() : createIndex(m_manager.Row(p), 0, quintptr(p));
}

int AutosModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    const int node = parent.isValid() ? NodeOf(parent) : 0;
    const int slot = node == 0 ? 0 : m_manager.m_nodes[std::size_t(node - 1)].slot;
    return slot < 0 ? 0 : m_manager.m_lists[std::size_t(slot)].published;
}

int AutosModel::columnCount(const QModelIndex&) const { return 1; }

bool AutosModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant AutosModel::data(const QModelIndex& index, int role) const {
    const int node = NodeOf(index);
    if (node == 0 || role != Qt::DisplayRole) return {};
    return m_manager.Text(node);
}

}  // namespace tw::viewer
