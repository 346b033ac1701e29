// One line of a capture file: a message as it travelled, with when, from which process and
// from which thread it was sent. Written by the formula functions, read by the viewer.
//
//   2026-12-08T14:03:07.123456Z<TAB>4711<TAB>4712<TAB><envelope>CR LF
//
// The time is the send time in UTC with microseconds; the envelope is the code-page bytes
// exactly as they travel, with three bytes escaped so that a line is always one line: a
// backslash as \\, a carriage return as \r, a line feed as \n. Nothing else is changed (a tab
// inside the envelope stays: the envelope is the last field).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tw::messaging {

struct CaptureRecord {
    std::int64_t sentAtMicros = 0;  // microseconds since 1970-01-01 UTC
    std::uint32_t processId = 0;
    std::uint32_t threadId = 0;
    std::string envelope;  // code-page bytes, unescaped
};

// Appends the line for a message, CR LF included.
void AppendCaptureLine(std::string& out, std::int64_t sentAtMicros, std::uint32_t processId,
                       std::uint32_t threadId, std::string_view envelope);
// "2026-12-08T14:03:07.123456Z" for a time; the date alone ("2026-12-08") with dateOnly.
std::string CaptureTimeText(std::int64_t sentAtMicros, bool dateOnly = false);
// Reads a line back (with or without its CR LF). False for a damaged line, with the reason.
bool ParseCaptureLine(std::string_view line, CaptureRecord& out, std::string* why = nullptr);
// The same without copying: the envelope is a view into the line, or into scratch when it held
// escapes. Valid while both are.
bool ParseCaptureLineView(std::string_view line, std::int64_t& sentAtMicros, std::uint32_t& processId,
                          std::uint32_t& threadId, std::string_view& envelope, std::string& scratch,
                          std::string* why = nullptr);
// Whether a line reads as a capture line (how a capture file is told from a log by its first line).
bool LooksLikeCaptureLine(std::string_view line);
// The escaping alone, both ways; Unescape is false for a backslash followed by anything else.
void AppendEscaped(std::string& out, std::string_view bytes);
bool Unescape(std::string_view escaped, std::string& out);

}  // namespace tw::messaging
