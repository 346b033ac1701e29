#pragma once
// The trace tree: the store of trace lines behind one page of the trace display.

#include "tw/core/line_text.hpp"
#include "tw/core/message_sink.hpp"
#include "tw/core/origin_column.hpp"
#include "tw/core/receipt_column.hpp"

#include <QString>

#include <cstdint>
#include <vector>

namespace tw::viewer {

// A colour as the trace stores it, 0x00BBGGRR; kDefaultColour means "the tree's own colour".
using Colour = std::uint32_t;
inline constexpr Colour kDefaultColour = 0xFFFFFFFFu;

// Identifies one line for as long as it exists, in any tree of the process. Handles are
// never reused, so a handle whose line was deleted or cleared finds nothing any more.
struct LineHandle {
    std::uint64_t serial = 0;  // 0: no line
    bool isNull() const { return serial == 0; }
    friend bool operator==(LineHandle a, LineHandle b) { return a.serial == b.serial; }
};


// Receives the changes of a TraceTree (the Qt model adapter is one). Indices are 1-based.
class TraceTreeObserver {
public:
    virtual ~TraceTreeObserver();
    // One or more lines were appended at the end (called once per appended line; keep cheap).
    virtual void LinesAppended() {}
    // The line first and its subtree, first..last, are about to go / have gone.
    virtual void LinesAboutToBeRemoved(int first, int last);
    virtual void LinesRemoved(int first, int last);
    virtual void AboutToClear() {}
    virtual void Cleared() {}
    // Background, text colour or bold flag of one line changed.
    virtual void LineChanged(int index);
    virtual void ExpandedChanged(int index, bool expanded);
    // Many lines were expanded or collapsed at once (SetExpandedRange).
    virtual void ExpansionReset() {}
    // Every line may have another parent now (Renest); the lines, their order and handles stay.
    virtual void Renested() {}
    // The selected line changed (0: none); makeVisible asks views to scroll to it.
    virtual void SelectionChanged(int index, bool makeVisible);
    // The tree is being destroyed; the observer must forget it.
    virtual void TreeDestroyed() {}
};

// A plain tree of trace lines, shaped like the tree control of a trace page:
//  - lines are numbered 1..Count() in the order they were added; removing lines renumbers
//    the later ones, as the tree control does;
//  - each line has a parent (0 for the top level), a tag (the shared MessageSink), an
//    expanded flag, background and text colour and a bold flag; at most one line is selected;
//  - lines are only appended, and a new line always hangs on the path from the top level to
//    the last line, so index order is the pre-order of the tree and the subtree of a line is
//    the contiguous run index..LastInSubtree(index).
// 24 bytes per line plus the message block (and 4 in the parent's child list), and 4 for
// its receipt time; the handles of lines and their colours take a column of their own only
// once a line was removed or coloured. Not thread safe: the UI thread owns it.
class TraceTree {
public:
    // Deepest level a line may have (0 is the top level). Tree views lay nested rows out
    // recursively, so a deeper tree would overflow their stack.
    static constexpr int kMaxLevel = 255;

    explicit TraceTree(QString name = {});
    ~TraceTree();
    TraceTree(const TraceTree&) = delete;
    TraceTree& operator=(const TraceTree&) = delete;

    // A name for diagnostics ("Default", "Filter 1"); not shown.
    const QString& Name() const { return m_name; }

    // ---- reading; every index argument must be in 1..Count() unless said otherwise ----
    int Count() const { return int(m_lines.size()); }
    // Room for that many lines in all, so appending up to there copies nothing.
    void Reserve(std::size_t lines);
    bool IsEmpty() const { return m_lines.empty(); }
    const MessageRef& Tag(int index) const { return line(index).message; }
    const MessageSink& Message(int index) const { return *line(index).message; }
    // Parent line, 0 for a top-level line.
    int Parent(int index) const { return int(line(index).parent); }
    // Number of ancestors (0 on the top level).
    int Level(int index) const { return line(index).level; }
    // Children of a line; index 0 stands for the top level.
    int ChildCount(int index) const;
    int Child(int index, int row) const;  // row is 0-based
    // Number of children of index (0: top level) whose own index is at most upTo.
    int ChildCountUpTo(int index, int upTo) const;
    // 0-based position of the line among its siblings.
    int Row(int index) const;
    // The last line of index's subtree (index itself when it has no children).
    int LastInSubtree(int index) const;
    bool IsExpanded(int index) const { return line(index).flags & kExpanded; }
    Stamp StampOf(int index) const { return line(index).stamp; }
    // When the line was received: microseconds since 1970-01-01 UTC, 0 when unknown.
    qint64 ReceivedAt(int index) const { return m_received.At(std::size_t(checked(index) - 1)); }
    // Where the line was read from (file, process and thread), nullptr for a received line.
    const LineOrigin* OriginOf(int index) const { return m_origins.At(std::size_t(checked(index) - 1)); }
    // Files and processes the lines came from; more than one shows a Source column.
    int SourceCount() const { return m_origins.SourceCount(); }
    // The Source column's text for a line (empty for a line without an origin).
    QString SourceText(int index) const;
    QStringList SourceTexts() const { return m_origins.SourceTexts(); }
    // The line text: record number (at least five digits), two blanks, time stamp, two
    // blanks, message. Built on each call.
    QString Text(int index) const;
    // Appends the line text to out. Scanning many lines (find, save, print), reuse one QString
    // and empty it with resize(0), which keeps its room (clear() frees it).
    void AppendText(int index, QString& out) const;
    Colour BackColour(int index) const;
    Colour ForeColour(int index) const;
    bool Bold(int index) const { return line(index).flags & kBold; }
    // The selected line, 0 when none.
    int Selected() const;
    LineHandle Handle(int index) const {
        line(index);
        return {serialOf(index)};
    }
    // The line's current index, 0 when it is not (or no longer) in this tree. Constant time
    // while no line was removed since the last Clear, logarithmic in the number removed after.
    int IndexOf(LineHandle handle) const;
    // The part of a handle that tells lines of this tree apart (what a Qt model index carries);
    // LineOfKey is IndexOf for it.
    static std::uint64_t KeyOf(LineHandle handle) { return handle.serial & kLocalMask; }
    int LineOfKey(std::uint64_t key) const { return IndexOf({m_tag | (key & kLocalMask)}); }

