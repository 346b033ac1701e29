#include "tw/display/trace_view.hpp"

#include "tw/display/match_highlight.hpp"
#include "tw/display/overview_strip.hpp"
#include "tw/display/trace_view_accessible.hpp"
#include "tw/display/viewer_images.hpp"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace tw::viewer {

namespace {

constexpr int kRefreshMs = 50;  // appended lines reach the screen at most this late
constexpr int kTextGap = 4;     // between the picture and the text
constexpr int kColumnPadding = 16;
const QColor kMatchBackground(255, 226, 64);
const QColor kMatchText(0, 0, 0);

QColor ToQColor(Colour c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

double Linear(double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

double Luminance(const QColor& c) {
    return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& back) {
    return ContrastRatio(Qt::black, back) >= ContrastRatio(Qt::white, back) ? QColor(Qt::black)
                                                                            : QColor(Qt::white);
}

RowInk InkFor(const QPalette& palette, QPalette::ColorGroup group, bool selected, Colour back, Colour fore) {
    if (selected) {
        const QColor highlight = palette.color(group, QPalette::Highlight);
        QColor text = palette.color(group, QPalette::HighlightedText);
        // Some palettes pair an inactive highlight with text that hardly shows on it.
        if (ContrastRatio(text, highlight) < 4.5) text = ReadableOn(highlight);
        return {true, highlight, text};
    }
    if (back != kDefaultColour) {
        // The user's colour across the whole row, with the chosen text colour or one that reads on it.
        const QColor backColour = ToQColor(back);
        return {true, backColour, fore != kDefaultColour ? ToQColor(fore) : ReadableOn(backColour)};
    }
    const QColor base = palette.color(group, QPalette::Base);
    if (fore != kDefaultColour) {
        // A text colour chosen for a light page (dark blue, say) that would vanish on a dark one
        // gives way to the palette's text.
        const QColor chosen = ToQColor(fore);
        return {false, base,
                ContrastRatio(chosen, base) >= 3.0 ? chosen : palette.color(group, QPalette::Text)};
    }
    return {false, base, palette.color(group, QPalette::Text)};
}

// The captions of the time columns and of the line column, over the rows.
class TraceHeader : public QWidget {
  public:
    explicit TraceHeader(TraceView& view) : QWidget(&view), m_view(view) {
        setObjectName(QStringLiteral("traceHeader"));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        m_view.PaintHeader(p, rect());
    }

  private:
    TraceView& m_view;
};

TraceView::TraceView(TraceTree& tree, QWidget* parent)
    : QAbstractScrollArea(parent), m_tree(&tree), m_rows(tree) {
    InstallTraceViewAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setMouseTracking(false);
    m_header = new TraceHeader(*this);
    m_header->hide();
    m_overview = new OverviewStrip(*this);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSizeF(8.25);
    setFont(f);
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &TraceView::Refresh);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &TraceView::UserScrolled);
    verticalScrollBar()->setSingleStep(1);
    Measure();
    tree.AddObserver(this);
    m_shownCount = m_rows.Count();
    UpdateSourceColumn();
    UpdateRanges();
    m_overview->Rescan();
}

TraceView::~TraceView() {
    if (m_tree) m_tree->RemoveObserver(this);
}

// ---------------------------------------------------------------- geometry

void TraceView::Measure() {
    const QFontMetrics metrics(font());
    m_rowHeight = std::max(metrics.height(), m_iconSize) + 2;
    m_indentation = std::max(19, metrics.height() + 4);
}

int TraceView::RowsInSight() const { return std::max(1, viewport()->height() / std::max(1, m_rowHeight)); }

int TraceView::TopRow() const { return verticalScrollBar()->value(); }

int TraceView::TimeColumnWidth(TimeColumn column) const {
    const QString widest = column == TimeColumn::Date    ? QStringLiteral("0000-00-00")
                           : column == TimeColumn::Delta ? QStringLiteral("+000.000000")
                                                         : QStringLiteral("000:00:00.000");
    return fontMetrics().horizontalAdvance(widest) + kColumnPadding;
}

int TraceView::TimeColumnsWidth() const {
    int width = 0;
    for (TimeColumn column : m_timeColumns) width += TimeColumnWidth(column);
    return width;
}

int TraceView::Indent(int line) const { return LeadingWidth() + m_tree->Level(line) * m_indentation; }

void TraceView::UpdateSourceColumn() {
    const int count = m_tree ? m_tree->SourceCount() : 0;
    if (count == m_sourceCount) return;
    m_sourceCount = count;
    int width = 0;
    if (count > 1) {
        // As wide as the widest source, within reason: a long path is shortened in its middle.
        const QFontMetrics metrics = fontMetrics();
        for (const QString& text : m_tree->SourceTexts()) width = std::max(width, metrics.horizontalAdvance(text));
        width = std::min(width, 40 * metrics.averageCharWidth()) + kColumnPadding;
    }
    if (width == m_sourceWidth) return;
    m_sourceWidth = width;
    m_widest = 0;
    LayOutMargins();
    viewport()->update();
    m_header->update();
}

int TraceView::TextLeft(int line) const {
    if (!m_tree || line < 1 || line > m_tree->Count()) return 0;
    return Indent(line) + m_indentation + 1 + m_iconSize + kTextGap;
}

int TraceView::LineAt(const QPoint& pos) const {
    if (!m_tree || pos.y() < 0 || pos.x() < 0 || pos.x() >= viewport()->width()) return 0;
    return m_rows.LineAt(TopRow() + pos.y() / m_rowHeight);
}

QRect TraceView::LineRect(int line) const {
    const int row = m_tree ? m_rows.RowOf(line) : -1;
    if (row < 0) return {};
    return QRect(0, (row - TopRow()) * m_rowHeight, viewport()->width(), m_rowHeight);
}

bool TraceView::HasChildren(int line) const { return m_tree->ChildCount(line) > 0; }

int TraceView::LastShownLine() const { return m_rows.LineAt(m_rows.Count() - 1); }

void TraceView::LayOutMargins() {
    const int header = m_timeColumns.empty() && m_sourceWidth == 0 ? 0 : fontMetrics().height() + 8;
    setViewportMargins(0, header, OverviewStrip::kWidth, 0);
    const QRect area = viewport()->geometry();
    m_header->setVisible(header > 0);
    m_header->setGeometry(area.left(), area.top() - header, area.width(), header);
    m_overview->setGeometry(area.right() + 1, area.top(), OverviewStrip::kWidth, area.height());
}

void TraceView::UpdateRanges() {
    const int count = m_rows.Count();
    const int previous = m_shownCount;
    m_shownCount = count;
    QScrollBar* v = verticalScrollBar();
    const int inSight = RowsInSight();
    m_ownScroll = true;
    v->setRange(0, std::max(0, count - inSight));
    v->setPageStep(inSight);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, m_widest - viewport()->width()));
    h->setPageStep(std::max(1, viewport()->width()));
    h->setSingleStep(3 * fontMetrics().averageCharWidth());
    m_ownScroll = false;
    if (previous != count) NotifyAccessibility(previous);
}

