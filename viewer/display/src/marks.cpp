#include "tw/display/marks.hpp"

#include "tw/core/trace_tree.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"


namespace tw::viewer {

// Keeps the marks in step with one tree: the marks of removed lines are dropped unless
// another line still shows their message.
class Marks::TreeWatch : public TraceTreeObserver {
public:
    TreeWatch(Marks& marks, TraceTree& tree) : m_marks(marks), m_tree(&tree) { tree.AddObserver(this); }
    ~TreeWatch() override {
        if (m_tree) m_tree->RemoveObserver(this);
    }
    TraceTree* Tree() const { return m_tree; }

    void LinesAboutToBeRemoved(int first, int last) override { Collect(first, last); }
    void LinesRemoved(int, int) override { Settle(); }
    void AboutToClear() override {
        if (m_tree && !m_tree->IsEmpty()) Collect(1, m_tree->Count());
    }
    void Cleared() override { Settle(); }
    void TreeDestroyed() override { m_tree = nullptr; }

private:
    void Collect(int first, int last) {
        if (m_marks.m_marked.empty()) return;
        for (int i = first; i <= last; ++i) {
            const auto it = m_marks.m_marked.find(m_tree->Tag(i).get());
            if (it != m_marks.m_marked.end()) m_going.emplace(it->first, it->second);
        }
    }
    void Settle() {
        if (m_going.empty()) return;
        m_marks.Prune(m_going);
        m_going.clear();
    }

    Marks& m_marks;
    TraceTree* m_tree;
    std::unordered_map<const MessageSink*, MessageRef> m_going;
};

Marks::Marks(Viewer& viewer, QObject* parent) : QObject(parent), m_viewer(viewer) {
    for (int page = 0; page < 5; ++page) {
        m_watches[std::size_t(page)] = std::make_unique<TreeWatch>(*this, viewer.Tree(page));
        Attach(viewer.View(page));
    }
}

Marks::~Marks() {
    for (auto& view : m_views)
        if (view) view->SetMarkTest(nullptr);
}

bool Marks::IsMarked(const TraceTree& tree, int index) const {
    return !m_marked.empty() && m_marked.count(tree.Tag(index).get()) > 0;
}

bool Marks::Toggle() {
    TraceTree& tree = m_viewer.GetCurrent();
    const int selected = tree.Selected();
    if (selected == 0) return false;
    const MessageRef& message = tree.Tag(selected);
    if (!m_marked.erase(message.get())) m_marked.emplace(message.get(), message);
    Repaint();
    return true;
}

bool Marks::Next() { return Step(+1); }
bool Marks::Previous() { return Step(-1); }

bool Marks::Step(int direction) {
    TraceTree& tree = m_viewer.GetCurrent();
    const int count = tree.Count();
    if (m_marked.empty() || count == 0) return false;
    const int selected = tree.Selected();
    // With nothing selected, Next starts at line 1 and Previous at the last line.
    int i = selected ? selected : (direction > 0 ? count : 1);
    for (int n = 0; n < count; ++n) {
        i += direction;
        if (i > count) i = 1;
        if (i < 1) i = count;
        if (IsMarked(tree, i)) {
            tree.Select(i);
            return true;
        }
    }
    return false;
}

void Marks::ClearAll() {
    if (m_marked.empty()) return;
    m_marked.clear();
    Repaint();
}

void Marks::Prune(std::unordered_map<const MessageSink*, MessageRef>& candidates) {
    // Whatever another line (in any page, the changed one included) still shows stays marked.
    for (const auto& watch : m_watches) {
        const TraceTree* tree = watch ? watch->Tree() : nullptr;
        if (!tree) continue;
        for (int i = 1; i <= tree->Count() && !candidates.empty(); ++i) candidates.erase(tree->Tag(i).get());
    }
    for (const auto& [message, ref] : candidates) m_marked.erase(message);
    if (!candidates.empty()) Repaint();
}

void Marks::Attach(TraceView* view) {
    if (!view) return;
    std::erase_if(m_views, [](const QPointer<TraceView>& v) { return v.isNull(); });
    view->SetMarkTest([this](const TraceTree& tree, int line) { return IsMarked(tree, line); });
    m_views.emplace_back(view);
}

void Marks::Repaint() {
    for (auto& view : m_views)
        if (view) view->MarksChanged();
    emit changed();
}

}  // namespace tw::viewer
