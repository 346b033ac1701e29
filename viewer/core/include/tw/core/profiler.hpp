#pragma once
// The profile of a run: formula and subreport calls followed as a stack from the entries and
// exits among the messages (formula entry 6 / exit 7, subreport entry 8 / exit 9), whatever
// nesting the trace is drawn with, timed from the messages' times. Per name: calls, total time,
// self time (total less the calls made inside), mean, max and where the slowest call was; per
// record number of the main report (subreports number their own records; scratch messages
// carry an id): the time from its first to its last message. Passes: when the main report's
// record numbers go back to their lowest after having risen, a new evaluation pass begins and
// is kept apart.
// Qt-free; adding a message costs the same however long the run.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tw::viewer {

class Profiler {
  public:
    // One finished (or still open) call.
    struct Call {
        std::uint32_t name;   // index into Names()
        std::uint32_t depth;  // 0: called from no other
        std::int64_t start;   // microseconds
        std::int64_t end;     // -1 while open
        std::int64_t childTime = 0;
        std::uint32_t messages = 0;   // messages sent directly inside (the exit included)
        std::int32_t record = 0;      // record number of the entry
        std::int32_t mainRecord = 0;  // the main report's record it belongs to (for a call in a subreport,
                                      // the record being printed)
        int entryLine = 0;            // the entry's line in the trace (0: none)
        int pass = 0;
        std::uint64_t stream = 0;  // which caller made it (see Add)
        std::uint32_t parent = 0xFFFFFFFFu;  // the call it was made in (kNone: none)
        std::uint32_t lastInside = 0;        // the last call made inside it (itself when none; set at its exit)
    };
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    struct Row {
        std::uint32_t name = 0;
        bool subreport = false;
        std::uint64_t calls = 0;
        std::uint64_t open = 0;  // calls still open at the end (counted, not timed)
        std::int64_t total = 0;  // the outermost calls of the name only, so recursion is not counted twice
        std::int64_t self = 0;
        std::int64_t max = 0;
        std::int32_t maxRecord = 0;
        int maxLine = 0;
        std::uint64_t messages = 0;
        std::int64_t Mean() const { return calls > open ? total / std::int64_t(calls - open) : 0; }
    };
    struct RecordRow {
        std::int32_t record = 0;
        int pass = 0;
        std::int64_t first = 0, last = 0;
        std::uint64_t messages = 0;
        // The formulas that took the most self time within the record, most first (at most 3).
        std::vector<std::pair<std::uint32_t, std::int64_t>> top;
    };

    // A message in the order of the run. line: its line in the trace, 0 for none; micros: when
    // it was sent or received, microseconds; 0 means unknown (the profile then counts only).
    // stream tells callers apart whose messages interleave (a capture file's process and thread):
    // each has a call stack of its own.
    void Add(int type, std::int32_t record, std::string_view text, std::int64_t micros, int line = 0,
             std::uint64_t stream = 0);
    void Clear();

    const std::vector<std::string>& Names() const { return m_names; }
    bool IsSubreport(std::uint32_t name) const { return m_subreport[name]; }
    const std::vector<Call>& Calls() const { return m_calls; }
    // Rows for one pass (-1: all passes together), open calls included as counted.
    std::vector<Row> Rows(int pass = -1) const;
    std::vector<RecordRow> ByRecord(int pass = -1) const;
    int PassCount() const { return m_pass + 1; }
    std::uint64_t StrayExits() const { return m_strayExits; }
    std::uint64_t Messages() const { return m_messages; }
    bool HasTimes() const { return m_timed; }
    // The median gap between two back-to-back messages of one call: what one synchronous send
    // costs on the machine the run was traced on. 0 when there were too few such pairs.
    std::int64_t SendCost() const;
    // Self time with the sends of the call's own messages taken out (never below 0).
    std::int64_t SelfWithoutSends(const Row& row) const;

  private:
    std::uint32_t Intern(std::string_view name, bool subreport);
    void NoteRecord(std::int32_t record, std::int64_t micros);

    std::vector<std::string> m_names;
    std::vector<bool> m_subreport;
    std::unordered_map<std::string, std::uint32_t> m_ids;
    std::vector<Call> m_calls;
    struct Stream {
        std::vector<std::uint32_t> stack;  // indexes into m_calls
        std::int64_t lastInCall = -1;      // time of the last message inside the current call
        int subreports = 0;                // subreports open: their record numbers are their own
        std::int32_t mainRecord = 0;       // the main report's last record number
    };
    std::unordered_map<std::uint64_t, Stream> m_streams;
    Stream* m_lastStream = nullptr;
    std::uint64_t m_lastStreamId = 0;
    std::uint64_t m_strayExits = 0;
    std::uint64_t m_messages = 0;
    bool m_timed = false;
    // Passes of record numbers.
    int m_pass = 0;
    std::int32_t m_passLowest = 0, m_passHighest = 0;
    bool m_passRose = false;
    // Per (pass, record): first and last time and messages.
    struct RecordSpan {
        std::int64_t first = 0, last = 0;
        std::uint64_t messages = 0;
    };
    std::vector<RecordSpan> m_spans;  // in the order records first appeared
    std::vector<std::uint64_t> m_spanKeys;
    std::unordered_map<std::uint64_t, std::uint32_t> m_spanIndex;
    std::uint64_t m_lastKey = ~std::uint64_t(0);  // the record of the message before, most often the same
    std::uint32_t m_lastSpan = 0;
    // Gaps between back-to-back messages inside one call, a sample for SendCost.
    std::vector<std::int64_t> m_gaps;
};

// "412.3 ms", "1.204 s", "87 µs" (UTF-8).
std::string DurationText(std::int64_t micros);

// One message for the Chrome trace; texts in the code page.
struct TraceMessage {
    int type = 0;
    std::int32_t record = 0;
    std::string_view objectName, objectValue, message;
    std::int64_t micros = 0;
    std::uint64_t stream = 0;
};
// The run in the Chrome trace event format (Perfetto, chrome://tracing): each finished call a
// complete event ("ph":"X", ts and dur in microseconds), every other message an instant event
// with its record number and text or object name and value. next gives the messages in order
// and returns false after the last.
std::string ChromeTraceJson(const Profiler& profiler, const std::function<bool(TraceMessage&)>& next);
// A text as one CSV field (quoted when it holds a comma, a quote or a line break).
std::string CsvField(const std::string& text);
// The profile table as CSV (times in microseconds), total most first.
std::string ProfileCsv(const Profiler& profiler, int pass = -1);

}  // namespace tw::viewer
