#pragma once
// What changed between two runs, message by message, times left out. The runs are aligned by
// their structure: formula and subreport calls (entry to exit, followed as a stack) are matched
// by their name and record number, then compared inside, so one line added or removed shifts
// nothing after it. Within a level the alignment is the shortest edit script of Myers' O(ND)
// algorithm, after the common start and end are set aside; past a bound on the edits it falls
// back to lining the lines up one by one, and says so. A call removed in one place and added,
// the same inside, in another place of the same level is told as moved. Qt-free.

#include <cstdint>
#include <string>
#include <vector>

namespace tw::viewer {

struct DiffMessage {
    int type = 0;
    std::int32_t record = 0;
    std::string text;  // the message, or "name = value" for an object; code-page bytes
};

struct DiffOptions {
    bool ignoreRecords = false;
    int context = 2;              // unchanged lines shown around each difference
    std::size_t maxEdits = 4000;  // a level with more edits than this is lined up one by one
    bool keepAll = false;         // also give every line of both runs, lined up (DiffResult::all)
};

struct DiffLine {
    char kind = ' ';       // ' ' the same in both, '-' only in A, '+' only in B
    int a = -1;            // index into A (-1 for '+')
    int b = -1;            // index into B (-1 for '-')
    bool changed = false;  // one of a changed pair (the '-' comes just before its '+')
    bool moved = false;    // part of a call that stands, the same inside, elsewhere on the other side
};

struct DiffHunk {
    std::string path;         // the calls the first difference lies in, "{@Total}/{@Tax}"; empty on top
    std::int32_t record = 0;  // its record number (or its call's)
    std::vector<DiffLine> lines;
};

struct DiffResult {
    std::vector<DiffHunk> hunks;
    std::size_t onlyA = 0, onlyB = 0;  // lines only in one run (a changed line counts on both)
    std::size_t changed = 0;           // lines paired as changed: the same kind and name, another text
    bool fellBack = false;             // some level had too many edits and was lined up one by one
    std::vector<DiffLine> all;         // with keepAll: both runs, line by line
    bool Same() const { return onlyA == 0 && onlyB == 0; }
};

DiffResult CompareRuns(const std::vector<DiffMessage>& a, const std::vector<DiffMessage>& b,
                       const DiffOptions& options);

}  // namespace tw::viewer
