#include "tw/display/trace_view_accessible.hpp"

#include "tw/display/trace_view.hpp"

#include <QPointer>
#include <QScrollBar>

namespace tw::viewer {

namespace {

// One shown row of a trace view, as a cell of the tree.
class RowAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
  public:
    RowAccessible(TraceView* view, int row) : m_view(view), m_row(row) {}

    // The line of the row, 0 when the row or its view is gone (then view is nullptr too).
    int Line(TraceView** view = nullptr) const {
        TraceView* v = m_view.data();
        const int line = v && v->Tree() ? v->Rows().LineAt(m_row) : 0;
        if (view) *view = line ? v : nullptr;
        return line;
    }

    bool isValid() const override { return Line() != 0; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        const TraceView* view = m_view.data();
        return view ? view->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_view.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::TreeItem; }

    QString text(QAccessible::Text t) const override {
        TraceView* view = nullptr;
        const int line = Line(&view);
        if (!view) return {};
        const TraceTree& tree = *view->Tree();
        switch (t) {
            case QAccessible::Name:
            case QAccessible::Value:
                return tree.Text(line);
            case QAccessible::Description:
                return QStringLiteral("Level %1").arg(tree.Level(line) + 1);
            default:
                return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        TraceView* view = nullptr;
        const int line = Line(&view);
        if (!view) return {};
        const QRect local = view->LineRect(line);
        if (!local.intersects(view->viewport()->rect())) return {};
        return QRect(view->viewport()->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        TraceView* view = nullptr;
        const int line = Line(&view);
        if (!view) return s;
        const TraceTree& tree = *view->Tree();
        s.selectable = true;
        s.focusable = true;
        s.selected = tree.Selected() == line;
        s.focused = s.selected && view->hasFocus();
        s.active = s.selected;
        if (tree.ChildCount(line) > 0) {
            s.expandable = true;
            s.expanded = tree.IsExpanded(line);
            s.collapsed = !s.expanded;
        }
        if (!view->LineRect(line).intersects(view->viewport()->rect())) {
            s.invisible = true;
            s.offscreen = true;
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this)
                                                       : nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override { return state().selected; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return 0; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

  private:
    QPointer<TraceView> m_view;
    int m_row;
};

QAccessibleInterface* Factory(const QString& key, QObject* object) {
    if (key == QLatin1String("tw::viewer::TraceView") && object && object->isWidgetType())
        return new TraceViewAccessible(static_cast<TraceView*>(object));
    return nullptr;
}

TraceViewAccessible* InterfaceOf(TraceView* view) {
    if (!view || !QAccessible::isActive()) return nullptr;
    return dynamic_cast<TraceViewAccessible*>(QAccessible::queryAccessibleInterface(view));
}

}  // namespace

void InstallTraceViewAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

TraceViewAccessible::TraceViewAccessible(TraceView* view) : QAccessibleWidget(view, QAccessible::Tree) {}

TraceViewAccessible::~TraceViewAccessible() { DropCells(); }

TraceView* TraceViewAccessible::View() const { return static_cast<TraceView*>(widget()); }

void TraceViewAccessible::DropCells() {
    for (const auto& [row, id] : m_cells) QAccessible::deleteAccessibleInterface(id);
    m_cells.clear();
}

int TraceViewAccessible::rowCount() const {
    TraceView* view = View();
    return view && view->Tree() ? view->Rows().Count() : 0;
}

int TraceViewAccessible::childCount() const { return rowCount(); }

QAccessibleInterface* TraceViewAccessible::cellAt(int row, int column) const {
    if (column != 0 || row < 0 || row >= rowCount()) return nullptr;
    if (const auto it = m_cells.find(row); it != m_cells.end())
        return QAccessible::accessibleInterface(it->second);
    auto* cell = new RowAccessible(View(), row);
    m_cells.emplace(row, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessibleInterface* TraceViewAccessible::child(int index) const { return cellAt(index, 0); }

int TraceViewAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* cell = child ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
    return cell && child->parent() == this ? cell->rowIndex() : -1;
}

QAccessibleInterface* TraceViewAccessible::childAt(int x, int y) const {
    TraceView* view = View();
    if (!view) return nullptr;
    const QPoint local = view->viewport()->mapFromGlobal(QPoint(x, y));
    const int line = view->LineAt(local);
    return line ? cellAt(view->Rows().RowOf(line), 0) : nullptr;
}

QAccessibleInterface* TraceViewAccessible::focusChild() const {
    TraceView* view = View();
    const int line = view ? view->CurrentLine() : 0;
    return line && view->Rows().IsShown(line) ? cellAt(view->Rows().RowOf(line), 0) : nullptr;
}

void* TraceViewAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int TraceViewAccessible::selectedCellCount() const { return focusChild() ? 1 : 0; }

QList<QAccessibleInterface*> TraceViewAccessible::selectedCells() const {
    if (QAccessibleInterface* cell = focusChild()) return {cell};
    return {};
}

QList<int> TraceViewAccessible::selectedRows() const {
    TraceView* view = View();
    const int line = view ? view->CurrentLine() : 0;
    if (line && view->Rows().IsShown(line)) return {view->Rows().RowOf(line)};
    return {};
}

bool TraceViewAccessible::isRowSelected(int row) const {
    const QList<int> rows = selectedRows();
    return !rows.isEmpty() && rows.front() == row;
}

bool TraceViewAccessible::selectRow(int row) {
    TraceView* view = View();
    if (!view || row < 0 || row >= rowCount()) return false;
    view->SetCurrentLine(view->Rows().LineAt(row));
    return true;
}

bool TraceViewAccessible::unselectRow(int row) {
    TraceView* view = View();
    if (!view || !isRowSelected(row)) return false;
    view->SetCurrentLine(0);
    return true;
}

void TraceViewAccessible::Reset(TraceView* view) {
    TraceViewAccessible* self = InterfaceOf(view);
    if (!self) return;
    self->DropCells();
    QAccessibleTableModelChangeEvent event(view, QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&event);
}

void TraceViewAccessible::RowsChanged(TraceView* view, int previousRows) {
    TraceViewAccessible* self = InterfaceOf(view);
    if (!self) return;
    const int rows = self->rowCount();
    if (previousRows < 0 || rows < previousRows) {
        Reset(view);
        return;
    }
    // Rows only ever come at the end.
    QAccessibleTableModelChangeEvent event(view, QAccessibleTableModelChangeEvent::RowsInserted);
    event.setFirstRow(previousRows);
    event.setLastRow(rows - 1);
    event.setFirstColumn(0);
    event.setLastColumn(0);
    QAccessible::updateAccessibility(&event);
}

void TraceViewAccessible::FocusChanged(TraceView* view, int line) {
    TraceViewAccessible* self = InterfaceOf(view);
    if (!self || !line || !view->Rows().IsShown(line)) return;
    QAccessibleInterface* cell = self->cellAt(view->Rows().RowOf(line), 0);
    if (!cell) return;
    QAccessibleEvent selection(cell, QAccessible::SelectionAdd);
    QAccessible::updateAccessibility(&selection);
    if (view->hasFocus()) {
        QAccessibleEvent focus(cell, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

}  // namespace tw::viewer
