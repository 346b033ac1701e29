#pragma once
// One line of a log file: the message envelope of a stored message, in the code page.
//
// Positions 1-2 type, 3-9 record number, 10-99 object name, 100-499 object value, 500 on the
// message text as stored; lines end with CR LF. A message holding CR, LF (or a zero byte)
// would break the line, so such a line is escaped: the zero byte, which no envelope and no
// line of an older log file holds, introduces a pair: 0x00 'r' for CR, 0x00 'n' for LF and
// 0x00 '0' for the zero byte itself. Lines without a zero byte are read exactly as before.

#include "tw/core/message_sink.hpp"

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

namespace tw::viewer::logfile {

// Appends the line of one stored message, with its CR LF, to out.
void AppendLine(std::string& out, const MessageSink& message);

// Reads one line (without its line end) into a new message. Returns a null reference for a
// malformed line and then sets *why to the reason.
MessageRef ReadLine(std::string_view line, QString* why = nullptr);

// Text to code-page bytes (unmappable characters become '?'), appended to out.
void AppendCodePage(std::string& out, QStringView text);

// Whether the bytes need the escape form.
bool NeedsEscape(std::string_view bytes);
// The escape form of bytes and its inverse. Unescape drops a zero byte that ends the text or
// is followed by an unknown letter.
void AppendEscaped(std::string& out, std::string_view bytes);
std::string Unescape(std::string_view line);

}  // namespace tw::viewer::logfile
