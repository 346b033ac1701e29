#pragma once
// Value plot: a chart of one object's numeric values against record number, one series per
// formula the values were sent from (values sent outside any formula form a series of their
// own), growing as new values arrive. A value that is not a number leaves a gap in its
// series and is counted in the legend; clicking a point selects its trace line. Built only
// where Qt Charts is available (TW_HAVE_CHARTS).

#include "tw/core/trace_tree.hpp"

#include <QPointF>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

namespace tw::viewer {

class Viewer;

class ValuePlot : public QWidget, private TraceTreeObserver {
    Q_OBJECT
public:
    // A top-level window owned by parent, plotting the values of objectName (compared
    // exactly, as the autos pane does) from the viewer's default trace.
    ValuePlot(Viewer& viewer, const QString& objectName, QWidget* parent = nullptr);
    ~ValuePlot() override;

    const QString& ObjectName() const { return m_objectName; }

    // ---- what the chart shows (for tests and the status line) ----
    int SeriesCount() const { return int(m_series.size()); }
    QString SeriesName(int series) const;    // the formula's text, or "(no formula)"
    QString LegendText(int series) const;    // the name, and the count of values that are not numbers
    int PointCount(int series) const;        // numeric values plotted
    int GapCount(int series) const { return m_series[std::size_t(series)].notNumbers; }
    int SegmentCount(int series) const { return int(m_series[std::size_t(series)].segments.size()); }
    QChartView* ChartView() const { return m_view; }
    // Shows values that arrived since the last update now (normally a timer does it).
    void FlushPending();
    // Selects the trace line of the point of a series nearest to value (chart coordinates);
    // what a click on the series does. False when no line was selected.
    bool SelectNearest(int series, const QPointF& value);

    // A value as a number: plain or locale decimal text; false for anything else.
    static bool ParseValue(QStringView text, double& out);

private:
    struct Segment {
        QLineSeries* line = nullptr;
        std::vector<QPointF> points;
        std::vector<LineHandle> lines;
        qsizetype shown = 0;  // points handed to the series
    };
    struct Series {
        QString name;
        std::vector<Segment> segments;
        int notNumbers = 0;
        bool gapOpen = true;  // the next number starts a new segment
    };

    void Take(int line);
    Series& SeriesFor(const QString& formula);
    void UpdateLegend(Series& series);
    void LinesAppended() override;
    void LinesRemoved(int first, int last) override;
    void Cleared() override;
    void TreeDestroyed() override;

    Viewer& m_viewer;
    TraceTree* m_tree;
    QString m_objectName;
    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    QValueAxis* m_axisX = nullptr;
    QValueAxis* m_axisY = nullptr;
    std::vector<Series> m_series;
    int m_seen = 0;  // lines of the default tree looked at
    bool m_haveRange = false;
    double m_minX = 0, m_maxX = 0, m_minY = 0, m_maxY = 0;
    QTimer m_flushTimer;
};

}  // namespace tw::viewer
