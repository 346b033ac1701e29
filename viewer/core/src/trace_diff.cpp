#include "tw/core/trace_diff.hpp"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace tw::viewer {

namespace {

constexpr int kEnterFormula = 6, kEnterSubreport = 8, kExitFormula = 7, kExitSubreport = 9, kObject = 4;

bool IsEntry(int type) { return type == kEnterFormula || type == kEnterSubreport; }
bool IsExit(int type) { return type == kExitFormula || type == kExitSubreport; }

std::uint64_t Hash(std::uint64_t h, std::string_view bytes) {
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ULL;
    return h;
}
std::uint64_t Hash(std::uint64_t h, std::uint64_t v) {
    for (int i = 0; i < 8; ++i, v >>= 8) h = (h ^ (v & 0xFF)) * 1099511628211ULL;
    return h;
}

// A message, or a call: its entry, what was sent inside, its exit.
struct Node {
    int first = 0;  // the message (the entry of a call)
    int last = -1;  // the exit of a call, -1 while open or for a message
    bool call = false;
    std::uint64_t key = 0;  // what must be equal for two nodes to be lined up as the same
    std::vector<int> children;
};

struct Run {
    const std::vector<DiffMessage>& messages;
    std::vector<Node> nodes;
    std::vector<int> top;

    Run(const std::vector<DiffMessage>& m, const DiffOptions& o) : messages(m) {
        std::vector<int> open;
        for (int i = 0; i < int(m.size()); ++i) {
            const DiffMessage& msg = m[std::size_t(i)];
            if (IsExit(msg.type) && !open.empty()) {
                nodes[std::size_t(open.back())].last = i;
                open.pop_back();
                continue;
            }
            Node node;
            node.first = i;
            node.call = IsEntry(msg.type);
            node.key = Hash(Hash(14695981039346656037ULL, std::uint64_t(msg.type)), msg.text);
            if (!o.ignoreRecords) node.key = Hash(node.key, std::uint64_t(std::uint32_t(msg.record)));
            const int id = int(nodes.size());
            nodes.push_back(std::move(node));
            (open.empty() ? top : nodes[std::size_t(open.back())].children).push_back(id);
            if (nodes[std::size_t(id)].call) open.push_back(id);
        }
    }
};

// What a changed pair has in common: the kind of message and, for an object, its name.
std::string_view NameOf(const DiffMessage& m) {
    if (m.type != kObject) return {};
    const std::size_t eq = m.text.find(" = ");
    return std::string_view(m.text).substr(0, eq);
}

enum class Op { Same, Delete, Insert };

// The shortest edit script between two sequences of keys (Myers), or nothing when it needs
// more than maxEdits edits.
bool Myers(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b, std::size_t maxEdits,
           std::vector<Op>& script) {
    const int n = int(a.size()), m = int(b.size());
    const int max = int(std::min<std::size_t>(maxEdits, std::size_t(n + m)));
    const int offset = max + 1;
    std::vector<int> v(std::size_t(2 * max + 3), 0);
    std::vector<std::vector<int>> trace;
    for (int d = 0; d <= max; ++d) {
        trace.push_back(v);
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[std::size_t(offset + k - 1)] < v[std::size_t(offset + k + 1)]))
                        ? v[std::size_t(offset + k + 1)]
                        : v[std::size_t(offset + k - 1)] + 1;
            int y = x - k;
            while (x < n && y < m && a[std::size_t(x)] == b[std::size_t(y)]) ++x, ++y;
            v[std::size_t(offset + k)] = x;
            if (x >= n && y >= m) {
                // Back through the trace, from the end to the start.
                std::vector<Op> reversed;
                int cx = n, cy = m;
                for (int dd = d; dd > 0; --dd) {
                    const std::vector<int>& pv = trace[std::size_t(dd)];
                    const int ck = cx - cy;
                    const bool down = ck == -dd || (ck != dd && pv[std::size_t(offset + ck - 1)] <
                                                                    pv[std::size_t(offset + ck + 1)]);
                    const int pk = down ? ck + 1 : ck - 1;
                    const int px = pv[std::size_t(offset + pk)];
                    const int py = px - pk;
                    while (cx > px + (down ? 0 : 1) && cy > py + (down ? 1 : 0)) {
                        reversed.push_back(Op::Same);
                        --cx, --cy;
                    }
                    reversed.push_back(down ? Op::Insert : Op::Delete);
                    cx = px;
                    cy = py;
                }
                while (cx > 0 && cy > 0) {
                    reversed.push_back(Op::Same);
                    --cx, --cy;
                }
                script.assign(reversed.rbegin(), reversed.rend());
                return true;
            }
        }
    }
    return false;
}

struct Out {
    DiffLine line;
    int depth = 0;  // index into the path taken when the line was written
};

class Comparer {
  public:
    Comparer(const Run& a, const Run& b, const DiffOptions& o, DiffResult& r)
        : m_a(a), m_b(b), m_options(o), m_result(r) {}

