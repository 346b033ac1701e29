#include "tw/messaging/capture_line.hpp"

#include <charconv>

namespace tw::messaging {
namespace {

constexpr std::int64_t kMicrosPerDay = 86'400'000'000LL;

// Days since 1970-01-01 to a civil date and back (the proleptic Gregorian calendar).
void CivilFromDays(std::int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = int(std::int64_t(yoe) + era * 400 + (m <= 2));
}

std::int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

void Digits(std::string& out, std::int64_t value, int width) {
    char buffer[24];
    for (int i = width - 1; i >= 0; --i) {
        buffer[i] = char('0' + value % 10);
        value /= 10;
    }
    out.append(buffer, std::size_t(width));
}

// Reads exactly `width` digits at `at`.
bool ReadDigits(std::string_view s, std::size_t at, int width, int& value) {
    if (at + std::size_t(width) > s.size()) return false;
    value = 0;
    for (int i = 0; i < width; ++i) {
        const char c = s[at + std::size_t(i)];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool ReadTime(std::string_view s, std::int64_t& micros) {
    // 2026-12-08T14:03:07.123456Z: 27 characters.
    if (s.size() != 27 || s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':' ||
        s[19] != '.' || s[26] != 'Z')
        return false;
    int y, mo, d, h, mi, sec, us;
    if (!ReadDigits(s, 0, 4, y) || !ReadDigits(s, 5, 2, mo) || !ReadDigits(s, 8, 2, d) ||
        !ReadDigits(s, 11, 2, h) || !ReadDigits(s, 14, 2, mi) || !ReadDigits(s, 17, 2, sec) ||
        !ReadDigits(s, 20, 6, us))
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 60) return false;
    const std::int64_t days = DaysFromCivil(y, unsigned(mo), unsigned(d));
    int yy;
    unsigned mm, dd;
    CivilFromDays(days, yy, mm, dd);
    if (yy != y || int(mm) != mo || int(dd) != d) return false;  // 2026-02-31
    micros = days * kMicrosPerDay + ((std::int64_t(h) * 60 + mi) * 60 + sec) * 1'000'000LL + us;
    return true;
}

bool ReadNumber(std::string_view s, std::uint32_t& value) {
    if (s.empty() || s.size() > 10) return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

}  // namespace

std::string CaptureTimeText(std::int64_t micros, bool dateOnly) {
    std::int64_t days = micros / kMicrosPerDay;
    std::int64_t rest = micros % kMicrosPerDay;
    if (rest < 0) {
        rest += kMicrosPerDay;
        --days;
    }
    int y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    std::string out;
    out.reserve(27);
    Digits(out, y, 4);
    out += '-';
    Digits(out, m, 2);
    out += '-';
    Digits(out, d, 2);
    if (dateOnly) return out;
    const std::int64_t seconds = rest / 1'000'000;
    out += 'T';
    Digits(out, seconds / 3600, 2);
    out += ':';
    Digits(out, seconds / 60 % 60, 2);
    out += ':';
    Digits(out, seconds % 60, 2);
    out += '.';
    Digits(out, rest % 1'000'000, 6);
    out += 'Z';
    return out;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    for (const char c : bytes) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

bool Unescape(std::string_view escaped, std::string& out) {
    out.clear();
    out.reserve(escaped.size());
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == escaped.size()) return false;
        const char e = escaped[i];
        if (e == '\\')
            out += '\\';
        else if (e == 'r')
            out += '\r';
        else if (e == 'n')
            out += '\n';
        else
            return false;
    }
    return true;
}

void AppendCaptureLine(std::string& out, std::int64_t sentAtMicros, std::uint32_t processId,
                       std::uint32_t threadId, std::string_view envelope) {
    out += CaptureTimeText(sentAtMicros);
    out += '\t';
    char number[12];
    auto put = [&](std::uint32_t v) {
        const auto [end, ec] = std::to_chars(number, number + sizeof number, v);
        (void)ec;
        out.append(number, std::size_t(end - number));
    };
    put(processId);
    out += '\t';
    put(threadId);
    out += '\t';
    AppendEscaped(out, envelope);
    out += "\r\n";
}

bool ParseCaptureLineView(std::string_view line, std::int64_t& sentAtMicros, std::uint32_t& processId,
                          std::uint32_t& threadId, std::string_view& envelope, std::string& scratch,
                          std::string* why) {
    auto fail = [why](const char* reason) {
        if (why) *why = reason;
        return false;
    };
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t t1 = line.find('\t');
    const std::size_t t2 = t1 == std::string_view::npos ? t1 : line.find('\t', t1 + 1);
    const std::size_t t3 = t2 == std::string_view::npos ? t2 : line.find('\t', t2 + 1);
    if (t3 == std::string_view::npos) return fail("fewer than four fields");
    if (!ReadTime(line.substr(0, t1), sentAtMicros))
        return fail("not a time such as 2026-12-08T14:03:07.123456Z");
    if (!ReadNumber(line.substr(t1 + 1, t2 - t1 - 1), processId)) return fail("no process id");
    if (!ReadNumber(line.substr(t2 + 1, t3 - t2 - 1), threadId)) return fail("no thread id");
    const std::string_view field = line.substr(t3 + 1);
    if (field.find('\\') == std::string_view::npos) {
        envelope = field;
    } else {
        if (!Unescape(field, scratch)) return fail("a backslash that escapes nothing");
        envelope = scratch;
    }
    if (envelope.empty()) return fail("no envelope");
    return true;
}

bool ParseCaptureLine(std::string_view line, CaptureRecord& out, std::string* why) {
    std::string_view envelope;
    std::string scratch;
    if (!ParseCaptureLineView(line, out.sentAtMicros, out.processId, out.threadId, envelope, scratch, why))
        return false;
    out.envelope.assign(envelope);
    return true;
}

bool LooksLikeCaptureLine(std::string_view line) {
    CaptureRecord record;
    return line.size() > 28 && line[27] == '\t' && ParseCaptureLine(line, record);
}

}  // namespace tw::messaging
