#include "tw/display/quick_filter.hpp"

#include <algorithm>
#include <thread>

#include <algorithm>

namespace tw::viewer {

PatternMatcher::PatternMatcher(const QuickPattern& pattern)
    : m_empty(pattern.text.isEmpty()), m_regex(pattern.regex), m_matchCase(pattern.matchCase), m_text(pattern.text) {
    if (m_empty) return;
    if (m_regex) {
        m_re.setPattern(pattern.text);
        m_re.setPatternOptions(m_matchCase ? QRegularExpression::NoPatternOption
                                           : QRegularExpression::CaseInsensitiveOption);
        if (!m_re.isValid()) {
            m_error = QStringLiteral("%1 at position %2").arg(m_re.errorString()).arg(m_re.patternErrorOffset());
            return;
        }
        m_re.optimize();
    } else {
        SearchOptions options;
        options.text = pattern.text;
        options.matchCase = pattern.matchCase;
        m_plain.emplace(options);
    }
    m_line.reserve(1024);
}

bool PatternMatcher::Matches(const TraceTree& tree, int index) {
    if (m_empty || !m_error.isEmpty()) return false;
    if (!m_regex) return m_plain->Matches(tree, index);
    m_line.resize(0);
    tree.AppendText(index, m_line);
    return m_re.match(QStringView(m_line)).hasMatch();
}

void PatternMatcher::FindAll(QStringView text, std::vector<std::pair<int, int>>& out) const {
    out.clear();
    if (m_empty || !m_error.isEmpty()) return;
    if (!m_regex) {
        const Qt::CaseSensitivity cs = m_matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
        for (qsizetype at = text.indexOf(QStringView(m_text), 0, cs); at >= 0;
             at = text.indexOf(QStringView(m_text), at + m_text.size(), cs))
            out.emplace_back(int(at), int(m_text.size()));
        return;
    }
    for (auto it = m_re.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength() > 0) out.emplace_back(int(m.capturedStart()), int(m.capturedLength()));
    }
}

namespace {
// From this many new lines on, matching is shared among the processor's cores.
constexpr int kParallelLines = 1 << 16;
}  // namespace

QuickFilter::QuickFilter() = default;

QuickFilter::~QuickFilter() { Reset(); }

void QuickFilter::Reset() {
    if (m_source) m_source->RemoveObserver(this);
    m_source = nullptr;
    m_filtered.reset();
    m_matcher.reset();
    m_pattern = {};
    std::vector<std::uint32_t>().swap(m_map);
    m_spine.clear();
    m_scanned = 0;
    m_arrivalSignalled = false;
}

bool QuickFilter::Apply(TraceTree& source, const QuickPattern& pattern, QString* error) {
    Reset();
    auto matcher = std::make_unique<PatternMatcher>(pattern);
    if (!matcher->IsValid()) {
        if (error) *error = matcher->Error();
        return false;
    }
    if (error) error->clear();
    if (matcher->IsEmpty()) return true;
    m_matcher = std::move(matcher);
    m_pattern = pattern;
    m_source = &source;
    m_filtered = std::make_unique<TraceTree>(QStringLiteral("Quick filter"));
    source.AddObserver(this);
    CatchUp();
    return true;
}

int QuickFilter::SourceLine(int filteredLine) const {
    if (filteredLine < 1 || std::size_t(filteredLine) > m_map.size()) return 0;
    return int(m_map[std::size_t(filteredLine - 1)]);
}

int QuickFilter::FilteredLine(int sourceLine) const {
    if (sourceLine < 1) return 0;
    const auto it = std::lower_bound(m_map.begin(), m_map.end(), std::uint32_t(sourceLine));
    return it != m_map.end() && *it == std::uint32_t(sourceLine) ? int(it - m_map.begin()) + 1 : 0;
}

void QuickFilter::CatchUp() {
    m_arrivalSignalled = false;
    if (!m_source) return;
    const int count = m_source->Count();
    const int lines = count - m_scanned;
    const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    if (lines >= kParallelLines && threads > 1) {
        // Matching only reads the tree: the lines are cut into one run a thread, each with a
        // matcher of its own; keeping the matches stays on this thread, in order.
        std::vector<std::vector<std::uint32_t>> found{std::size_t(threads)};
        std::vector<std::thread> workers;
        const int per = (lines + threads - 1) / threads;
        for (int t = 0; t < threads; ++t) {
            const int from = m_scanned + 1 + t * per;
            const int to = std::min(count, from + per - 1);
            if (from > to) break;
            workers.emplace_back([this, &found, t, from, to] {
                PatternMatcher matcher(m_pattern);
                for (int i = from; i <= to; ++i)
                    if (matcher.Matches(*m_source, i)) found[std::size_t(t)].push_back(std::uint32_t(i));
            });
        }
        for (std::thread& worker : workers) worker.join();
        std::size_t matches = 0;
        for (const auto& run : found) matches += run.size();
        m_filtered->Reserve(std::size_t(m_filtered->Count()) + matches);
        m_map.reserve(m_map.size() + matches);
        for (const auto& run : found)
            for (std::uint32_t line : run) Keep(int(line));
    } else {
        for (int i = m_scanned + 1; i <= count; ++i)
            if (m_matcher->Matches(*m_source, i)) Keep(i);
    }
    m_scanned = count;
}