    void Level(const std::vector<int>& as, const std::vector<int>& bs) {
        // The common start and end first: most of two runs of one report are the same.
        std::size_t head = 0;
        while (head < as.size() && head < bs.size() && Key(m_a, as[head]) == Key(m_b, bs[head])) ++head;
        std::size_t tail = 0;
        while (tail < as.size() - head && tail < bs.size() - head &&
               Key(m_a, as[as.size() - 1 - tail]) == Key(m_b, bs[bs.size() - 1 - tail]))
            ++tail;
        for (std::size_t i = 0; i < head; ++i) Same(as[i], bs[i]);
        std::vector<std::uint64_t> ka, kb;
        for (std::size_t i = head; i < as.size() - tail; ++i) ka.push_back(Key(m_a, as[i]));
        for (std::size_t i = head; i < bs.size() - tail; ++i) kb.push_back(Key(m_b, bs[i]));
        std::vector<Op> script;
        if (!ka.empty() || !kb.empty()) {
            if (!Myers(ka, kb, m_options.maxEdits, script)) {
                // Too different: line them up one by one.
                m_result.fellBack = true;
                script.clear();
                const std::size_t both = std::min(ka.size(), kb.size());
                for (std::size_t i = 0; i < both; ++i) {
                    if (ka[i] == kb[i])
                        script.push_back(Op::Same);
                    else
                        script.insert(script.end(), {Op::Delete, Op::Insert});
                }
                script.insert(script.end(), ka.size() - both, Op::Delete);
                script.insert(script.end(), kb.size() - both, Op::Insert);
            }
        }
        FindMoves(as, bs, head, script);
        std::size_t i = head, j = head;
        std::vector<int> deleted, inserted;
        auto flush = [&] {
            // A deleted and an inserted message of the same kind and name are one changed line.
            std::size_t p = 0, q = 0;
            while (p < deleted.size() || q < inserted.size()) {
                if (p < deleted.size() && q < inserted.size() && Pairs(deleted[p], inserted[q])) {
                    Changed(deleted[p++], inserted[q++]);
                } else if (p < deleted.size() &&
                           (q >= inserted.size() || !HasPair(inserted[q], deleted, p))) {
                    Whole(m_a, deleted[p++], '-');
                } else {
                    Whole(m_b, inserted[q++], '+');
                }
            }
            deleted.clear();
            inserted.clear();
        };
        for (const Op op : script) {
            if (op == Op::Same) {
                flush();
                Same(as[i++], bs[j++]);
            } else if (op == Op::Delete) {
                deleted.push_back(as[i++]);
            } else {
                inserted.push_back(bs[j++]);
            }
        }
        flush();
        for (std::size_t t = 0; t < tail; ++t) Same(as[as.size() - tail + t], bs[bs.size() - tail + t]);
    }

    std::vector<Out> out;
    std::vector<std::string> paths{std::string()};
    std::vector<std::int32_t> records{0};

  private:
    static std::uint64_t Key(const Run& r, int node) { return r.nodes[std::size_t(node)].key; }

    // A call's whole content: its key, what was sent inside, its exit.
    static std::uint64_t Content(const Run& r, int node, std::vector<std::uint64_t>& memo) {
        if (memo.empty()) memo.assign(r.nodes.size(), 0);
        std::uint64_t& h = memo[std::size_t(node)];
        if (h) return h;
        const Node& n = r.nodes[std::size_t(node)];
        h = Hash(n.key, std::uint64_t(n.last >= 0 ? 1 : 0));
        for (int child : n.children) h = Hash(h, Content(r, child, memo));
        return h ? h : 1;
    }

    // Calls this level removes and adds again, the same inside: moved.
    void FindMoves(const std::vector<int>& as, const std::vector<int>& bs, std::size_t head,
                   const std::vector<Op>& script) {
        std::vector<int> removed, added;
        std::size_t i = head, j = head;
        for (const Op op : script) {
            if (op == Op::Same)
                ++i, ++j;
            else if (op == Op::Delete)
                removed.push_back(as[i++]);
            else
                added.push_back(bs[j++]);
        }
        std::unordered_multimap<std::uint64_t, int> byContent;
        for (int node : added)
            if (m_b.nodes[std::size_t(node)].call) byContent.emplace(Content(m_b, node, m_memoB), node);
        for (int node : removed) {
            if (!m_a.nodes[std::size_t(node)].call) continue;
            const auto it = byContent.find(Content(m_a, node, m_memoA));
            if (it == byContent.end()) continue;
            m_movedA.insert(node);
            m_movedB.insert(it->second);
            byContent.erase(it);
        }
    }

