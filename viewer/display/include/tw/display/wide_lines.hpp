#pragma once
// Sideways scrolling for a trace view: the line column grows to the widest line seen, so
// long messages and deeply nested lines can be read; Shift with the wheel scrolls sideways.

#include <QObject>
#include <QPointer>
#include <QTimer>

class QTreeView;

namespace tw::viewer {

// The line column (column 0) fills the viewport beside any other columns and grows to the widest of
// the lines shown so far (measured over the rows in sight, after scrolling and new lines),
// so the horizontal scroll bar reaches the end of every line that was on screen. It never
// shrinks while the model keeps its rows; a reset starts over.
class WideLines : public QObject {
    Q_OBJECT
public:
    explicit WideLines(QTreeView* view);
    // Measures the rows in sight now (normally done shortly after they change).
    void Measure();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Schedule();

    QPointer<QTreeView> m_view;
    // Compared with in eventFilter: while the view is being destroyed its viewport still gets
    // events, and the view may then no longer be looked at as a QTreeView.
    QPointer<QWidget> m_viewport;
    QTimer m_timer;
    int m_widest = 0;
};

}  // namespace tw::viewer
