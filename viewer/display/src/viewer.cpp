#include "tw/display/viewer.hpp"

#include "tw/display/trace_view.hpp"

#include <QTabWidget>
#include <QVBoxLayout>

namespace tw::viewer {

namespace {
// The trees leave 90 twips (6 pixels) on the left, right and top of the page.
constexpr int kMargin = 6;
}  // namespace

Viewer::Viewer(QWidget* parent) {
    for (int k = 0; k < 5; ++k)
        m_trees[std::size_t(k)] = std::make_unique<TraceTree>(k == 0 ? QStringLiteral("Default")
                                                                     : QStringLiteral("Filter %1").arg(k));
    m_tabs = new QTabWidget(parent);
    m_tabs->setObjectName(QStringLiteral("tabViewer"));
    m_tabs->setTabPosition(QTabWidget::South);
    for (int k = 0; k < 5; ++k) {
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(kMargin, kMargin, kMargin, 0);
        auto* view = new TraceView(*m_trees[std::size_t(k)], page);
        if (k == 0) {
            view->setObjectName(QStringLiteral("tvwViewer"));
        } else {
            view->setObjectName(QStringLiteral("tvwFilter"));
            view->setProperty("index", k - 1);
            view->SetMenuOnPress(true);
        }
        connect(view, &TraceView::searchMenuRequested, this, &Viewer::searchMenuRequested);
        layout->addWidget(view);
        m_tabs->addTab(page, k == 0 ? QStringLiteral("Default") : QStringLiteral("Filter"));
        m_views[std::size_t(k)] = view;
    }
    for (int k = 1; k <= 4; ++k) m_tabs->setTabVisible(k, false);
    m_tabs->setCurrentIndex(0);
}

Viewer::~Viewer() {
    // Views go before the trees they show.
    delete m_tabs.data();
}

TraceTree& Viewer::GetDefault() { return *m_trees[0]; }

int Viewer::CurrentPage() const {
    const int t = m_tabs ? m_tabs->currentIndex() : 0;
    return t >= 1 && t <= 4 ? t : 0;
}

TraceTree& Viewer::GetCurrent() { return *m_trees[std::size_t(CurrentPage())]; }

bool Viewer::CanAdd() const {
    if (!m_tabs) return false;
    for (int k = 1; k <= 4; ++k)
        if (!m_tabs->isTabVisible(k)) return true;
    return false;
}

TraceTree* Viewer::Add(const QString& caption) {
    if (!m_tabs) return nullptr;
    for (int k = 1; k <= 4; ++k) {
        if (!m_tabs->isTabVisible(k)) {
            m_tabs->setTabVisible(k, true);
            m_tabs->setCurrentIndex(k);
            m_tabs->setTabText(k, caption);
            return m_trees[std::size_t(k)].get();
        }
    }
    return nullptr;
}

void Viewer::RemoveCurrent() {
    if (!m_tabs) return;
    const int t = m_tabs->currentIndex();
    if (t >= 1 && t <= 4) m_tabs->setTabVisible(t, false);
}

void Viewer::RemoveAll() {
    for (int k = 1; k <= 4; ++k) {
        if (m_tabs) m_tabs->setTabVisible(k, false);
        m_trees[std::size_t(k)]->Clear();
    }
}

int Viewer::PageOf(const TraceTree& tree) const {
    for (int k = 0; k < 5; ++k)
        if (m_trees[std::size_t(k)].get() == &tree) return k;
    return -1;
}

void Viewer::SetCurrentPage(int page) {
    if (!m_tabs || page < 0 || page > 4 || !m_tabs->isTabVisible(page)) return;
    m_tabs->setCurrentIndex(page);
}

void Viewer::FlushPending() {
    for (auto& view : m_views)
        if (view) view->Refresh();
}

}  // namespace tw::viewer