void TraceView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    LayOutMargins();
    UpdateRanges();
    // A scroll bar that came or went changed the rows in sight: the last row stays in sight.
    if (m_following && !m_followPaused) ScrollToBottom();
}

void TraceView::scrollContentsBy(int, int dx) {
    viewport()->update();
    m_overview->update();
    if (dx != 0) m_header->update();
}

// ---------------------------------------------------------------- painting

void TraceView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    if (!m_tree) return;
    const QRect area = event->rect();
    const int width = viewport()->width();
    const int dx = -horizontalScrollBar()->value();
    const int widestBefore = m_widest;
    QString text;
    const int firstRow = TopRow() + area.top() / m_rowHeight;
    for (int row = firstRow, y = (firstRow - TopRow()) * m_rowHeight; y <= area.bottom();
         ++row, y += m_rowHeight) {
        const int line = m_rows.LineAt(row);
        if (!line) break;
        PaintRow(painter, line, QRect(dx, y, std::max(width - dx, m_widest), m_rowHeight), text);
    }
    if (m_widest != widestBefore) ScheduleRefresh();
}

void TraceView::PaintRow(QPainter& p, int line, const QRect& row, QString& text) const {
    const TraceTree& tree = *m_tree;
    const QPalette& pal = palette();
    const bool selected = line == tree.Selected();
    const QPalette::ColorGroup group = !isEnabled() ? QPalette::Disabled
                                       : hasFocus() ? QPalette::Active
                                                    : QPalette::Inactive;
    const QRect full(0, row.top(), std::max(row.right() + 1, viewport()->width()), row.height());
    const RowInk ink = InkFor(pal, group, selected, tree.BackColour(line), tree.ForeColour(line));
    if (ink.fill) p.fillRect(full, ink.back);
    const QColor pen = ink.text;

    const QFontMetrics& metrics = fontMetrics();
    const int baseline = row.top() + (row.height() - metrics.height()) / 2 + metrics.ascent();
    int x = row.left();
    p.setPen(pen);
    if (m_sourceWidth > 0) {
        const QRect cell(x + 4, row.top(), m_sourceWidth - 8, row.height());
        p.drawText(cell, Qt::AlignVCenter | Qt::AlignLeft, metrics.elidedText(tree.SourceText(line), Qt::ElideMiddle, cell.width()));
        x += m_sourceWidth;
    }
    for (TimeColumn column : m_timeColumns) {
        const int w = TimeColumnWidth(column);
        p.drawText(QRect(x + 4, row.top(), w - 8, row.height()), Qt::AlignVCenter | Qt::AlignRight,
                   TimeColumnText(tree, line, column));
        x += w;
    }

    const int indent = row.left() + Indent(line);
    if (HasChildren(line)) {
        // A triangle in the text's colour: pointing right when closed, down when open; drawn
        // as a path, so it reads on any palette and stays sharp at any scale.
        const QRectF box(indent, row.top(), m_indentation, row.height());
        const qreal side = std::min<qreal>(9.0, m_rowHeight * 0.5);
        const QPointF c = box.center();
        QPolygonF triangle;
        if (tree.IsExpanded(line))
            triangle << QPointF(c.x() - side / 2, c.y() - side / 4)
                     << QPointF(c.x() + side / 2, c.y() - side / 4) << QPointF(c.x(), c.y() + side / 3);
        else
            triangle << QPointF(c.x() - side / 4, c.y() - side / 2)
                     << QPointF(c.x() - side / 4, c.y() + side / 2) << QPointF(c.x() + side / 3, c.y());
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(pen);
        p.drawPolygon(triangle);
        p.restore();
    }
    const int iconLeft = indent + m_indentation + 1;
    const QIcon& icon = ViewerImage(tree.Message(line).MessageIcon());
    if (!icon.isNull()) {
        const QRect place(iconLeft, row.top() + (row.height() - m_iconSize) / 2, m_iconSize, m_iconSize);
        // The pictures are drawn for a light page: on a dark row they get a light ground.
        if (Luminance(ink.fill ? ink.back : pal.color(group, QPalette::Base)) < 0.2) {
            p.save();
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(236, 236, 236));
            p.drawRoundedRect(QRectF(place).adjusted(-1, -1, 1, 1), 3, 3);
            p.restore();
        }
        icon.paint(&p, place);
    }

    const int textLeft = iconLeft + m_iconSize + kTextGap;
    text.resize(0);
    tree.AppendText(line, text);
    QFont bold;
    const bool isBold = tree.Bold(line);
    if (isBold) {
        bold = font();
        bold.setBold(true);
        p.setFont(bold);
    }
    const QFontMetrics textMetrics = isBold ? QFontMetrics(bold) : metrics;
    const int textWidth = textMetrics.horizontalAdvance(text);
    p.drawText(textLeft, baseline, text);
    std::vector<std::pair<int, int>> ranges;
    if (m_highlighter && m_highlighter->IsActive()) m_highlighter->Matches(text, ranges);
    if (m_partMarks) m_partMarks(line, ranges);
    for (const auto& [start, length] : ranges) {
        const int mx = textLeft + textMetrics.horizontalAdvance(text.left(start));
        const QString part = text.mid(start, length);
        p.fillRect(QRect(mx, row.top() + 1, textMetrics.horizontalAdvance(part), row.height() - 2), kMatchBackground);
        p.setPen(kMatchText);
        p.drawText(mx, baseline, part);
    }
    p.setPen(pen);
    if (isBold) p.setFont(font());
    if (m_markTest && m_markTest(tree, line)) {
        // The marker at the left edge: blue with a white edge, so it shows on any row.
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::white, 1));
        p.setBrush(QColor(0x1E, 0x78, 0xD2));
        p.drawRoundedRect(QRectF(0.5, row.top() + 1.5, 4, row.height() - 3), 1.5, 1.5);
        p.restore();
    }
    if (selected && hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = full.adjusted(0, 0, -1, -1);
        focus.backgroundColor = pal.color(group, QPalette::Highlight);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
    const int right = textLeft - row.left() + textWidth + kTextGap;
    if (right > m_widest) const_cast<TraceView*>(this)->m_widest = right;
}

