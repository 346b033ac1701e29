#pragma once
// The message store: decides whether a received message is kept and files it in the
// default trace tree, nested between enter and exit lines.

#include "tw/core/message_sink.hpp"
#include "tw/core/trace_tree.hpp"

#include <QChar>
#include <QString>

#include <functional>
#include <vector>

namespace tw::viewer {

class StatusPanels;
class TracePages;

class MessageManager {
public:
    // Called with every stored message while the matching option is on.
    using MessageHook = std::function<void(const MessageRef&)>;

    // pages and status must outlive the manager; status may be nullptr (nothing shown).
    explicit MessageManager(TracePages& pages, StatusPanels* status = nullptr);
    MessageManager(const MessageManager&) = delete;
    MessageManager& operator=(const MessageManager&) = delete;

    // The listening switch; off when created. Setting it writes "Ready." or "Stopped.".
    bool ProcessMessages() const { return m_processMessages; }
    void SetProcessMessages(bool on);

    // Stores the message in the default tree (dropped while the switch is off), updates
    // the count, then runs the watch and autos hooks when their options are on.
    void Add(const MessageRef& message);
    // The same for a message read from a file: with a send time (microseconds since 1970 UTC)
    // the line takes it as its receipt time and its time stamp from it, as a received line
    // does from the moment it arrives; 0 (a log file's line) stands for the time of reading.
    // origin (may be nullptr) names the file, process and thread it came from.
    void Add(const MessageRef& message, qint64 sentAt, const LineOrigin* origin);
    // Makes room for that many more lines on the page Add appends to (a load that knows
    // roughly how many lines it brings).
    void ReserveLines(qint64 more);
    // Empties the current page's tree, closes it when it is a filter page, and empties
    // the count panel.
    void Clear();
    // Removes the selected line of the current page and its subtree; the count panel is
    // left as it is.
    void DeleteMessage();

    // The Options menu's check marks ("Watches (performance hit)", "Autos (performance hit)")
    // and what to run for them; the main window wires both.
    void SetWatchesEnabled(bool on) { m_watchesOn = on; }
    bool WatchesEnabled() const { return m_watchesOn; }
    void SetAutosEnabled(bool on) { m_autosOn = on; }
    bool AutosEnabled() const { return m_autosOn; }
    void SetWatchHook(MessageHook hook) { m_watchHook = std::move(hook); }
    void SetAutosHook(MessageHook hook) { m_autosHook = std::move(hook); }

    TracePages& Pages() const { return m_pages; }

    // How new lines nest in the default page: off (the default), an entry after an entry is its
    // sibling and an exit goes one level above the last line; on, lines nest by the calls they
    // are made in (an entry opens a call, its exit closes it, and everything between hangs
    // under the entry). Switching re-nests the lines already there.
    void SetNestByCalls(bool on);
    bool NestByCalls() const { return m_nestByCalls; }

    // "1,234 Messages." with the given digit group separator.
    static QString CountText(qint64 count, QChar groupSeparator);
    static void CountTextInto(qint64 count, QChar groupSeparator, QString& out);

private:
    void ShowCount(int count);
    // The parent of a new line of the given type, by the rule in force; the lines before are
    // those of the tree.
    int ParentFor(TraceTree& tree, qint32 type, int last);
    void CallAppended(TraceTree& tree, qint32 type, int line);

    TracePages& m_pages;
    StatusPanels* m_status;
    QChar m_groupSeparator;
    QString m_countText;  // the count's last text, rewritten in place
    bool m_processMessages = false;
    bool m_watchesOn = false;
    bool m_autosOn = false;
    MessageHook m_watchHook;
    MessageHook m_autosHook;
    bool m_nestByCalls = false;
    std::vector<LineHandle> m_openCalls;  // nesting by calls: the entries still open, outermost first
};

}  // namespace tw::viewer
