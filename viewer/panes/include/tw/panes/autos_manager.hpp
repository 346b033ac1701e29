#pragma once
// The autos pane (tvwAutos): for every object whose value the formulas sent, the history of
// its values, grouped by the formula they were sent from.

#include "tw/core/message_sink.hpp"

#include <QAbstractItemModel>
#include <QHash>
#include <QString>
#include <QTimer>

#include <unordered_map>
#include <vector>

class QTreeView;

namespace tw::viewer {

class AutosManager;
class TracePages;

// The autos tree shown to a view. Nodes reach the view in batches (a timer publishes what
// was added since the last flush), so a stream of object messages never relays a view out
// per value.
class AutosModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit AutosModel(AutosManager& manager);
    // Publishes the nodes added since the last flush (normally a timer does it).
    void FlushPending();
    // The model index of a node, invalid for 0 or a node not yet published.
    QModelIndex IndexOfNode(int node) const;
    int NodeOf(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    friend class AutosManager;
    void ChildAdded(int listSlot);
    void Reset(const std::function<void()>& clear);
    bool IsPublished(int node) const;

    AutosManager& m_manager;
    QTimer m_flushTimer;
    std::vector<int> m_dirtySlots;  // child lists with children not yet published
};

// Fills the autos tree from object messages. Nodes, by level:
//  - object node (top level): the object name, one per name (names compare exactly);
//  - formula node (child of an object node): the text of the formula entry the value was
//    sent from, one per object and formula text;
//  - value node: "0#####" record number, two blanks, the object value; one per message.
// Nodes are numbered 1.. in the order they were made; nothing is removed but by Clear.
class AutosManager {
public:
    // pages must outlive the manager; its default tree tells the formula around a value.
    explicit AutosManager(TracePages& pages);
    AutosManager(const AutosManager&) = delete;
    AutosManager& operator=(const AutosManager&) = delete;

    // Files an object message (other types change nothing). Call it after the message's line
    // was added to the default tree. A value node keeps the message itself, not a copy of
    // its texts.
    void Update(const MessageRef& message);
    // Removes every node.
    void Clear();

    // ---- reading the tree ----
    enum class Kind : std::uint8_t { Object, Formula, Value };
    int NodeCount() const { return int(m_nodes.size()); }
    // Children of a node; 0 stands for the top level. row is 0-based.
    int ChildCount(int node) const;
    int Child(int node, int row) const;
    int Parent(int node) const { return m_nodes[std::size_t(node - 1)].parent; }
    int Row(int node) const { return m_nodes[std::size_t(node - 1)].row; }
    Kind KindOf(int node) const { return m_nodes[std::size_t(node - 1)].kind; }
    // The node's text as the tree shows it.
    QString Text(int node) const;
    // The object nodes in the order they were made.
    const std::vector<int>& ObjectNodes() const { return m_objectNodes; }

    AutosModel& Model() { return m_model; }
    // Shows the tree in tvwAutos.
    void AttachView(QTreeView* view);

    // "0#####": at least six digits, a minus sign in front of a negative number.
    static QString FormatRecordNumber(qint32 recordNumber);

private:
    friend class AutosModel;
    // 24 bytes: a value node is made for every object message, so it only points at it.
    struct Node {
        MessageRef message;    // value nodes: the object message (value, record number)
        int parent = 0;        // 0: top level
        int row = 0;           // position among the parent's children
        int slot = -1;         // child list of an object or formula node, -1 for a value node
        Kind kind = Kind::Value;
    };
    struct ChildList {
        std::vector<int> children;
        int published = 0;     // children the model has announced
        bool dirty = false;
        int owner = 0;         // node that owns the list, 0 for the top level
        QString text;          // the owner's text: object name or formula text
    };
    struct FormulaKey {
        int objectNode;
        QString text;
        bool operator==(const FormulaKey& o) const { return objectNode == o.objectNode && text == o.text; }
    };
    struct FormulaKeyHash {
        std::size_t operator()(const FormulaKey& k) const noexcept {
            return std::size_t(qHash(k.text)) ^ (std::size_t(k.objectNode) * 0x9E3779B97F4A7C15ull);
        }
    };

    // Adds an object or formula node (text), or a value node (message), as the last child of
    // parent.
    int AddNode(int parent, Kind kind, QString text, MessageRef message = {});

    TracePages& m_pages;
    std::vector<Node> m_nodes;
    std::vector<ChildList> m_lists;  // slot 0: the top level
    std::vector<int> m_objectNodes;
    QHash<QString, int> m_objectByName;
    std::unordered_map<FormulaKey, int, FormulaKeyHash> m_formulaNodes;
    AutosModel m_model{*this};
};

}  // namespace tw::viewer