void TraceView::PaintHeader(QPainter& p, const QRect& area) const {
    QStyleOptionHeader option;
    option.initFrom(this);
    option.orientation = Qt::Horizontal;
    int x = -horizontalScrollBar()->value();
    auto section = [&](const QString& caption, int width) {
        option.rect = QRect(x, area.top(), width, area.height());
        option.text = caption;
        option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        style()->drawControl(QStyle::CE_Header, &option, &p, this);
        x += width;
    };
    if (m_sourceWidth > 0) section(QStringLiteral("Source"), m_sourceWidth);
    for (TimeColumn column : m_timeColumns) section(TimeColumnCaption(column), TimeColumnWidth(column));
    section(QStringLiteral("Line"), std::max(area.width() - x, m_widest - LeadingWidth()));
}

void TraceView::SetTimeColumns(const std::vector<TimeColumn>& columns) {
    if (columns == m_timeColumns) return;
    m_timeColumns = columns;
    m_widest = 0;
    LayOutMargins();
    UpdateRanges();
    viewport()->update();
    m_header->update();
}

void TraceView::SetHighlighter(std::shared_ptr<const MatchHighlighter> highlighter) {
    m_highlighter = std::move(highlighter);
    MarksChanged();
}

void TraceView::SetMarkTest(MarkTest test) {
    m_markTest = std::move(test);
    MarksChanged();
}