    // ---- changing ----
    // Appends a line as the last child of parent (0: top level) and returns its index.
    // parent must be the last line or one of its ancestors (or 0), and not on kMaxLevel
    // (std::length_error).
    int Append(int parent, MessageRef message, Stamp stamp, qint64 receivedAt = 0,
               const LineOrigin* origin = nullptr);
    // Appends a top-level copy of another tree's line: same message, time stamp, receipt
    // time and origin, default colours, not bold, no children.
    int AppendCopy(const TraceTree& source, int sourceIndex);
    void SetExpanded(int index, bool expanded);
    // Expands or collapses every line with children in first..last, telling observers once.
    void SetExpandedRange(int first, int last, bool expanded);
    void SetBackColour(int index, Colour colour);
    void SetForeColour(int index, Colour colour);
    void SetBold(int index, bool bold);
    // Makes the line the selected line and visible: its ancestors are expanded and views
    // scroll to it. 0 clears the selection.
    void Select(int index);
    // Records a selection the user made in a view (no scrolling is asked for).
    void SetSelectedFromView(int index);
    // Gives every line the parent parentOf(line) returns, line by line in order, as if the lines
    // were appended again: the lines, their order, handles, colours and the selection stay. A
    // parent that is not on the path from the top level to the line before is taken as 0, and
    // one on kMaxLevel as its own parent. Lines with children are expanded.
    template <typename ParentOf>
    void Renest(ParentOf parentOf) {
        BeginRenest();
        for (int line = 1; line <= Count(); ++line) PlaceInRenest(line, parentOf(line));
        EndRenest();
    }

    // Removes the line and its subtree; later lines are renumbered.
    void RemoveSubtree(int index);
    // Removes every line.
    void Clear();

    void AddObserver(TraceTreeObserver* observer);
    void RemoveObserver(TraceTreeObserver* observer);

    // Bytes held by the tree's own structures (without the message blocks).
    std::size_t StructureBytes() const;

private:
    enum : std::uint8_t { kExpanded = 1, kBold = 2 };
    // A handle is the tree's tag in the top 24 bits and the line's number in the tree's
    // life (1, 2, 3, ... in order of appending) in the low 40 bits.
    static constexpr std::uint64_t kLocalMask = (std::uint64_t(1) << 40) - 1;
    struct Line {
        MessageRef message;
        std::uint32_t parent = 0;    // 1-based, 0: top level
        std::uint32_t children = 0;  // slot in m_childLists, 0: none (slot 0 is the top level)
        Stamp stamp = 0;
        std::uint8_t flags = 0;
        std::uint8_t level = 0;      // number of ancestors, at most kMaxLevel
    };
    static_assert(kMaxLevel <= 255, "the level of a line is kept in one byte");
    int checked(int index) const;
    const Line& line(int index) const;
    Line& line(int index);
    // Until a line is removed, line i carries the handle of the i-th line appended since the
    // last Clear; from then on m_serials holds every line's handle.
    std::uint64_t serialOf(int index) const {
        return !m_serialsKept ? m_tag | (m_firstLocal + std::uint64_t(index) - 1) : m_serials[std::size_t(index - 1)];
    }
    void keepSerials();
    void BeginRenest();
    void PlaceInRenest(int line, int parent);
    void EndRenest();
    // Back colour in the low, text colour in the high half; empty until a line is coloured.
    std::uint64_t& colours(int index);
    const std::vector<std::uint32_t>& childrenOf(int index) const;

    QString m_name;
    std::vector<Line> m_lines;
    std::vector<std::uint64_t> m_serials;  // every line's handle once m_serialsKept
    bool m_serialsKept = false;            // a line was removed since the last Clear
    std::vector<std::uint64_t> m_colours;  // empty while every line has the default colours
    ReceiptColumn m_received;        // receipt time of each line, beside m_lines
    OriginColumn m_origins;          // where lines read from files came from
    // Child index lists, slot 0 for the top level; each sorted ascending.
    std::vector<std::vector<std::uint32_t>> m_childLists;
    std::vector<std::uint32_t> m_freeSlots;
    std::uint64_t m_tag;             // this tree's bits of every handle
    std::uint64_t m_nextLocal = 1;   // low bits of the next handle
    std::uint64_t m_firstLocal = 1;  // low bits of the first line appended after the last Clear
    std::uint64_t m_removed = 0;     // lines removed since the last Clear
    std::uint64_t m_selected = 0;    // handle of the selected line, 0: none
    std::vector<TraceTreeObserver*> m_observers;
};

}  // namespace tw::viewer
