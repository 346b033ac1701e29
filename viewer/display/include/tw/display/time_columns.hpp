#pragma once
// The optional time columns of a trace view, read from each line's receipt time.

#include "tw/core/trace_tree.hpp"

#include <QString>

#include <vector>

namespace tw::viewer {

enum class TimeColumn {
    Date,     // local date, yyyy-MM-dd
    Time,     // local time, HH:MM:SS.mmm
    Elapsed,  // since the first line of the tree, H:MM:SS.mmm (hours go past 24)
    Delta,    // since the line above, +seconds with microseconds
};

// The header caption of a column ("Date", "Time", "Elapsed", "Delta").
QString TimeColumnCaption(TimeColumn column);
// A column's caption read back; false for any other text.
bool TimeColumnFromCaption(const QString& caption, TimeColumn& column);

// Receipt times are microseconds since 1970-01-01 UTC; 0 means unknown (shown empty).
QString LocalDateText(qint64 microseconds);
QString LocalTimeText(qint64 microseconds);
// A span as H:MM:SS.mmm, with a minus sign in front when negative.
QString ElapsedText(qint64 microseconds);
// A span as +S.uuuuuu (-S.uuuuuu when the clock went back).
QString DeltaText(qint64 microseconds);

// The text of one column for a line of a tree (empty when the times it needs are unknown).
QString TimeColumnText(const TraceTree& tree, int line, TimeColumn column);

}  // namespace tw::viewer
