#include "tw/core/profiler.hpp"

#include "tw/messaging/codepage.hpp"

#include <algorithm>
#include <cstdio>

namespace tw::viewer {

namespace {

constexpr int kScratch = 5, kEnterFormula = 6, kExitFormula = 7, kEnterSubreport = 8, kExitSubreport = 9;
// Gaps kept for the send cost: enough for a steady median.
constexpr std::size_t kGapSample = 4096;

std::uint64_t RecordKey(int pass, std::int32_t record) {
    return (std::uint64_t(std::uint32_t(pass)) << 32) | std::uint32_t(record);
}

}  // namespace

std::uint32_t Profiler::Intern(std::string_view name, bool subreport) {
    std::string key(name);
    if (subreport) key.insert(key.begin(), '\x01');  // a subreport and a formula may share a name
    const auto it = m_ids.find(key);
    if (it != m_ids.end()) return it->second;
    const auto id = std::uint32_t(m_names.size());
    m_names.emplace_back(name);
    m_subreport.push_back(subreport);
    m_ids.emplace(std::move(key), id);
    return id;
}

void Profiler::NoteRecord(std::int32_t record, std::int64_t micros) {
    if (record <= 0) return;
    if (m_passHighest == 0) {
        m_passLowest = m_passHighest = record;
    } else if (m_passRose && record <= m_passLowest) {
        // Back to the lowest after rising: the report evaluates its records again.
        ++m_pass;
        m_passLowest = m_passHighest = record;
        m_passRose = false;
    } else {
        if (record > m_passHighest) {
            m_passHighest = record;
            m_passRose = true;
        }
        m_passLowest = std::min(m_passLowest, record);
    }
    const std::uint64_t key = RecordKey(m_pass, record);
    if (key != m_lastKey) {
        const auto [it, added] = m_spanIndex.try_emplace(key, std::uint32_t(m_spans.size()));
        if (added) {
            m_spans.emplace_back();
            m_spanKeys.push_back(key);
        }
        m_lastKey = key;
        m_lastSpan = it->second;
    }
    RecordSpan& span = m_spans[m_lastSpan];
    if (span.messages == 0) span.first = micros;
    span.last = micros;
    ++span.messages;
}

void Profiler::Add(int type, std::int32_t record, std::string_view text, std::int64_t micros, int line,
                   std::uint64_t stream) {
    ++m_messages;
    if (micros != 0) m_timed = true;
    if (!m_lastStream || m_lastStreamId != stream) {
        m_lastStream = &m_streams[stream];  // elements of an unordered_map stay where they are
        m_lastStreamId = stream;
    }
    if (m_lastStream->subreports == 0 && type != kScratch) {
        NoteRecord(record, micros);
        if (record > 0) m_lastStream->mainRecord = record;
    }
    std::vector<std::uint32_t>& stack = m_lastStream->stack;
    std::int64_t& lastInCall = m_lastStream->lastInCall;
    const bool entry = type == kEnterFormula || type == kEnterSubreport;
    const bool exit = type == kExitFormula || type == kExitSubreport;
    if (!stack.empty() && !entry) {
        Call& current = m_calls[stack.back()];
        ++current.messages;
        if (lastInCall >= 0 && micros >= lastInCall && m_gaps.size() < kGapSample)
            m_gaps.push_back(micros - lastInCall);
        lastInCall = micros;
    }
    if (entry) {
        Call call{};
        call.name = Intern(text, type == kEnterSubreport);
        call.depth = std::uint32_t(stack.size());
        call.start = micros;
        call.end = -1;
        call.record = record;
        call.mainRecord = m_lastStream->mainRecord;
        call.entryLine = line;
        call.pass = m_pass;
        call.stream = stream;
        call.parent = stack.empty() ? kNone : stack.back();
        call.lastInside = std::uint32_t(m_calls.size());
        if (type == kEnterSubreport) ++m_lastStream->subreports;
        stack.push_back(std::uint32_t(m_calls.size()));
        m_calls.push_back(call);
        lastInCall = micros;
    } else if (exit) {
        if (stack.empty()) {
            ++m_strayExits;
            return;
        }
        Call& call = m_calls[stack.back()];
        call.lastInside = std::uint32_t(m_calls.size() - 1);
        stack.pop_back();
        if (m_subreport[call.name]) --m_lastStream->subreports;
        call.end = std::max(micros, call.start);
        if (!stack.empty()) m_calls[stack.back()].childTime += call.end - call.start;
        lastInCall = stack.empty() ? -1 : micros;
    }
}

void Profiler::Clear() {
    Profiler empty;
    std::swap(*this, empty);
}

std::vector<Profiler::Row> Profiler::Rows(int pass) const {
    std::vector<Row> rows(m_names.size());
    for (std::uint32_t i = 0; i < rows.size(); ++i) {
        rows[i].name = i;
        rows[i].subreport = m_subreport[i];
    }
    // Which names are on the stack above each call (of its caller), to count a recursive call's
    // time once.
    struct Walk {
        std::vector<std::uint32_t> open;  // call indexes, by depth
        std::unordered_map<std::uint32_t, std::uint32_t> onStack;
    };
    std::unordered_map<std::uint64_t, Walk> walks;
    for (std::uint32_t c = 0; c < m_calls.size(); ++c) {
        const Call& call = m_calls[c];
        Walk& walk = walks[call.stream];
        while (walk.open.size() > call.depth) {
            --walk.onStack[m_calls[walk.open.back()].name];
            walk.open.pop_back();
        }
        const bool outermost = walk.onStack[call.name] == 0;
        walk.open.push_back(c);
        ++walk.onStack[call.name];
        if (pass >= 0 && call.pass != pass) continue;
        Row& row = rows[call.name];
        ++row.calls;
        row.messages += call.messages;
        if (call.end < 0) {
            ++row.open;
            continue;
        }
        const std::int64_t duration = call.end - call.start;
        if (outermost) row.total += duration;
        row.self += duration - call.childTime;
        if (row.calls - row.open == 1 || duration > row.max) {
            row.max = duration;
            row.maxRecord = call.record;
            row.maxLine = call.entryLine;
        }
    }
    std::erase_if(rows, [](const Row& r) { return r.calls == 0; });
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.total > b.total; });
    return rows;
}

