#pragma once
// What screen readers see of a trace view: a tree whose shown rows are cells named with
// their line text, with level, expanded or collapsed, selected and focused states, and the
// focus following the current line. Row objects are made only for the rows asked about.

#include <QAccessibleWidget>

#include <unordered_map>

namespace tw::viewer {

class TraceView;

// Installs the accessibility factory for trace views (once; the view's constructor calls it).
void InstallTraceViewAccessibility();

class TraceViewAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit TraceViewAccessible(TraceView* view);
    ~TraceViewAccessible() override;

    // The view tells of its changes; each does nothing while no screen reader listens.
    static void Reset(TraceView* view);
    static void RowsChanged(TraceView* view, int previousRows);
    static void FocusChanged(TraceView* view, int line);

    // QAccessibleInterface
    QAccessible::Role role() const override { return QAccessible::Tree; }
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableInterface: one column, a row a shown line.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    int columnCount() const override { return 1; }
    QString columnDescription(int) const override { return QStringLiteral("Line"); }
    int rowCount() const override;
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return selectedCellCount(); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

    TraceView* View() const;

private:
    void DropCells();

    mutable std::unordered_map<int, QAccessible::Id> m_cells;  // row -> its cell
};

}  // namespace tw::viewer
