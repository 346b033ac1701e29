#pragma once
// The watches pane: the watch tree (tvwWatch) and the results list (lvwWatch).

#include "tw/core/message_sink.hpp"
#include "tw/panes/watch.hpp"

#include <QAbstractItemModel>
#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

class QTreeView;

namespace tw::viewer {

class TracePages;
class WatchManager;

// Pictures of the main window's icon list by index; a null icon when there is none.
using IconSource = std::function<QIcon(int)>;

// Indices into the main window's icon list that the pane shows.
namespace watch_icons {
inline constexpr int kRoot = 2;
inline constexpr int kValue = 20;
inline constexpr int kRecordNumber = 31;
inline constexpr int kExpression = 32;  // also every watch node
inline constexpr int kObject = 33;
}  // namespace watch_icons

// One hit of a watch: a row of the results list.
struct WatchResult {
    QString objectName;   // the watch's object name, in the watch's letter case
    QString expression;   // the watch's node text
    QString value;        // the message's object value
    qint32 recordNumber;  // the message's record number
};

// The watch tree shown to a view: the root "Watches" with one child per watch.
class WatchTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit WatchTreeModel(const WatchManager& manager) : m_manager(manager) {}
    void SetIcons(IconSource icons) { m_icons = std::move(icons); }
    // The model index of a node (1: root), invalid for 0 or a node that does not exist.
    QModelIndex IndexOfNode(int node) const;
    // The node of an index, 0 for an invalid index.
    int NodeOf(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    friend class WatchManager;
    const WatchManager& m_manager;
    IconSource m_icons;
};

// The results list shown to a view: four columns, one row per hit. Rows are published in
// batches, so a stream of hits never relays a view out per row.
class WatchResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit WatchResultsModel(const WatchManager& manager);
    void SetIcons(IconSource icons) { m_icons = std::move(icons); }
    // Publishes the rows appended since the last flush (normally a timer does it).
    void FlushPending();
    int PublishedCount() const { return m_published; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    friend class WatchManager;
    void RowsAppended();
    void Reset(const std::function<void()>& clear);

    const WatchManager& m_manager;
    IconSource m_icons;
    int m_published = 0;
    QTimer m_flushTimer;
};

// Owns the watches (the tree is their only store) and the hits they produced. Node 1 is the
// root "Watches"; nodes 2.. are the watches in the order they were added.
class WatchManager {
public:
    // pages must outlive the manager; its default tree is read by GetObjectNameList.
    explicit WatchManager(TracePages& pages);
    WatchManager(const WatchManager&) = delete;
    WatchManager& operator=(const WatchManager&) = delete;

    // Appends the watch under the root, creating the root first when the tree is empty.
    void Add(const Watch& watch);
    // Removes the selected watch node; nothing when no node or the root is selected.
    void Delete();
    // Removes every node, the root included.
    void DeleteAll();
    // Removes every row of the results list.
    void ClearResults();
    // Tests an object message against every watch, appending one row per hit in tree order.
    void Evaluate(const MessageSink& message);
    // The distinct object names of the default trace, in order of first appearance; names
    // differing only in letter case appear once, as first seen.
    QStringList GetObjectNameList() const;

    // ---- the watch tree ----
    int NodeCount() const { return m_hasRoot ? 1 + int(m_watches.size()) : 0; }
    QString NodeText(int node) const;
    int NodeImage(int node) const { return node == 1 ? watch_icons::kRoot : watch_icons::kExpression; }
    // The watch of a node (2..NodeCount()).
    const Watch& WatchOf(int node) const { return m_watches[std::size_t(node - 2)].watch; }
    // The selected node, 0 when none.
    int Selected() const { return m_selected; }
    // Selects a node (0: none); ignored for a node that does not exist.
    void Select(int node);

    // ---- the results list ----
    int ResultCount() const { return int(m_results.size()); }
    const WatchResult& Result(int row) const { return m_results[std::size_t(row)]; }

    WatchTreeModel& TreeModel() { return m_treeModel; }
    WatchResultsModel& ResultsModel() { return m_resultsModel; }
    // Shows the tree in tvwWatch and the results in lvwWatch, with pictures from icons; the
    // tree view's current node becomes the selected node.
    void AttachViews(QTreeView* tree, QTreeView* results, IconSource icons);

private:
    // A watch with the upper-cased texts its tests compare, worked out once.
    struct Entry {
        Watch watch;
        QString text;         // node text
        QString upperName;
        QString upperValue;
    };
    // The test of one watch against an object message's name and value.
    static bool IsMatch(const Watch& watch, const QString& name, const QString& value);
    // The same test with the upper-cased texts already at hand.
    static bool IsMatchUpper(const QString& op, const QString& upperValue, const QString& upperMessageValue);

    TracePages& m_pages;
    bool m_hasRoot = false;
    std::vector<Entry> m_watches;
    int m_selected = 0;
    std::vector<WatchResult> m_results;
    WatchTreeModel m_treeModel{*this};
    WatchResultsModel m_resultsModel{*this};
    QTreeView* m_treeView = nullptr;

    friend class WatchManagerTestPeer;
};

}  // namespace tw::viewer
