#include "tw/panes/value_plot.hpp"

#include "tw/display/viewer.hpp"

#include <QChart>
#include <QChartView>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>
#include <limits>

namespace tw::viewer {

namespace {

constexpr int kFlushMs = 200;                  // new values reach the chart this often
constexpr qsizetype kPointsVisibleBelow = 500;  // markers on the points of small series
const QString kNoFormula = QStringLiteral("(no formula)");

}  // namespace

bool ValuePlot::ParseValue(QStringView text, double& out) {
    const QStringView t = text.trimmed();
    if (t.isEmpty()) return false;
    bool ok = false;
    double v = QLocale::c().toDouble(t, &ok);
    if (!ok) v = QLocale().toDouble(t, &ok);
    if (!ok || !std::isfinite(v)) return false;
    out = v;
    return true;
}

ValuePlot::ValuePlot(Viewer& viewer, const QString& objectName, QWidget* parent)
    : QWidget(parent, Qt::Window), m_viewer(viewer), m_tree(&viewer.GetDefault()), m_objectName(objectName) {
    setObjectName(QStringLiteral("frmValuePlot"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Plot Values - %1").arg(objectName));
    resize(720, 440);

    m_chart = new QChart;
    m_chart->setTitle(objectName);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_axisX = new QValueAxis;
    m_axisX->setTitleText(QStringLiteral("Record number"));
    m_axisX->setLabelFormat(QStringLiteral("%.0f"));
    m_axisY = new QValueAxis;
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    m_view = new QChartView(m_chart, this);
    m_view->setObjectName(QStringLiteral("chtValues"));
    m_view->setRenderHint(QPainter::Antialiasing, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, &ValuePlot::FlushPending);
    m_tree->AddObserver(this);
    const int count = m_tree->Count();
    for (int i = 1; i <= count; ++i) Take(i);
    m_seen = count;
    FlushPending();
}

ValuePlot::~ValuePlot() {
    if (m_tree) m_tree->RemoveObserver(this);
}

QString ValuePlot::SeriesName(int series) const { return m_series[std::size_t(series)].name; }

QString ValuePlot::LegendText(int series) const {
    const Series& s = m_series[std::size_t(series)];
    if (s.notNumbers == 0) return s.name;
    return QStringLiteral("%1 (%2 not a number)").arg(s.name).arg(s.notNumbers);
}

int ValuePlot::PointCount(int series) const {
    int n = 0;
    for (const Segment& seg : m_series[std::size_t(series)].segments) n += int(seg.points.size());
    return n;
}

ValuePlot::Series& ValuePlot::SeriesFor(const QString& formula) {
    for (Series& s : m_series)
        if (s.name == formula) return s;
    m_series.push_back(Series{formula, {}, 0, true});
    return m_series.back();
}

void ValuePlot::Take(int line) {
    const MessageSink& m = m_tree->Message(line);
    if (!IsType(m.MessageType(), EnumMessageType::SendObject) || m.ObjectName() != m_objectName) return;
    // The formula a value was sent from is its line's parent when that enters a formula.
    const int parent = m_tree->Parent(line);
    const QString formula =
        parent && IsType(m_tree->Message(parent).MessageType(), EnumMessageType::EnterFormula) ? m_tree->Message(parent).Message() : kNoFormula;
    Series& series = SeriesFor(formula);
    double y = 0;
    if (!ParseValue(m.ObjectValue(), y)) {
        ++series.notNumbers;
        series.gapOpen = true;
        return;
    }
    if (series.gapOpen || series.segments.empty()) {
        series.segments.emplace_back();
        series.gapOpen = false;
    }
    Segment& seg = series.segments.back();
    const double x = m.RecordNumber();
    seg.points.emplace_back(x, y);
    seg.lines.push_back(m_tree->Handle(line));
    if (!m_haveRange) {
        m_minX = m_maxX = x;
        m_minY = m_maxY = y;
        m_haveRange = true;
    } else {
        m_minX = std::min(m_minX, x);
        m_maxX = std::max(m_maxX, x);
        m_minY = std::min(m_minY, y);
        m_maxY = std::max(m_maxY, y);
    }
}

void ValuePlot::UpdateLegend(Series& series) {
    const auto index = int(&series - m_series.data());
    for (std::size_t k = 0; k < series.segments.size(); ++k) {
        QLineSeries* line = series.segments[k].line;
        if (!line) continue;
        if (k == 0) {
            line->setName(LegendText(index));
            continue;
        }
        // Later pieces of a series (after a gap) share its colour and its one legend entry.
        for (QLegendMarker* marker : m_chart->legend()->markers(line)) marker->setVisible(false);
    }
}

void ValuePlot::FlushPending() {
    m_flushTimer.stop();
    qsizetype total = 0;
    for (const Series& s : m_series)
        for (const Segment& seg : s.segments) total += qsizetype(seg.points.size());
    for (std::size_t i = 0; i < m_series.size(); ++i) {
        Series& s = m_series[i];
        QColor colour;
        for (std::size_t k = 0; k < s.segments.size(); ++k) {
            Segment& seg = s.segments[k];
            if (!seg.line) {
                seg.line = new QLineSeries;
                m_chart->addSeries(seg.line);
                seg.line->attachAxis(m_axisX);
                seg.line->attachAxis(m_axisY);
                const int seriesIndex = int(i);
                connect(seg.line, &QXYSeries::clicked, this,
                        [this, seriesIndex](const QPointF& p) { SelectNearest(seriesIndex, p); });
            }
            if (k == 0) colour = seg.line->color();
            else seg.line->setColor(colour);
            if (seg.shown < qsizetype(seg.points.size())) {
                const QList<QPointF> more(seg.points.begin() + seg.shown, seg.points.end());
                if (seg.shown == 0) seg.line->replace(more);
                else seg.line->append(more);
                seg.shown = qsizetype(seg.points.size());
            }
            seg.line->setPointsVisible(total < kPointsVisibleBelow);
        }
        // A series with no number at all still shows in the legend with its count.
        if (s.segments.empty()) {
            s.segments.emplace_back();
            Segment& seg = s.segments.back();
            seg.line = new QLineSeries;
            m_chart->addSeries(seg.line);
            seg.line->attachAxis(m_axisX);
            seg.line->attachAxis(m_axisY);
        }
        UpdateLegend(s);
    }
    if (m_haveRange) {
        const double padX = m_maxX > m_minX ? 0 : 1;
        const double spanY = m_maxY - m_minY;
        const double padY = spanY > 0 ? spanY * 0.05 : std::max(1.0, std::abs(m_maxY) * 0.1);
        m_axisX->setRange(m_minX - padX, m_maxX + padX);
        m_axisY->setRange(m_minY - padY, m_maxY + padY);
    }
}

bool ValuePlot::SelectNearest(int series, const QPointF& value) {
    if (series < 0 || series >= int(m_series.size()) || !m_tree) return false;
    const QPointF at = m_chart->mapToPosition(value);
    double best = std::numeric_limits<double>::max();
    LineHandle found;
    for (Segment& seg : m_series[std::size_t(series)].segments) {
        for (std::size_t k = 0; k < seg.points.size(); ++k) {
            const QPointF p = seg.line ? m_chart->mapToPosition(seg.points[k], seg.line) : seg.points[k];
            const double d = std::hypot(p.x() - at.x(), p.y() - at.y());
            if (d < best) {
                best = d;
                found = seg.lines[k];
            }
        }
    }
    const int line = m_tree->IndexOf(found);
    if (!line) return false;  // the line was deleted or cleared since
    m_viewer.SetCurrentPage(0);
    m_tree->Select(line);
    return true;
}

void ValuePlot::LinesAppended() {
    // Lines are only appended, one call each: look at the new ones.
    const int count = m_tree->Count();
    for (int i = m_seen + 1; i <= count; ++i) Take(i);
    m_seen = count;
    if (!m_flushTimer.isActive()) m_flushTimer.start(kFlushMs);
}

// Plotted values stay when their lines go; only the count of lines looked at follows.
void ValuePlot::LinesRemoved(int first, int last) {
    if (first <= m_seen) m_seen -= std::min(m_seen, last) - first + 1;
}

void ValuePlot::Cleared() { m_seen = 0; }

void ValuePlot::TreeDestroyed() { m_tree = nullptr; }

}  // namespace tw::viewer