void QuickFilter::Keep(int sourceLine) {
    // The line and those of its ancestors not kept yet. Lines are matched in order, so an
    // ancestor is kept exactly when it is not after the last kept line: any kept line after
    // it would lie in its subtree and have brought it in already.
    int chain[TraceTree::kMaxLevel + 2];
    int n = 0;
    chain[n++] = sourceLine;
    const std::uint32_t lastKept = m_map.empty() ? 0 : m_map.back();
    for (int p = m_source->Parent(sourceLine); p != 0 && std::uint32_t(p) > lastKept; p = m_source->Parent(p))
        chain[n++] = p;
    while (n > 0) {
        const int s = chain[--n];
        const int level = m_source->Level(s);
        // The parent is kept and lies on the path to the last kept line.
        const int parent = level > 0 ? int(m_spine[std::size_t(level - 1)]) : 0;
        const int f = m_filtered->Append(parent, m_source->Tag(s), m_source->StampOf(s), m_source->ReceivedAt(s),
                                           m_source->OriginOf(s));
        if (m_source->BackColour(s) != kDefaultColour) m_filtered->SetBackColour(f, m_source->BackColour(s));
        if (m_source->ForeColour(s) != kDefaultColour) m_filtered->SetForeColour(f, m_source->ForeColour(s));
        if (m_source->Bold(s)) m_filtered->SetBold(f, true);
        if (parent && !m_filtered->IsExpanded(parent)) m_filtered->SetExpanded(parent, true);
        m_map.push_back(std::uint32_t(s));
        m_spine.resize(std::size_t(level) + 1);
        m_spine[std::size_t(level)] = std::uint32_t(f);
    }
}

void QuickFilter::RebuildSpine() {
    m_spine.clear();
    if (m_map.empty()) return;
    const int last = int(m_map.back());
    m_spine.resize(std::size_t(m_source->Level(last)) + 1);
    for (int s = last; s != 0; s = m_source->Parent(s))
        m_spine[std::size_t(m_source->Level(s))] = std::uint32_t(FilteredLine(s));
}

void QuickFilter::LinesAppended() {
    if (m_arrivalSignalled) return;
    m_arrivalSignalled = true;
    if (m_arrival) m_arrival();
}

void QuickFilter::LinesRemoved(int first, int last) {
    // m_map still holds the numbers from before the removal. The kept lines of the removed
    // subtree are the filtered subtree of its first line (kept whenever any of them is).
    const auto from = std::lower_bound(m_map.begin(), m_map.end(), std::uint32_t(first));
    const auto to = std::upper_bound(from, m_map.end(), std::uint32_t(last));
    const auto removed = std::uint32_t(last - first + 1);
    if (from != to) {
        const int root = int(from - m_map.begin()) + 1;
        m_map.erase(from, to);
        m_filtered->RemoveSubtree(root);
    }
    for (auto it = std::upper_bound(m_map.begin(), m_map.end(), std::uint32_t(first) - 1); it != m_map.end(); ++it)
        *it -= removed;
    if (first <= m_scanned) m_scanned -= std::min(last, m_scanned) - first + 1;
    RebuildSpine();
}

void QuickFilter::Cleared() {
    m_filtered->Clear();
    std::vector<std::uint32_t>().swap(m_map);
    m_spine.clear();
    m_scanned = 0;
}

void QuickFilter::LineChanged(int index) {
    const int f = FilteredLine(index);
    if (!f) return;
    m_filtered->SetBackColour(f, m_source->BackColour(index));
    m_filtered->SetForeColour(f, m_source->ForeColour(index));
    m_filtered->SetBold(f, m_source->Bold(index));
}

void QuickFilter::SelectionChanged(int index, bool /*makeVisible*/) {
    const int f = FilteredLine(index);
    if (f || index == 0) m_filtered->Select(f);
}

void QuickFilter::TreeDestroyed() {
    m_source = nullptr;  // it no longer needs to hear from us
    Reset();
}

}  // namespace tw::viewer
