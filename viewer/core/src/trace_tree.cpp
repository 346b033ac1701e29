#include "tw/core/trace_tree.hpp"

#include <algorithm>
#include <atomic>
#include <limits>
#include <stdexcept>

namespace tw::viewer {

namespace {

// Each tree gets its own tag, so a handle never finds a line of another tree; within a
// tree handles count up and are never reused.
std::atomic<std::uint64_t> g_nextTreeTag{1};

const std::vector<std::uint32_t> kNoChildren;

constexpr std::uint64_t kDefaultColours = (std::uint64_t(kDefaultColour) << 32) | kDefaultColour;

}  // namespace

TraceTreeObserver::~TraceTreeObserver() = default;
void TraceTreeObserver::LinesAboutToBeRemoved(int, int) {}
void TraceTreeObserver::LinesRemoved(int, int) {}
void TraceTreeObserver::LineChanged(int) {}
void TraceTreeObserver::ExpandedChanged(int, bool) {}
void TraceTreeObserver::SelectionChanged(int, bool) {}

TraceTree::TraceTree(QString name)
    : m_name(std::move(name)),
      m_childLists(1),
      m_tag((g_nextTreeTag.fetch_add(1, std::memory_order_relaxed) & 0xFFFFFF) << 40) {}

TraceTree::~TraceTree() {
    const auto observers = m_observers;
    for (auto* o : observers) o->TreeDestroyed();
}

int TraceTree::checked(int index) const {
    if (index < 1 || index > Count()) throw std::out_of_range("trace line index out of range");
    return index;
}

const TraceTree::Line& TraceTree::line(int index) const {
    if (index < 1 || index > Count()) throw std::out_of_range("trace line index out of range");
    return m_lines[std::size_t(index - 1)];
}

TraceTree::Line& TraceTree::line(int index) {
    if (index < 1 || index > Count()) throw std::out_of_range("trace line index out of range");
    return m_lines[std::size_t(index - 1)];
}

const std::vector<std::uint32_t>& TraceTree::childrenOf(int index) const {
    if (index == 0) return m_childLists[0];
    const std::uint32_t slot = line(index).children;
    return slot ? m_childLists[slot] : kNoChildren;
}

int TraceTree::ChildCount(int index) const { return int(childrenOf(index).size()); }

int TraceTree::Child(int index, int row) const {
    const auto& list = childrenOf(index);
    if (row < 0 || std::size_t(row) >= list.size()) throw std::out_of_range("child row out of range");
    return int(list[std::size_t(row)]);
}

int TraceTree::ChildCountUpTo(int index, int upTo) const {
    const auto& list = childrenOf(index);
    if (list.empty() || int(list.back()) <= upTo) return int(list.size());
    return int(std::upper_bound(list.begin(), list.end(), std::uint32_t(std::max(upTo, 0))) - list.begin());
}

int TraceTree::Row(int index) const {
    const auto& list = childrenOf(Parent(index));
    return int(std::lower_bound(list.begin(), list.end(), std::uint32_t(index)) - list.begin());
}

int TraceTree::LastInSubtree(int index) const {
    int last = index;
    for (;;) {
        const std::uint32_t slot = line(last).children;
        if (!slot || m_childLists[slot].empty()) return last;
        last = int(m_childLists[slot].back());
    }
}

void TraceTree::AppendText(int index, QString& out) const {
    const Line& l = line(index);
    out.reserve(out.size() + 24 + l.message->MessageLength());
    AppendLineText(l.message->RecordNumber(), l.stamp, QStringView(), out);
    l.message->AppendMessage(out);
}

QString TraceTree::SourceText(int index) const {
    const LineOrigin* origin = OriginOf(index);
    return origin ? m_origins.SourceText(*origin) : QString();
}

QString TraceTree::Text(int index) const {
    QString text;
    AppendText(index, text);
    return text;
}

int TraceTree::Selected() const { return m_selected ? IndexOf({m_selected}) : 0; }

int TraceTree::IndexOf(LineHandle handle) const {
    if (handle.isNull() || (handle.serial & ~kLocalMask) != m_tag) return 0;
    const std::uint64_t local = handle.serial & kLocalMask;
    if (local < m_firstLocal || local >= m_nextLocal) return 0;
    // Without removals the line sits at local - m_firstLocal; each removed line before it
    // moved it one place up, so it lies within m_removed places below that.
    const std::uint64_t guess = local - m_firstLocal;
    if (!m_serialsKept) return guess < m_lines.size() ? int(guess) + 1 : 0;
    if (m_serials.empty()) return 0;
    const std::uint64_t hi = std::min<std::uint64_t>(guess, m_serials.size() - 1);
    if (guess < m_serials.size() && m_serials[guess] == handle.serial) return int(guess) + 1;
    const std::uint64_t lo = hi > m_removed ? hi - m_removed : 0;
    auto first = m_serials.begin() + std::ptrdiff_t(lo), last = m_serials.begin() + std::ptrdiff_t(hi) + 1;
    auto it = std::lower_bound(first, last, handle.serial);
    if (it == last || *it != handle.serial) return 0;
    return int(it - m_serials.begin()) + 1;
}

// ---------------------------------------------------------------- TraceTree

void TraceTree::Reserve(std::size_t lines) {
    lines = std::min<std::size_t>(lines, std::numeric_limits<std::int32_t>::max());
    if (lines <= m_lines.capacity()) return;
    m_lines.reserve(lines);
    m_received.Reserve(lines);
}

int TraceTree::Append(int parent, MessageRef message, Stamp stamp, qint64 receivedAt,
                      const LineOrigin* origin) {
    if (!message) throw std::invalid_argument("trace line without a message");
    if (parent < 0 || parent > Count()) throw std::out_of_range("parent line out of range");
    const int level = parent ? m_lines[std::size_t(parent - 1)].level + 1 : 0;
    if (level > kMaxLevel) throw std::length_error("trace line nested too deep");
    Line l;
    l.level = std::uint8_t(level);
    l.message = std::move(message);
    l.parent = std::uint32_t(parent);
    l.stamp = stamp;
    const std::uint64_t serial = m_tag | (m_nextLocal++ & kLocalMask);
    m_lines.push_back(std::move(l));
    if (m_serialsKept) m_serials.push_back(serial);
    if (!m_colours.empty()) m_colours.push_back(kDefaultColours);
    m_received.Push(receivedAt);
    m_origins.Push(m_lines.size() - 1, origin);
    const auto index = std::uint32_t(m_lines.size());
    std::uint32_t slot = 0;
    if (parent != 0) {
        Line& p = m_lines[std::size_t(parent - 1)];
        if (!p.children) {
            if (!m_freeSlots.empty()) {
                p.children = m_freeSlots.back();
                m_freeSlots.pop_back();
            } else {
                p.children = std::uint32_t(m_childLists.size());
                m_childLists.emplace_back();
            }
        }
        slot = p.children;
    }
    // Child lists grow by half, not double: most are short lists of formula lines, and their
    // headroom is memory every line pays for.
    auto& list = m_childLists[slot];
    if (list.size() == list.capacity()) list.reserve(list.size() + list.size() / 2 + 4);
    list.push_back(index);
    for (auto* o : m_observers) o->LinesAppended();
    return int(index);
}

void TraceTree::BeginRenest() {
    m_childLists.assign(1, {});
    m_freeSlots.clear();
    for (Line& l : m_lines) {
        l.children = 0;
        l.parent = 0;
        l.level = 0;
    }
}

void TraceTree::PlaceInRenest(int line, int parent) {
    // Only the path from the top level to the line before can take a new line.
    bool onPath = parent == 0;
    for (int a = line - 1; a > 0 && !onPath; a = int(m_lines[std::size_t(a - 1)].parent))
        onPath = a == parent;
    if (!onPath || parent >= line) parent = 0;
    if (parent && m_lines[std::size_t(parent - 1)].level >= kMaxLevel)
        parent = int(m_lines[std::size_t(parent - 1)].parent);
    Line& l = m_lines[std::size_t(line - 1)];
    l.parent = std::uint32_t(parent);
    l.level = parent ? std::uint8_t(m_lines[std::size_t(parent - 1)].level + 1) : 0;
    std::uint32_t slot = 0;
    if (parent) {
        Line& p = m_lines[std::size_t(parent - 1)];
        if (!p.children) {
            p.children = std::uint32_t(m_childLists.size());
            m_childLists.emplace_back();
        }
        slot = p.children;
        p.flags |= kExpanded;
    }
    m_childLists[slot].push_back(std::uint32_t(line));
}

void TraceTree::EndRenest() {
    for (auto* o : m_observers) o->Renested();
}

int TraceTree::AppendCopy(const TraceTree& source, int sourceIndex) {
    const Line& s = source.line(sourceIndex);
    return Append(0, s.message, s.stamp, source.m_received.At(std::size_t(sourceIndex - 1)),
                  source.m_origins.At(std::size_t(sourceIndex - 1)));
}

void TraceTree::SetExpanded(int index, bool expanded) {
    Line& l = line(index);
    if (bool(l.flags & kExpanded) == expanded) return;
    l.flags = expanded ? std::uint8_t(l.flags | kExpanded) : std::uint8_t(l.flags & ~kExpanded);
    for (auto* o : m_observers) o->ExpandedChanged(index, expanded);
}

void TraceTree::SetExpandedRange(int first, int last, bool expanded) {
    checked(first);
    checked(last);
    bool changed = false;
    for (int i = first; i <= last; ++i) {
        Line& l = m_lines[std::size_t(i - 1)];
        if (!l.children || m_childLists[l.children].empty() || bool(l.flags & kExpanded) == expanded)
            continue;
        l.flags = expanded ? std::uint8_t(l.flags | kExpanded) : std::uint8_t(l.flags & ~kExpanded);
        changed = true;
    }
    if (changed)
        for (auto* o : m_observers) o->ExpansionReset();
}

Colour TraceTree::BackColour(int index) const {
    line(index);
    return m_colours.empty() ? kDefaultColour : Colour(m_colours[std::size_t(index - 1)]);
}

Colour TraceTree::ForeColour(int index) const {
    line(index);
    return m_colours.empty() ? kDefaultColour : Colour(m_colours[std::size_t(index - 1)] >> 32);
}

std::uint64_t& TraceTree::colours(int index) {
    line(index);
    if (m_colours.empty()) m_colours.assign(m_lines.size(), kDefaultColours);
    return m_colours[std::size_t(index - 1)];
}

void TraceTree::SetBackColour(int index, Colour colour) {
    if (BackColour(index) == colour) return;
    std::uint64_t& c = colours(index);
    c = (c & ~std::uint64_t(0xFFFFFFFFu)) | colour;
    for (auto* o : m_observers) o->LineChanged(index);
}

void TraceTree::SetForeColour(int index, Colour colour) {
    if (ForeColour(index) == colour) return;
    std::uint64_t& c = colours(index);
    c = (c & 0xFFFFFFFFu) | (std::uint64_t(colour) << 32);
    for (auto* o : m_observers) o->LineChanged(index);
}

void TraceTree::keepSerials() {
    if (m_serialsKept) return;
    m_serialsKept = true;
    m_serials.resize(m_lines.size());
    for (std::size_t i = 0; i < m_serials.size(); ++i) m_serials[i] = m_tag | (m_firstLocal + i);
}

void TraceTree::SetBold(int index, bool bold) {
    Line& l = line(index);
    if (bool(l.flags & kBold) == bold) return;
    l.flags = bold ? std::uint8_t(l.flags | kBold) : std::uint8_t(l.flags & ~kBold);
    for (auto* o : m_observers) o->LineChanged(index);
}

void TraceTree::Select(int index) {
    if (index == 0) {
        m_selected = 0;
        for (auto* o : m_observers) o->SelectionChanged(0, false);
        return;
    }
    const Line& l = line(index);
    // Expand the ancestors, outermost first, so views can open them in order.
    std::vector<int> ancestors;
    for (std::uint32_t p = l.parent; p != 0; p = m_lines[p - 1].parent) ancestors.push_back(int(p));
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) SetExpanded(*it, true);
    m_selected = serialOf(index);
    for (auto* o : m_observers) o->SelectionChanged(index, true);
}

