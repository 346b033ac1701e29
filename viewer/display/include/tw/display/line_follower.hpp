#pragma once
// Keeps a trace view at its last line while new lines arrive.

#include <QObject>
#include <QPointer>

class QTreeView;

namespace tw::viewer {

// Follows new lines in one tree view: while enabled and not paused, each batch of rows the
// model inserts scrolls the view to its bottom, once per batch (the scroll is queued, so
// several insertions in one turn of the event loop cost one scroll). The selection is never
// moved. Scrolling up with the scroll bar or the wheel, or making any line but the last one
// current, pauses following; scrolling back to the bottom, making the last line current
// (End, the Last command) or Resume() starts it again.
class LineFollower : public QObject {
    Q_OBJECT
public:
    // Becomes a child of the view and watches its current model.
    explicit LineFollower(QTreeView* view);

    // The option: off, batches never scroll the view. Turning it on resumes.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_enabled; }
    // True while following is on but waits for the user to come back to the bottom.
    bool IsPaused() const { return m_paused; }

signals:
    // Paused or resumed, or more rows arrived while paused.
    void stateChanged();

public:
    // Unpauses and scrolls to the last line now.
    void Resume();
    // Scrolls done for batches so far (for tests and diagnostics).
    int ScrollCount() const { return m_scrolls; }

private:
    void RowsInserted();
    void ScrollNow();
    void UserScrolled();
    void CurrentChanged();
    void SetPaused(bool paused);

    QPointer<QTreeView> m_view;
    bool m_enabled = true;
    bool m_paused = false;
    bool m_queued = false;
    bool m_scrolling = false;  // our own scroll is under way
    int m_scrolls = 0;
};

}  // namespace tw::viewer