std::vector<Profiler::RecordRow> Profiler::ByRecord(int pass) const {
    std::vector<RecordRow> rows;
    rows.reserve(m_spans.size());
    for (std::size_t i = 0; i < m_spans.size(); ++i) {
        const int p = int(m_spanKeys[i] >> 32);
        if (pass >= 0 && p != pass) continue;
        RecordRow row;
        row.record = std::int32_t(std::uint32_t(m_spanKeys[i]));
        row.pass = p;
        row.first = m_spans[i].first;
        row.last = m_spans[i].last;
        row.messages = m_spans[i].messages;
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(), [](const RecordRow& a, const RecordRow& b) {
        return a.pass != b.pass ? a.pass < b.pass : a.record < b.record;
    });
    // The self time each formula spent in each record, the greatest three kept.
    auto find = [&rows](int p, std::int32_t record) -> RecordRow* {
        const auto it = std::lower_bound(
            rows.begin(), rows.end(), std::pair(p, record), [](const RecordRow& r, const auto& k) {
                return r.pass != k.first ? r.pass < k.first : r.record < k.second;
            });
        return it != rows.end() && it->pass == p && it->record == record ? &*it : nullptr;
    };
    for (const Call& call : m_calls) {
        if (call.end < 0 || call.mainRecord <= 0 || (pass >= 0 && call.pass != pass)) continue;
        RecordRow* row = find(call.pass, call.mainRecord);
        if (!row) continue;
        const std::int64_t self = call.end - call.start - call.childTime;
        auto it = std::find_if(row->top.begin(), row->top.end(),
                               [&](const auto& t) { return t.first == call.name; });
        if (it != row->top.end())
            it->second += self;
        else
            row->top.emplace_back(call.name, self);
    }
    for (RecordRow& row : rows) {
        std::sort(row.top.begin(), row.top.end(), [](const auto& a, const auto& b) {
            return a.second != b.second ? a.second > b.second : a.first < b.first;
        });
        if (row.top.size() > 3) row.top.resize(3);
    }
    return rows;
}

