#pragma once
// The text of a trace line and its time stamp, written without allocating where a caller
// scans many lines.

#include <QString>
#include <QStringView>

#include <cstdint>

namespace tw::viewer {

// Time of adding a line, packed as (hours * 60 + minutes) * 1000 + milliseconds.
using Stamp = std::uint32_t;
Stamp PackStamp(int hours, int minutes, int milliseconds);
// Reads "HH:MM:mmm" (the common time stamp text); 0 when the text has another shape.
Stamp StampFromText(QStringView text);
// "HH:MM:mmm".
QString StampText(Stamp stamp);
// The text of a trace line: the record number with at least five digits (a minus sign in
// front when negative), two blanks, the time stamp, two blanks, the message.
QString FormatLineText(qint32 recordNumber, Stamp stamp, QStringView message);
// The same appended to out (no allocation once out has room: for scans over many lines).
void AppendLineText(qint32 recordNumber, Stamp stamp, QStringView message, QString& out);

// Writes the decimal digits of value so that they end just before end, at least minDigits of
// them (zeros in front; none at all for 0 with minDigits 0), with groupSeparator between
// groups of three when it is not 0. Returns where the digits start. The one digit writer of
// the trace texts: stamps, line texts and the message count.
char16_t* WriteDigitsBefore(char16_t* end, std::uint64_t value, int minDigits, char16_t groupSeparator = 0);

}  // namespace tw::viewer