void TraceView::MarksChanged() {
    viewport()->update();
    m_overview->Rescan();
}

void TraceView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        Measure();
        m_sourceCount = -1;  // measured again
        UpdateSourceColumn();
        m_widest = 0;
        LayOutMargins();
        UpdateRanges();
        viewport()->update();
    }
}

// ---------------------------------------------------------------- scrolling and following

void TraceView::ScrollToLine(int line) {
    const int row = m_tree ? m_rows.RowOf(line) : -1;
    if (row < 0) return;
    if (m_shownCount != m_rows.Count()) UpdateRanges();
    QScrollBar* v = verticalScrollBar();
    const int top = v->value();
    const int inSight = RowsInSight();
    if (row < top)
        v->setValue(row);
    else if (row >= top + inSight)
        v->setValue(row - inSight + 1);
}

void TraceView::ScrollToBottom() {
    m_ownScroll = true;
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_ownScroll = false;
}

bool TraceView::IsAtBottom() const { return verticalScrollBar()->value() == verticalScrollBar()->maximum(); }

void TraceView::SetFollowing(bool on) {
    if (m_following == on) return;
    m_following = on;
    if (on)
        ResumeFollowing();
    else
        emit followStateChanged();
}

void TraceView::SetFollowPaused(bool paused) {
    if (paused == m_followPaused) return;
    m_followPaused = paused;
    emit followStateChanged();
}

void TraceView::ResumeFollowing() {
    SetFollowPaused(false);
    if (!m_following) return;
    UpdateRanges();
    ScrollToBottom();
}

void TraceView::UserScrolled() {
    if (m_ownScroll) return;
    // The slider already stands where the action takes it; its value follows after this.
    const QScrollBar* bar = verticalScrollBar();
    SetFollowPaused(bar->sliderPosition() < bar->maximum());
}

void TraceView::ScheduleRefresh() {
    if (!m_refresh.isActive()) m_refresh.start();
}

void TraceView::Refresh() {
    m_refresh.stop();
    if (!m_tree) return;
    const bool appended = m_rows.Count() != m_shownCount;
    UpdateSourceColumn();
    UpdateRanges();
    if (appended) {
        if (m_following && !m_followPaused) {
            ScrollToBottom();
            ++m_followScrolls;
        } else if (m_following) {
            emit followStateChanged();
        }
    }
    viewport()->update();
    m_overview->LinesAppended();
}