    bool Pairs(int a, int b) const {
        const Node& na = m_a.nodes[std::size_t(a)];
        const Node& nb = m_b.nodes[std::size_t(b)];
        if (na.call || nb.call) return false;
        const DiffMessage& ma = m_a.messages[std::size_t(na.first)];
        const DiffMessage& mb = m_b.messages[std::size_t(nb.first)];
        return ma.type == mb.type && NameOf(ma) == NameOf(mb);
    }
    bool HasPair(int b, const std::vector<int>& deleted, std::size_t from) const {
        for (std::size_t p = from; p < deleted.size(); ++p)
            if (Pairs(deleted[p], b)) return true;
        return false;
    }

    void Emit(char kind, int a, int b) { out.push_back({{kind, a, b}, int(paths.size() - 1)}); }

    void Enter(const DiffMessage& entry) {
        const std::string& up = paths.back();
        paths.push_back(up.empty() ? entry.text : up + "/" + entry.text);
        records.push_back(entry.record);
    }
    void Leave() {
        // Paths stay in the list (lines refer to them); only the current one moves back.
        paths.push_back(paths[std::size_t(Parent())]);
        records.push_back(records[std::size_t(Parent())]);
        m_stack.pop_back();
    }
    int Parent() const { return m_stack.size() >= 2 ? m_stack[m_stack.size() - 2] : 0; }

    void Same(int a, int b) {
        const Node& na = m_a.nodes[std::size_t(a)];
        const Node& nb = m_b.nodes[std::size_t(b)];
        Emit(' ', na.first, nb.first);
        if (!na.call) return;
        Enter(m_a.messages[std::size_t(na.first)]);
        m_stack.push_back(int(paths.size() - 1));
        Level(na.children, nb.children);
        Leave();
        if (na.last >= 0 && nb.last >= 0)
            Emit(' ', na.last, nb.last);
        else if (na.last >= 0)
            Line(m_a, na.last, '-');
        else if (nb.last >= 0)
            Line(m_b, nb.last, '+');
    }
    void Changed(int a, int b) {
        ++m_result.changed;
        Line(m_a, m_a.nodes[std::size_t(a)].first, '-');
        out.back().line.changed = true;
        Line(m_b, m_b.nodes[std::size_t(b)].first, '+');
        out.back().line.changed = true;
    }
    void Line(const Run&, int message, char kind) {
        if (kind == '-') {
            ++m_result.onlyA;
            Emit('-', message, -1);
        } else {
            ++m_result.onlyB;
            Emit('+', -1, message);
        }
    }
    void Whole(const Run& r, int node, char kind, bool moved = false) {
        const Node& n = r.nodes[std::size_t(node)];
        moved = moved || (kind == '-' ? m_movedA : m_movedB).count(node) > 0;
        Line(r, n.first, kind);
        out.back().line.moved = moved;
        for (int child : n.children) Whole(r, child, kind, moved);
        if (n.last >= 0) {
            Line(r, n.last, kind);
            out.back().line.moved = moved;
        }
    }

    const Run& m_a;
    const Run& m_b;
    const DiffOptions& m_options;
    DiffResult& m_result;
    std::vector<int> m_stack{0};  // path indexes of the calls being compared
    std::vector<std::uint64_t> m_memoA, m_memoB;
    std::unordered_set<int> m_movedA, m_movedB;
};

}  // namespace

DiffResult CompareRuns(const std::vector<DiffMessage>& a, const std::vector<DiffMessage>& b,
                       const DiffOptions& options) {
    DiffResult result;
    const Run ra(a, options), rb(b, options);
    Comparer c(ra, rb, options, result);
    c.Level(ra.top, rb.top);
    if (options.keepAll) {
        result.all.reserve(c.out.size());
        for (const Out& o : c.out) result.all.push_back(o.line);
    }
    // Hunks: the changed lines with `context` lines around them, overlapping ones joined.
    const int context = std::max(0, options.context);
    const int count = int(c.out.size());
    for (int i = 0; i < count;) {
        if (c.out[std::size_t(i)].line.kind == ' ') {
            ++i;
            continue;
        }
        DiffHunk hunk;
        const Out& first = c.out[std::size_t(i)];
        hunk.path = c.paths[std::size_t(first.depth)];
        const DiffMessage& m =
            first.line.a >= 0 ? a[std::size_t(first.line.a)] : b[std::size_t(first.line.b)];
        hunk.record = m.record != 0 ? m.record : c.records[std::size_t(first.depth)];
        const int begin = std::max(0, i - context);
        // Changes closer than twice the context to the last one belong to the same hunk.
        int end = i;
        int quiet = 0;
        for (int k = i; k < count; ++k) {
            if (c.out[std::size_t(k)].line.kind != ' ') {
                end = k;
                quiet = 0;
            } else if (++quiet > 2 * context) {
                break;
            }
        }
        const int stop = std::min(count - 1, end + context);
        for (int k = begin; k <= stop; ++k) hunk.lines.push_back(c.out[std::size_t(k)].line);
        result.hunks.push_back(std::move(hunk));
        i = stop + 1;
    }
    return result;
}

}  // namespace tw::viewer
