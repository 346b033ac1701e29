#include "tw/core/line_text.hpp"

namespace tw::viewer {

char16_t* WriteDigitsBefore(char16_t* end, std::uint64_t value, int minDigits, char16_t groupSeparator) {
    int written = 0;
    while (value || written < minDigits) {
        if (groupSeparator && written && written % 3 == 0) *--end = groupSeparator;
        *--end = char16_t(u'0' + value % 10);
        value /= 10;
        ++written;
    }
    return end;
}

Stamp PackStamp(int hours, int minutes, int milliseconds) {
    return Stamp((hours * 60 + minutes) * 1000 + milliseconds);
}

Stamp StampFromText(QStringView text) {
    if (text.size() != 9 || text[2] != u':' || text[5] != u':') return 0;
    auto digits = [&](int from, int count, int& out) {
        out = 0;
        for (int i = from; i < from + count; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9') return false;
            out = out * 10 + (c - u'0');
        }
        return true;
    };
    int h = 0, m = 0, ms = 0;
    if (!digits(0, 2, h) || !digits(3, 2, m) || !digits(6, 3, ms)) return 0;
    return PackStamp(h, m, ms);
}

namespace {

// "HH:MM:mmm" written so that it ends just before end (hours beyond 99 keep their last two
// digits); returns where it starts.
char16_t* WriteStampBefore(char16_t* end, Stamp stamp) {
    const unsigned minutesOfDay = stamp / 1000;
    end = WriteDigitsBefore(end, stamp % 1000, 3);
    *--end = u':';
    end = WriteDigitsBefore(end, minutesOfDay % 60, 2);
    *--end = u':';
    return WriteDigitsBefore(end, minutesOfDay / 60 % 100, 2);
}

}  // namespace

QString StampText(Stamp stamp) {
    char16_t text[9];
    WriteStampBefore(text + 9, stamp);
    return QString(reinterpret_cast<const QChar*>(text), 9);
}

void AppendLineText(qint32 recordNumber, Stamp stamp, QStringView message, QString& out) {
    // Record number as Format(n, "00000"), two blanks, the time stamp, two blanks, message.
    char16_t head[40];
    char16_t* const end = head + 40;
    char16_t* start = end;
    *--start = u' ';
    *--start = u' ';
    start = WriteStampBefore(start, stamp);
    *--start = u' ';
    *--start = u' ';
    const qint64 record = recordNumber;
    start = WriteDigitsBefore(start, record < 0 ? std::uint64_t(-record) : std::uint64_t(record), 5);
    if (record < 0) *--start = u'-';
    const qsizetype n = end - start;
    out.reserve(out.size() + n + message.size());
    out.append(reinterpret_cast<const QChar*>(start), n);
    out.append(message);
}

QString FormatLineText(qint32 recordNumber, Stamp stamp, QStringView message) {
    QString text;
    AppendLineText(recordNumber, stamp, message, text);
    return text;
}

}  // namespace tw::viewer
