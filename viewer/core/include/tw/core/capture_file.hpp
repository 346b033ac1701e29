#pragma once
// One line of a capture file as the viewer reads and writes it: a message with the time it
// was sent and the process and thread that sent it (see tw/messaging/capture_line.hpp for the
// line itself). Log files and capture files are told apart by their first line.

#include "tw/core/message_sink.hpp"

#include <QString>

#include <string>
#include <string_view>

namespace tw::viewer {
class TraceTree;
}

namespace tw::viewer::capturefile {

// A message read from a capture line.
struct Line {
    MessageRef message;
    qint64 sentAt = 0;  // microseconds since 1970-01-01 UTC
    quint32 processId = 0;
    quint32 threadId = 0;
};

// Whether a file that starts with this line (without its line end) is a capture file: the
// line reads as a capture line, or it begins with a date as only a capture line does (a
// damaged first line does not make the rest of a capture file a log).
bool IsCaptureFileStart(std::string_view firstLine);

// Reads one line (without its line end). False for a damaged line (cut, wrong fields, a bad
// time, a malformed envelope), with the reason in *why.
bool ReadLine(std::string_view line, Line& out, QString* why = nullptr);

// Appends the capture line of a tree's line, CR LF included: its receipt time as the send
// time, the process and thread it was read with (0 for a received line), and its envelope.
void AppendLine(std::string& out, const TraceTree& tree, int index);

}  // namespace tw::viewer::capturefile