void TraceTree::SetSelectedFromView(int index) { m_selected = index ? Handle(index).serial : 0; }

void TraceTree::RemoveSubtree(int index) {
    const int first = index;
    const int last = LastInSubtree(index);
    const auto removed = std::uint32_t(last - first + 1);
    for (auto* o : m_observers) o->LinesAboutToBeRemoved(first, last);

    // Unlink from the parent's child list.
    const std::uint32_t parent = line(first).parent;
    auto& siblings = parent ? m_childLists[m_lines[parent - 1].children] : m_childLists[0];
    siblings.erase(std::lower_bound(siblings.begin(), siblings.end(), std::uint32_t(first)));
    if (parent && siblings.empty()) {
        m_freeSlots.push_back(m_lines[parent - 1].children);
        m_lines[parent - 1].children = 0;
    }
    // Give back the child lists of the removed lines.
    for (int i = first; i <= last; ++i) {
        Line& l = m_lines[std::size_t(i - 1)];
        if (l.children) {
            std::vector<std::uint32_t>().swap(m_childLists[l.children]);
            m_freeSlots.push_back(l.children);
        }
    }
    keepSerials();
    m_lines.erase(m_lines.begin() + (first - 1), m_lines.begin() + last);
    m_serials.erase(m_serials.begin() + (first - 1), m_serials.begin() + last);
    if (!m_colours.empty()) m_colours.erase(m_colours.begin() + (first - 1), m_colours.begin() + last);
    m_received.Erase(std::size_t(first - 1), std::size_t(last));
    m_origins.Erase(std::size_t(first - 1), std::size_t(last));
    m_removed += removed;

    // Renumber: every reference to a line after the removed run moves down.
    const auto after = std::uint32_t(last);
    for (auto it = m_lines.begin() + (first - 1); it != m_lines.end(); ++it) {
        if (it->parent > after) it->parent -= removed;
    }
    for (auto& list : m_childLists) {
        auto it = std::upper_bound(list.begin(), list.end(), after);
        for (; it != list.end(); ++it) *it -= removed;
    }
    if (m_selected && !IndexOf({m_selected})) m_selected = 0;
    for (auto* o : m_observers) o->LinesRemoved(first, last);
}

