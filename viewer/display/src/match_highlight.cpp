#include "tw/display/match_highlight.hpp"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace tw::viewer {

namespace {
const QColor kMarkBackground(255, 226, 64);
const QColor kMarkText(0, 0, 0);
}  // namespace

MatchHighlighter::MatchHighlighter(QObject* parent) : QStyledItemDelegate(parent) {}

MatchHighlighter::~MatchHighlighter() = default;

void MatchHighlighter::SetPattern(const QuickPattern& pattern) {
    m_pattern = pattern;
    auto matcher = std::make_unique<PatternMatcher>(pattern);
    if (matcher->IsEmpty() || !matcher->IsValid()) matcher.reset();
    m_matcher = std::move(matcher);
}

std::vector<std::pair<int, int>> MatchHighlighter::Matches(QStringView text) const {
    std::vector<std::pair<int, int>> ranges;
    if (m_matcher) m_matcher->FindAll(text, ranges);
    return ranges;
}

void MatchHighlighter::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (!m_matcher || index.column() != 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    std::vector<std::pair<int, int>> ranges;
    m_matcher->FindAll(text, ranges);
    if (ranges.empty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Background, selection, picture and focus as usual, then the text over the marks.
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    opt.text = text;
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(margin, 0, -margin, 0);
    const QFontMetrics metrics(opt.font);
    painter->save();
    painter->setClipRect(textRect);
    painter->setFont(opt.font);
    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    if (!selected && index.data(Qt::ForegroundRole).canConvert<QBrush>())
        painter->setPen(index.data(Qt::ForegroundRole).value<QBrush>().color());
    const int baseline = textRect.top() + (textRect.height() - metrics.height()) / 2 + metrics.ascent();
    painter->drawText(textRect.left(), baseline, text);
    for (const auto& [start, length] : ranges) {
        const int x = textRect.left() + metrics.horizontalAdvance(text.left(start));
        const QString part = text.mid(start, length);
        const QRect mark(x, textRect.top() + 1, metrics.horizontalAdvance(part), textRect.height() - 2);
        painter->fillRect(mark, kMarkBackground);
        painter->setPen(kMarkText);
        painter->drawText(x, baseline, part);
    }
    painter->restore();
}

MatchStep FindMatch(const TraceTree& tree, const QuickPattern& pattern, int from, bool forward) {
    const int count = tree.Count();
    PatternMatcher matcher(pattern);
    if (count == 0 || matcher.IsEmpty() || !matcher.IsValid()) return {};
    if (from < 0 || from > count) from = 0;
    // Every other line once, then the start line itself.
    for (int k = 1; k <= count; ++k) {
        int line;
        bool wrapped;
        if (forward) {
            const int raw = from + k;
            wrapped = raw > count && from != 0;
            line = (raw - 1) % count + 1;
        } else {
            const int raw = (from == 0 ? count + 1 : from) - k;
            wrapped = raw < 1;
            line = raw < 1 ? raw + count : raw;
        }
        if (matcher.Matches(tree, line)) return {line, wrapped};
    }
    return {};
}

}  // namespace tw::viewer
