#pragma once
// The text search of the trace display: Find... and Find Next on the current page.

#include <QPointer>
#include <QString>
#include <QtGlobal>

class QWidget;

namespace tw::viewer {

class DlgFind;
class TracePages;
class TraceTree;

// What one search looks for.
struct SearchOptions {
    QString text;            // already trimmed, not empty
    bool down = true;        // from the start line towards the last line
    bool matchCase = false;  // otherwise both sides are upper-cased first
    bool wholeLine = false;  // the whole line text must equal the text
};

// Tests trace lines against a search text. The line text is the one the page shows (record
// number, time stamp, message), built into a reused buffer, so scanning allocates nothing.
class LineMatcher {
public:
    explicit LineMatcher(const SearchOptions& options);
    bool Matches(const TraceTree& tree, int index);
    // The text last tested (upper-cased unless case matters): the whole line when the search
    // text starts with a digit, blank, colon or minus sign (or must match the whole line),
    // else the message alone. Valid until the next call.
    QStringView LastText() const { return m_line; }

private:
    QString m_text;
    QString m_line;
    bool m_matchCase;
    bool m_wholeLine;
    bool m_mayStartInHead;  // the text starts with a character a line's head can hold
};

// Upper-cases every character in place, one character at a time (so a text never changes
// its length).
void UpperCaseInPlace(QString& text);

// Runs the search on a tree: from the start line (the selected line; the next or previous
// one when repeat is set; line 1 when nothing is selected) in the direction asked, selects the
// first matching line and returns it; 0 when nothing matched (the selection is left alone).
int SearchTree(TraceTree& tree, const SearchOptions& options, bool repeat);

class Find {
public:
    // pages must outlive the object; owner becomes the parent of the Find dialog.
    explicit Find(TracePages& pages, QWidget* owner = nullptr);
    ~Find();
    Find(const Find&) = delete;
    Find& operator=(const Find&) = delete;

    // Find...: clears the repeat flag, asks with dlgFind and searches when the user closed it
    // with "Find Next" and the text passes the check.
    void FindNew();
    // Find Next: sets the repeat flag and searches again with the dialog's contents.
    void FindNext();

    // The repeat flag: true while the last command was Find Next.
    bool Repeat() const { return m_repeat; }
    // The Find dialog, created on first use and kept (hidden) from then on.
    DlgFind& FindDialog();

private:
    // Trims the search text and writes it back; false when nothing is left.
    bool CheckText();
    // Searches the current page; on failure shows "Search string not found." ("Find").
    void Search();

    TracePages& m_pages;
    QPointer<QWidget> m_owner;
    QPointer<DlgFind> m_dlgFind;
    bool m_ownsDialog = false;  // made without an owner window: deleted here
    bool m_repeat = false;
};

}  // namespace tw::viewer
