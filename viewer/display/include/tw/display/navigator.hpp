#pragma once
// The navigator: moves the current line of the current trace page one line on or back, to
// the first or last line, to the next line of a message type, or to the next line carrying
// a record number. It keeps no state between calls: every call looks the current page up
// again, so browsing follows whichever page is selected. Nothing wraps around.

#include <QPointer>
#include <QtGlobal>

class QWidget;

namespace tw::viewer {

class DlgGoto;
class TracePages;
class TraceTree;

class Navigator {
public:
    // pages must outlive the navigator; owner becomes the parent of the Goto dialog.
    explicit Navigator(TracePages& pages, QWidget* owner = nullptr);
    ~Navigator();
    Navigator(const Navigator&) = delete;
    Navigator& operator=(const Navigator&) = delete;

    void MoveNext();
    void MovePrevious();
    void MoveFirst();
    void MoveLast();
    // Asks for a record number (dlgGoto) and moves to the next line that carries it.
    void GotoRecordNumber();
    // Moves to the next line whose message has this type.
    void BrowseNext(qint32 messageType);

    // The search step of GotoRecordNumber once the dialog has answered: from line 1 when
    // fromFirst or nothing is selected, the next line after the current one whose record
    // number equals number. Returns the line selected (0: the tree is empty).
    int GotoRecord(double number, bool fromFirst);

    // The Goto dialog, created on first use and kept (hidden) from then on.
    DlgGoto& GotoDialog();

private:
    enum class Step { Next, Previous, First, Last };
    void Move(Step step);
    // Selects line 1 when nothing is selected; returns the selected line.
    static int EnsureSelection(TraceTree& tree);

    TracePages& m_pages;
    QPointer<QWidget> m_owner;
    QPointer<DlgGoto> m_dlgGoto;
    bool m_ownsDialog = false;  // made without an owner window: deleted here
};

}  // namespace tw::viewer