// ---------------------------------------------------------------- the tree's changes

void TraceView::LinesAppended() {
    m_rows.LineAppended();
    ScheduleRefresh();
}

void TraceView::LinesRemoved(int, int) {
    m_rows.Rebuild();
    TraceViewAccessible::Reset(this);
    m_shownCount = -1;
    Refresh();
    m_overview->Rescan();
    emit currentLineChanged(CurrentLine());
}

void TraceView::Cleared() {
    m_rows.Rebuild();
    TraceViewAccessible::Reset(this);
    m_widest = 0;
    m_shownCount = -1;
    m_followPaused = false;
    emit followStateChanged();
    Refresh();
    m_overview->Rescan();
    emit currentLineChanged(0);
}

void TraceView::LineChanged(int index) {
    const QRect rect = LineRect(index);
    if (rect.intersects(viewport()->rect())) viewport()->update(rect);
    m_overview->LineChanged(index);
}

void TraceView::ExpandedChanged(int index, bool) {
    // The top line stays where it is, unless it was hidden.
    const int top = m_rows.LineAt(TopRow());
    m_rows.ExpandedChanged(index);
    TraceViewAccessible::Reset(this);
    UpdateRanges();
    int row = m_rows.RowOf(top);
    for (int a = top; row < 0 && a > 0;) {
        a = m_tree->Parent(a);
        row = a ? m_rows.RowOf(a) : -1;
    }
    if (row >= 0) {
        m_ownScroll = true;
        verticalScrollBar()->setValue(row);
        m_ownScroll = false;
    }
    // A current line that went out of sight hands over to the collapsed line.
    if (const int current = CurrentLine(); current && !m_rows.IsShown(current)) {
        int a = current;
        while (a && !m_rows.IsShown(a)) a = m_tree->Parent(a);
        ChangeCurrent(a, false);
    }
    viewport()->update();
    m_overview->update();
}

void TraceView::ExpansionReset() {
    const int top = m_rows.LineAt(TopRow());
    m_rows.Rebuild();
    TraceViewAccessible::Reset(this);
    UpdateRanges();
    int a = top;
    while (a && !m_rows.IsShown(a)) a = m_tree->Parent(a);
    if (a) verticalScrollBar()->setValue(m_rows.RowOf(a));
    if (const int current = CurrentLine(); current && !m_rows.IsShown(current)) {
        int c = current;
        while (c && !m_rows.IsShown(c)) c = m_tree->Parent(c);
        ChangeCurrent(c, false);
    }
    viewport()->update();
    m_overview->update();
}

void TraceView::SelectionChanged(int index, bool makeVisible) {
    if (index && makeVisible) ScrollToLine(index);
    viewport()->update();
    if (index && m_following) SetFollowPaused(index != LastShownLine());
    TraceViewAccessible::FocusChanged(this, index);
    emit currentLineChanged(index);
}

void TraceView::TreeDestroyed() {
    m_tree = nullptr;
    m_refresh.stop();
    TraceViewAccessible::Reset(this);
}

// ---------------------------------------------------------------- the user's choices

void TraceView::ChangeCurrent(int line, bool byUser) {
    if (!m_tree) return;
    const bool changed = line != CurrentLine();
    m_tree->SetSelectedFromView(line);
    if (line) ScrollToLine(line);
    viewport()->update();
    if (line && m_following && (byUser || changed)) SetFollowPaused(line != LastShownLine());
    if (changed) {
        TraceViewAccessible::FocusChanged(this, line);
        emit currentLineChanged(line);
    }
}

void TraceView::SetCurrentLine(int line) { ChangeCurrent(line, true); }

void TraceView::SetExpanded(int line, bool expanded) {
    if (m_tree && line >= 1 && line <= m_tree->Count() && HasChildren(line))
        m_tree->SetExpanded(line, expanded);
}

void TraceView::ExpandAll(int line) {
    if (!m_tree || m_tree->IsEmpty()) return;
    if (line)
        m_tree->SetExpandedRange(line, m_tree->LastInSubtree(line), true);
    else
        m_tree->SetExpandedRange(1, m_tree->Count(), true);
}

void TraceView::CollapseAll() {
    if (m_tree && !m_tree->IsEmpty()) m_tree->SetExpandedRange(1, m_tree->Count(), false);
}

