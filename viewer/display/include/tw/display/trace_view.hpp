#pragma once
// A tree view bound to one TraceTree through a TraceModel: keeps the tree's expanded flags
// and selected line and the view's in step.

#include <QTreeView>

namespace tw::viewer {

class TraceModel;
class TraceTree;

class TraceView : public QTreeView {
    Q_OBJECT
public:
    // The model must outlive the view (Viewer owns both).
    explicit TraceView(TraceModel* model, QWidget* parent = nullptr);

    TraceModel* traceModel() const { return m_model; }
    // Whether the right button's press (true) or release (false) asks for the search menu.
    void SetMenuOnPress(bool onPress) { m_menuOnPress = onPress; }
    // Lays the rows out and tells the model how long that took.
    void doItemsLayout() override;
    // Brings the row into sight by scrolling up or down only: going from line to line keeps
    // the sideways position, so time columns stay in sight and a long line keeps its place.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

signals:
    // The right mouse button asks for the Search menu at this global position.
    void searchMenuRequested(const QPoint& globalPos);

protected:
    // Rows appended at the end of the shown rows (all a stream ever adds) are added to the
    // view's row layout in place, at a cost that does not depend on the rows already shown;
    // anything else is laid out again as a tree view does.
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // With no current line, End (and Page Down) go to the last shown line, as a user means,
    // where a tree view would take the first (and stop following new lines with it).
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    // A recoloured line (the bookmark, a highlighting filter) keeps its colour under its
    // indentation too.
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;

private:
    bool AppendRows(const QModelIndex& parent, int start, int end);
    void FollowSelection(const QModelIndex& index, bool makeVisible);

    TraceModel* m_model;
    bool m_menuOnPress = false;
    bool m_following = false;
};

}  // namespace tw::viewer
