#include "tw/display/navigator.hpp"

#include "tw/core/trace_pages.hpp"
#include "tw/display/dlg_goto.hpp"
#include "tw/display/numeric_text.hpp"

namespace tw::viewer {

Navigator::Navigator(TracePages& pages, QWidget* owner) : m_pages(pages), m_owner(owner) {}

Navigator::~Navigator() {
    // A dialog without an owner window is the navigator's own.
    if (m_ownsDialog) delete m_dlgGoto.data();
}

void Navigator::MoveNext() { Move(Step::Next); }
void Navigator::MovePrevious() { Move(Step::Previous); }
void Navigator::MoveFirst() { Move(Step::First); }
void Navigator::MoveLast() { Move(Step::Last); }

int Navigator::EnsureSelection(TraceTree& tree) {
    int selected = tree.Selected();
    if (selected == 0) {
        tree.Select(1);
        selected = 1;
    }
    return selected;
}

void Navigator::Move(Step step) {
    TraceTree& tree = m_pages.GetCurrent();
    if (tree.IsEmpty()) return;
    const int selected = EnsureSelection(tree);
    const int count = tree.Count();
    switch (step) {
    case Step::Next:
        if (selected != count) tree.Select(selected + 1);
        break;
    case Step::Previous:
        if (selected != 1) tree.Select(selected - 1);
        break;
    case Step::First:
        tree.Select(1);
        break;
    case Step::Last:
        tree.Select(count);
        break;
    }
}

void Navigator::BrowseNext(qint32 messageType) {
    TraceTree& tree = m_pages.GetCurrent();
    if (tree.IsEmpty()) return;
    const int selected = EnsureSelection(tree);
    const int count = tree.Count();
    for (int i = selected + 1; i <= count; ++i) {
        if (tree.Message(i).MessageType() == messageType) {
            tree.Select(i);
            return;
        }
    }
}

DlgGoto& Navigator::GotoDialog() {
    if (!m_dlgGoto) {
        m_dlgGoto = new DlgGoto(m_owner);
        m_ownsDialog = !m_owner;
    }
    return *m_dlgGoto;
}

void Navigator::GotoRecordNumber() {
    if (m_pages.GetCurrent().IsEmpty()) return;  // the dialog is not shown
    DlgGoto& dialog = GotoDialog();
    if (!dialog.Ask()) return;
    const auto number = NumericValue(dialog.RecordNumberText());
    if (!number) return;  // the dialog's check lets only numbers through
    GotoRecord(*number, dialog.SearchFromFirst());
}

int Navigator::GotoRecord(double number, bool fromFirst) {
    // The page is looked up again: the dialog may have run events meanwhile.
    TraceTree& tree = m_pages.GetCurrent();
    if (tree.IsEmpty()) return 0;
    int selected = tree.Selected();
    if (selected == 0 || fromFirst) {
        tree.Select(1);
        selected = 1;
    }
    const int count = tree.Count();
    for (int i = selected + 1; i <= count; ++i) {
        if (double(tree.Message(i).RecordNumber()) == number) {
            tree.Select(i);
            return i;
        }
    }
    return selected;
}

}  // namespace tw::viewer