void TraceTree::Clear() {
    for (auto* o : m_observers) o->AboutToClear();
    std::vector<Line>().swap(m_lines);
    std::vector<std::uint64_t>().swap(m_serials);
    m_serialsKept = false;
    std::vector<std::uint64_t>().swap(m_colours);
    m_received.Clear();
    m_origins.Clear();
    m_childLists.assign(1, {});
    std::vector<std::uint32_t>().swap(m_freeSlots);
    m_selected = 0;
    m_firstLocal = m_nextLocal;
    m_removed = 0;
    for (auto* o : m_observers) o->Cleared();
}

void TraceTree::AddObserver(TraceTreeObserver* observer) {
    if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void TraceTree::RemoveObserver(TraceTreeObserver* observer) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
}

std::size_t TraceTree::StructureBytes() const {
    std::size_t bytes = sizeof(*this) + m_lines.capacity() * sizeof(Line) +
                        (m_serials.capacity() + m_colours.capacity()) * sizeof(std::uint64_t) +
                        m_received.Bytes() + m_origins.Bytes() +
                        m_childLists.capacity() * sizeof(m_childLists[0]) +
                        m_freeSlots.capacity() * sizeof(std::uint32_t);
    for (const auto& list : m_childLists) bytes += list.capacity() * sizeof(std::uint32_t);
    return bytes;
}

}  // namespace tw::viewer