void TraceView::keyPressEvent(QKeyEvent* event) {
    if (m_tree && event->matches(QKeySequence::Copy)) {
        // The current line's text, as a list control copies its item.
        if (const int line = CurrentLine()) QGuiApplication::clipboard()->setText(m_tree->Text(line));
        event->accept();
        return;
    }
    // Ctrl moves as the plain keys do; other combinations are the window's shortcuts.
    if (!m_tree || (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier)) ||
        ((event->modifiers() & Qt::ControlModifier) &&
         !(event->key() >= Qt::Key_Home && event->key() <= Qt::Key_PageDown))) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int count = m_rows.Count();
    const int current = CurrentLine();
    const int row = current ? m_rows.RowOf(current) : -1;
    const int page = std::max(1, RowsInSight() - 1);
    int target = -2;  // a row to go to; -2: none
    switch (event->key()) {
        case Qt::Key_Up:
            target = row < 0 ? count - 1 : std::max(0, row - 1);
            break;
        case Qt::Key_Down:
            target = row < 0 ? 0 : std::min(count - 1, row + 1);
            break;
        case Qt::Key_PageUp:
            target = row < 0 ? 0 : std::max(0, row - page);
            break;
        // With no current line, Page Down and End go to the last line, as a user means.
        case Qt::Key_PageDown:
            target = row < 0 ? count - 1 : std::min(count - 1, row + page);
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = count - 1;
            break;
        case Qt::Key_Left:
            if (current && HasChildren(current) && m_tree->IsExpanded(current))
                SetExpanded(current, false);
            else if (current && m_tree->Parent(current))
                ChangeCurrent(m_tree->Parent(current), true);
            break;
        case Qt::Key_Right:
            if (current && HasChildren(current)) {
                if (!m_tree->IsExpanded(current))
                    SetExpanded(current, true);
                else
                    target = row + 1;
            }
            break;
        case Qt::Key_Plus:
            if (current) SetExpanded(current, true);
            break;
        case Qt::Key_Minus:
            if (current) SetExpanded(current, false);
            break;
        case Qt::Key_Asterisk:
            if (current) ExpandAll(current);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (current) emit lineActivated(current);
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    if (target >= 0 && count > 0) {
        const int line = m_rows.LineAt(target);
        ChangeCurrent(line, true);
        // The last line: following goes on.
        if (line == LastShownLine() && m_following) ResumeFollowing();
    }
    event->accept();
}

void TraceView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int line = LineAt(pos);
    if (line) {
        const int x = pos.x() + horizontalScrollBar()->value();
        const int box = Indent(line);
        if (event->button() == Qt::LeftButton && HasChildren(line) && x >= box && x < box + m_indentation) {
            SetExpanded(line, !m_tree->IsExpanded(line));
        } else {
            ChangeCurrent(line, true);
        }
    }
    if (event->button() == Qt::RightButton && m_menuOnPress)
        emit searchMenuRequested(event->globalPosition().toPoint());
}

void TraceView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && !m_menuOnPress)
        emit searchMenuRequested(event->globalPosition().toPoint());
}

void TraceView::mouseDoubleClickEvent(QMouseEvent* event) {
    const int line = event->button() == Qt::LeftButton ? LineAt(event->position().toPoint()) : 0;
    if (!line) return;
    const int x = int(event->position().x()) + horizontalScrollBar()->value();
    const int box = Indent(line);
    if (x >= box && x < box + m_indentation) return;  // the box: the press did it
    if (HasChildren(line)) SetExpanded(line, !m_tree->IsExpanded(line));
    emit lineActivated(line);
}

void TraceView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ShiftModifier) {
        // Shift turns the wheel sideways: a notch moves three character widths.
        const int notch = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
        QScrollBar* bar = horizontalScrollBar();
        bar->setValue(bar->value() - notch * bar->singleStep() / 120);
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void TraceView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    if (CurrentLine()) TraceViewAccessible::FocusChanged(this, CurrentLine());
}

void TraceView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

bool TraceView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip && m_tree) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (const int line = LineAt(help->pos()))
            QToolTip::showText(help->globalPos(), m_tree->Text(line), viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TraceView::NotifyAccessibility(int previousRows) {
    TraceViewAccessible::RowsChanged(this, previousRows);
}

}  // namespace tw::viewer
