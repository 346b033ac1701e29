#include "tw/display/overview_strip.hpp"

#include "tw/core/message_types.hpp"
#include "tw/display/bookmark.hpp"
#include "tw/display/match_highlight.hpp"
#include "tw/display/quick_filter.hpp"
#include "tw/display/trace_view.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace tw::viewer {

namespace {
constexpr int kSliceLines = 1 << 16;  // lines looked at per turn of the event loop
constexpr int kReachPixels = 4;       // how far from a click a marked run is still taken
}  // namespace

OverviewStrip::OverviewStrip(TraceView& view) : QWidget(&view), m_view(view) {
    setObjectName(QStringLiteral("overviewStrip"));
    setToolTip(
        QStringLiteral("Overview: matches, marks, the bookmark, errors and warnings. Click to go there."));
    setCursor(Qt::PointingHandCursor);
    m_scan.setSingleShot(true);
    connect(&m_scan, &QTimer::timeout, this, &OverviewStrip::ScanSome);
}

OverviewStrip::~OverviewStrip() = default;

void OverviewStrip::PrepareMatcher() {
    m_matcher.reset();
    if (const MatchHighlighter* h = m_view.Highlighter(); h && h->IsActive())
        m_matcher = std::make_unique<PatternMatcher>(h->Pattern());
}

std::uint8_t OverviewStrip::KindsOf(int line) {
    const TraceTree* tree = m_view.Tree();
    if (!tree || line < 1 || line > tree->Count()) return 0;
    std::uint8_t kinds = 0;
    const qint32 type = tree->Message(line).MessageType();
    if (IsType(type, EnumMessageType::SendError)) kinds |= OverviewBuckets::kError;
    if (IsType(type, EnumMessageType::SendWarning)) kinds |= OverviewBuckets::kWarning;
    if (tree->BackColour(line) == kBookmarkBackColour && tree->ForeColour(line) == kBookmarkForeColour)
        kinds |= OverviewBuckets::kBookmark;
    if (m_matcher && m_matcher->Matches(*tree, line)) kinds |= OverviewBuckets::kMatch;
    if (m_view.m_markTest && m_view.m_markTest(*tree, line)) kinds |= OverviewBuckets::kMark;
    return kinds;
}

void OverviewStrip::LinesAppended() {
    if (!m_scan.isActive()) m_scan.start(0);
}

void OverviewStrip::Rescan() {
    m_buckets.Reset();
    PrepareMatcher();
    m_scan.start(0);
    update();
}

void OverviewStrip::LineChanged(int line) {
    if (line > m_buckets.Scanned()) return;  // the scan gets there
    const int bucket = m_buckets.BucketOf(line);
    std::uint8_t kinds = 0;
    for (int i = m_buckets.FirstLine(bucket); i <= m_buckets.LastLine(bucket); ++i) kinds |= KindsOf(i);
    if (kinds != m_buckets.Kinds(bucket)) {
        m_buckets.SetKinds(bucket, kinds);
        update();
    }
}

void OverviewStrip::ScanSome() {
    const TraceTree* tree = m_view.Tree();
    if (!tree) return;
    const int count = tree->Count();
    if (m_buckets.Scanned() > count) m_buckets.Reset();
    const int end = std::min(count, m_buckets.Scanned() + kSliceLines);
    while (m_buckets.Scanned() < end) m_buckets.Add(KindsOf(m_buckets.Scanned() + 1));
    if (m_buckets.Scanned() < count) m_scan.start(0);
    update();
}

void OverviewStrip::ScanAll() {
    m_scan.stop();
    const TraceTree* tree = m_view.Tree();
    if (!tree) return;
    if (m_buckets.Scanned() > tree->Count()) m_buckets.Reset();
    while (m_buckets.Scanned() < tree->Count()) m_buckets.Add(KindsOf(m_buckets.Scanned() + 1));
}

int OverviewStrip::YOfLine(int line) const {
    const ShownRows& rows = m_view.Rows();
    const TraceTree* tree = m_view.Tree();
    const int count = rows.Count();
    if (!tree || count == 0) return -1;
    // A hidden line shows at the collapsed line that holds it.
    int row = rows.RowOf(line);
    for (int a = line; row < 0 && a > 0;) {
        a = tree->Parent(a);
        row = a ? rows.RowOf(a) : -1;
    }
    if (row < 0) return -1;
    return int(std::int64_t(row) * height() / count);
}

void OverviewStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Base));
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(0, 0, 0, height());
    const int count = m_view.Rows().Count();
    if (count == 0) return;
    // The part in sight.
    const int top = int(std::int64_t(m_view.TopRow()) * height() / count);
    const int span = std::max(2, int(std::int64_t(m_view.RowsInSight()) * height() / count));
    QColor sight = pal.color(QPalette::Highlight);
    sight.setAlpha(60);
    p.fillRect(QRect(1, top, width() - 1, span), sight);
    // Least important first, so an error is never covered by a match.
    struct Lane {
        std::uint8_t kind;
        QColor colour;
    };
    static const Lane lanes[] = {{OverviewBuckets::kMatch, QColor(230, 180, 0)},
                                 {OverviewBuckets::kMark, QColor(0x1E, 0x78, 0xD2)},
                                 {OverviewBuckets::kWarning, QColor(255, 140, 0)},
                                 {OverviewBuckets::kError, QColor(220, 30, 30)},
                                 {OverviewBuckets::kBookmark, QColor(255, 0, 255)}};
    for (const Lane& lane : lanes) {
        for (int b = 0; b < m_buckets.BucketCount(); ++b) {
            if (!(m_buckets.Kinds(b) & lane.kind)) continue;
            const int y = YOfLine(m_buckets.FirstLine(b));
            if (y >= 0) p.fillRect(QRect(2, std::min(y, height() - 3), width() - 3, 3), lane.colour);
        }
    }
}

int OverviewStrip::LineForY(int y) {
    const int count = m_view.Rows().Count();
    if (count == 0 || height() <= 0) return 0;
    int best = -1, bestDistance = kReachPixels + 1;
    for (int b = 0; b < m_buckets.BucketCount(); ++b) {
        if (!m_buckets.Kinds(b)) continue;
        const int at = YOfLine(m_buckets.FirstLine(b));
        if (at >= 0 && std::abs(at - y) < bestDistance) {
            best = b;
            bestDistance = std::abs(at - y);
        }
    }
    if (best >= 0) {
        for (int i = m_buckets.FirstLine(best); i <= m_buckets.LastLine(best); ++i)
            if (KindsOf(i)) return i;
    }
    const int row = std::clamp(int(std::int64_t(y) * count / height()), 0, count - 1);
    return m_view.Rows().LineAt(row);
}

void OverviewStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (const int line = LineForY(int(event->position().y()))) {
        if (m_buckets.Scanned() >= line && KindsOf(line))
            m_view.Tree()->Select(line);
        else
            m_view.ScrollToLine(line);
    }
}

}  // namespace tw::viewer
