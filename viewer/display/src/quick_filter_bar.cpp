#include "tw/display/quick_filter_bar.hpp"

#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTabWidget>

namespace tw::viewer {

namespace {
// Typing applies the pattern after this pause; arriving lines are matched this often.
constexpr int kTypingPauseMs = 200;
constexpr int kCatchUpMs = 40;
}  // namespace

QuickFilterBar::QuickFilterBar(Viewer& viewer, QWidget* parent) : QWidget(parent), m_viewer(viewer) {
    setObjectName(QStringLiteral("QuickFilterBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("txtQuickFilter"));
    m_field->setAccessibleName(QStringLiteral("Quick filter"));
    m_field->setPlaceholderText(QStringLiteral("Quick filter (Ctrl+L)"));
    m_field->setClearButtonEnabled(true);
    m_field->setMinimumWidth(120);
    m_field->installEventFilter(this);
    m_regex = new QCheckBox(QStringLiteral("Regular expression"), this);
    m_regex->setObjectName(QStringLiteral("chkQuickFilterRegex"));
    m_case = new QCheckBox(QStringLiteral("Match case"), this);
    m_case->setObjectName(QStringLiteral("chkQuickFilterCase"));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblQuickFilterCount"));
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("lblQuickFilterError"));
    m_error->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(m_field, 1);
    layout->addWidget(m_regex);
    layout->addWidget(m_case);
    layout->addWidget(m_count);
    layout->addWidget(m_error);

    m_applyTimer.setSingleShot(true);
    m_catchUpTimer.setSingleShot(true);
    connect(&m_applyTimer, &QTimer::timeout, this, &QuickFilterBar::ApplyNow);
    connect(&m_catchUpTimer, &QTimer::timeout, this, &QuickFilterBar::CatchUp);
    connect(m_field, &QLineEdit::textChanged, this, [this] { m_applyTimer.start(kTypingPauseMs); });
    connect(m_regex, &QCheckBox::toggled, this, &QuickFilterBar::ApplyNow);
    connect(m_case, &QCheckBox::toggled, this, &QuickFilterBar::ApplyNow);
    m_filter.SetArrivalHook([this] {
        if (!m_catchUpTimer.isActive()) m_catchUpTimer.start(kCatchUpMs);
    });
    if (QTabWidget* tabs = viewer.TabWidget())
        connect(tabs, &QTabWidget::currentChanged, this, &QuickFilterBar::PageChanged);
}

QuickFilterBar::~QuickFilterBar() {
    // The filtered view goes before the filtered tree.
    delete m_view.data();
}

QuickPattern QuickFilterBar::Pattern() const {
    return {m_field->text(), m_regex->isChecked(), m_case->isChecked()};
}

void QuickFilterBar::FocusField() {
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void QuickFilterBar::ClearField() {
    m_field->clear();
    ApplyNow();
}

void QuickFilterBar::CatchUp() {
    m_catchUpTimer.stop();
    m_filter.CatchUp();
    ShowCount();
}

void QuickFilterBar::ShowCount() {
    const TraceTree* filtered = m_filter.Filtered();
    const TraceTree* source = m_filter.Source();
    const QLocale locale;
    m_count->setText(filtered && source ? QStringLiteral("%1 of %2 lines")
                                              .arg(locale.toString(filtered->Count()), locale.toString(source->Count()))
                                        : QString());
}

void QuickFilterBar::ApplyNow() {
    m_applyTimer.stop();
    const QuickPattern pattern = Pattern();
    const int page = m_viewer.CurrentPage();
    if (m_filter.IsActive() && m_page == page && m_filter.Pattern() == pattern) return;
    Restore();
    QString error;
    const bool valid = m_filter.Apply(m_viewer.Tree(page), pattern, &error);
    m_error->setText(valid ? QString() : error);
    m_error->setToolTip(m_error->text());
    if (m_filter.IsActive()) {
        m_page = page;
        ShowFiltered();
    }
    ShowCount();
    emit patternApplied();
}

void QuickFilterBar::PageChanged() {
    if (m_filter.IsActive() || !m_field->text().isEmpty()) ApplyNow();
}

void QuickFilterBar::ShowFiltered() {
    TraceView* original = m_viewer.View(m_page);
    TraceTree* filtered = m_filter.Filtered();
    if (!original || !filtered) return;
    auto* view = new TraceView(*filtered, original->parentWidget());
    m_view = view;
    m_selectedBefore = {};
    if (const int selected = m_filter.Source()->Selected()) m_selectedBefore = m_filter.Source()->Handle(selected);
    view->setObjectName(QStringLiteral("tvwQuickFilter"));
    view->SetMenuOnPress(m_page != 0);
    view->setGeometry(original->geometry());
    connect(view, &TraceView::searchMenuRequested, &m_viewer, &Viewer::searchMenuRequested);
    // A line chosen among the filtered ones is the page's selected line.
    connect(view, &TraceView::currentLineChanged, this, [this](int line) {
        TraceTree* source = m_filter.Source();
        if (!source) return;
        if (const int sourceLine = m_filter.SourceLine(line)) source->SetSelectedFromView(sourceLine);
    });
    original->installEventFilter(this);
    original->hide();
    view->show();
    if (const int f = m_filter.FilteredLine(m_filter.Source()->Selected())) filtered->Select(f);
    emit filteredViewChanged(view);
}

void QuickFilterBar::Restore() {
    TraceTree* source = m_filter.Source();
    const bool hadView = m_view != nullptr;
    delete m_view.data();
    if (TraceView* original = m_page >= 0 ? m_viewer.View(m_page) : nullptr) {
        original->removeEventFilter(this);
        original->show();
        // A line chosen while filtered becomes the page's current line, in sight.
        if (source) {
            const int selected = source->Selected();
            if (selected && !(source->Handle(selected) == m_selectedBefore)) source->Select(selected);
        }
    }
    m_filter.Reset();
    m_page = -1;
    if (hadView) emit filteredViewChanged(nullptr);
}

bool QuickFilterBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        ClearField();
        return true;
    }
    // The event's type first: a page being destroyed still sends other events, and its view
    // must not be looked up then.
    if ((event->type() == QEvent::Resize || event->type() == QEvent::Move) && m_view && m_page >= 0 &&
        watched == m_viewer.View(m_page)) {
        m_view->setGeometry(static_cast<QWidget*>(watched)->geometry());
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tw::viewer
