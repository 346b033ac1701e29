#pragma once
// The quick filter bar: a pattern field with its options above the trace pages. While the
// field holds a valid pattern, the current page shows the quick filter's lines in a view of
// their own laid over the page's view; the page's tree, model and view stay as they were and
// come back when the field is cleared.

#include "tw/display/quick_filter.hpp"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tw::viewer {

class TraceView;
class Viewer;

class QuickFilterBar : public QWidget {
    Q_OBJECT
public:
    // Works on the viewer's current page; the viewer must outlive the bar.
    explicit QuickFilterBar(Viewer& viewer, QWidget* parent = nullptr);
    ~QuickFilterBar() override;

    // The pattern the field and check boxes describe.
    QuickPattern Pattern() const;
    // Applies the field's pattern now (typing applies it after a short pause).
    void ApplyNow();
    // Focuses the field with its text selected.
    void FocusField();
    // Empties the field and shows the page as it was.
    void ClearField();

    QuickFilter& Filter() { return m_filter; }
    // The view of the filtered lines, nullptr while the page shows itself.
    TraceView* FilteredView() const { return m_view; }
    // Matches the lines that arrived since the last time now (a timer does it otherwise).
    void CatchUp();

signals:
    // The view of the filtered lines was made (view) or dropped (nullptr).
    void filteredViewChanged(tw::viewer::TraceView* view);
    // The pattern in force changed (also to none).
    void patternApplied();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Restore();
    void ShowFiltered();
    // "12 of 3,456 lines" beside the field while a pattern is in force: the lines the filter
    // shows (matches and the formula entries they lie in) of the page's lines.
    void ShowCount();
    void PageChanged();

    Viewer& m_viewer;
    QLineEdit* m_field;
    QCheckBox* m_regex;
    QCheckBox* m_case;
    QLabel* m_count;
    QLabel* m_error;
    QTimer m_applyTimer;
    QTimer m_catchUpTimer;
    QuickFilter m_filter;
    int m_page = -1;  // page the filtered view lies over, -1: none
    QPointer<TraceView> m_view;
    LineHandle m_selectedBefore;  // the page's selected line when the filter came
};

}  // namespace tw::viewer