std::int64_t Profiler::SendCost() const {
    if (m_gaps.size() < 8) return 0;
    std::vector<std::int64_t> gaps = m_gaps;
    std::nth_element(gaps.begin(), gaps.begin() + std::ptrdiff_t(gaps.size() / 2), gaps.end());
    return gaps[gaps.size() / 2];
}

std::int64_t Profiler::SelfWithoutSends(const Row& row) const {
    return std::max<std::int64_t>(0, row.self - SendCost() * std::int64_t(row.messages));
}

namespace {

void Json(std::string& out, std::string_view codePage) {
    const std::string text = messaging::CodePageToUtf8(codePage);
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    out += '"';
}

}  // namespace

std::string ChromeTraceJson(const Profiler& p, const std::function<bool(TraceMessage&)>& next) {
    std::string out = "{\"traceEvents\":[\n";
    bool first = true;
    auto comma = [&] {
        if (!first) out += ",\n";
        first = false;
    };
    auto ids = [&](std::uint64_t stream) {
        out +=
            ",\"pid\":" + std::to_string(stream >> 32) + ",\"tid\":" + std::to_string(stream & 0xFFFFFFFFu);
    };
    for (const Profiler::Call& call : p.Calls()) {
        if (call.end < 0) continue;
        comma();
        out += "{\"name\":";
        Json(out, p.Names()[call.name]);
        out += p.IsSubreport(call.name) ? ",\"cat\":\"subreport\"" : ",\"cat\":\"formula\"";
        out += ",\"ph\":\"X\",\"ts\":" + std::to_string(call.start) +
               ",\"dur\":" + std::to_string(call.end - call.start);
        ids(call.stream);
        out += ",\"args\":{\"record\":" + std::to_string(call.record) + "}}";
    }
    TraceMessage m;
    while (next(m)) {
        if (m.type >= kEnterFormula && m.type <= kExitSubreport) continue;
        comma();
        out += "{\"name\":";
        Json(out, m.type == 4 ? m.objectName : m.message);
        out += ",\"cat\":\"message\",\"ph\":\"i\",\"s\":\"t\",\"ts\":" + std::to_string(m.micros);
        ids(m.stream);
        out += ",\"args\":{\"type\":" + std::to_string(m.type) + ",\"record\":" + std::to_string(m.record);
        if (m.type == 4) {
            out += ",\"object\":";
            Json(out, m.objectName);
            out += ",\"value\":";
            Json(out, m.objectValue);
        } else {
            out += ",\"message\":";
            Json(out, m.message);
        }
        out += "}}";
    }
    out += "\n],\"displayTimeUnit\":\"ms\"}\n";
    return out;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string ProfileCsv(const Profiler& p, int pass) {
    std::string out = "Formula,Calls,Total us,Self us,Self~ us,Mean us,Max us,Max at record,Messages\n";
    for (const auto& r : p.Rows(pass)) {
        const std::string name = messaging::CodePageToUtf8(p.Names()[r.name]) +
                                 (r.open ? " (" + std::to_string(r.open) + " open)" : "");
        out += CsvField(name) + "," + std::to_string(r.calls) + "," + std::to_string(r.total) + "," +
               std::to_string(r.self) + "," + std::to_string(p.SelfWithoutSends(r)) + "," +
               std::to_string(r.Mean()) + "," + std::to_string(r.max) + "," + std::to_string(r.maxRecord) +
               "," + std::to_string(r.messages) + "\n";
    }
    return out;
}

std::string DurationText(std::int64_t micros) {
    char text[32];
    const double v = double(micros);
    if (micros < 1000)
        std::snprintf(text, sizeof text, "%lld \xC2\xB5s", static_cast<long long>(micros));
    else if (micros < 1'000'000)
        std::snprintf(text, sizeof text, "%.1f ms", v / 1e3);
    else
        std::snprintf(text, sizeof text, "%.3f s", v / 1e6);
    return text;
}

}  // namespace tw::viewer
