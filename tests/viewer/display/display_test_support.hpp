#pragma once
// A helper of the display tests: trace lines with a fixed time stamp.

#include "tw/core/message_sink.hpp"
#include "tw/core/trace_tree.hpp"

#include <QString>

namespace tw::viewer::test {

// Appends a top-level line (parent 0) or a child line with a fixed time stamp 09:05:042.
int AddLine(TraceTree& tree, qint32 type, qint32 record, const QString& text, int parent = 0);

}  // namespace tw::viewer::test
