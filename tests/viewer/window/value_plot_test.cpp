// Plot Values: one series per formula, gaps for values that are not numbers, live growth, and a
// click that selects the value's trace line.

#include <gtest/gtest.h>

#ifdef TW_HAVE_CHARTS

#include "tw/core/message_manager.hpp"
#include "tw/display/viewer.hpp"
#include "tw/panes/autos_manager.hpp"
#include "tw/panes/value_plot.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/plot_commands.hpp"

#include <QAction>
#include <QCoreApplication>
#include <QTreeView>

namespace tw::window {
namespace {

using viewer::MessageSink;
using viewer::ValuePlot;

class ValuePlotTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<FrmMain>();
    }
    void Send(int type, int record, const QString& text, const QString& name = {}, const QString& value = {}) {
        form->MessageManager().Add(MessageSink::CreateEx(qint16(type), record, text, name, value));
    }
    void Value(int record, const QString& name, const QString& value) {
        Send(4, record, name + " = " + value, name, value);
    }
    viewer::TraceTree& Trace() { return form->Viewer().GetDefault(); }
    std::unique_ptr<FrmMain> form;
};

TEST_F(ValuePlotTest, SeriesPerFormulaWithGapsCountedInTheLegend) {
    Value(1, "Total", "1.5");
    Value(2, "Total", "2");
    Value(3, "Total", "n/a");
    Value(4, "Total", "3");
    Value(4, "Other", "99");
    Send(6, 5, "@Sum");
    Value(5, "Total", "10");
    Value(6, "Total", "");
    Send(7, 6, "");
    Value(7, "total", "5");  // another object: names compare exactly

    ValuePlot* plot = OpenValuePlot(*form, "Total");
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(plot->windowTitle(), "Plot Values - Total");
    ASSERT_EQ(plot->SeriesCount(), 2);
    EXPECT_EQ(plot->SeriesName(0), "(no formula)");
    EXPECT_EQ(plot->PointCount(0), 3);
    EXPECT_EQ(plot->GapCount(0), 1);
    EXPECT_EQ(plot->SegmentCount(0), 2);  // the gap splits the line
    EXPECT_EQ(plot->LegendText(0), "(no formula) (1 not a number)");
    EXPECT_EQ(plot->SeriesName(1), "@Sum");
    EXPECT_EQ(plot->PointCount(1), 1);
    EXPECT_EQ(plot->LegendText(1), "@Sum (1 not a number)");
    EXPECT_EQ(OpenValuePlot(*form, "Total"), plot);  // the same window again

    // New values join as they arrive.
    Value(8, "Total", "4");
    Send(6, 9, "@Other formula");
    Value(9, "Total", "-2e3");
    plot->FlushPending();
    EXPECT_EQ(plot->PointCount(0), 4);
    ASSERT_EQ(plot->SeriesCount(), 3);
    EXPECT_EQ(plot->PointCount(2), 1);
    // Deleting lines neither doubles nor loses plotted values.
    Trace().Select(1);
    form->commands().Run("mnuEditDelete");
    Send(7, 9, "");
    Value(10, "Total", "5");
    plot->FlushPending();
    EXPECT_EQ(plot->PointCount(0), 5);

    // A click near the point (2, 2) selects the line of that value.
    ASSERT_TRUE(plot->SelectNearest(0, QPointF(2.05, 2.0)));
    const int selected = Trace().Selected();
    ASSERT_GT(selected, 0);
    EXPECT_EQ(Trace().Message(selected).RecordNumber(), 2);
    EXPECT_EQ(Trace().Message(selected).ObjectValue(), "2");
}

TEST_F(ValuePlotTest, ValuesThatAreNumbers) {
    double v = 0;
    EXPECT_TRUE(ValuePlot::ParseValue(u" 12.5 ", v));
    EXPECT_DOUBLE_EQ(v, 12.5);
    EXPECT_TRUE(ValuePlot::ParseValue(u"-3", v));
    EXPECT_DOUBLE_EQ(v, -3);
    EXPECT_FALSE(ValuePlot::ParseValue(u"", v));
    EXPECT_FALSE(ValuePlot::ParseValue(u"12 apples", v));
    EXPECT_FALSE(ValuePlot::ParseValue(u"inf", v));
    EXPECT_FALSE(ValuePlot::ParseValue(u"nan", v));
}

TEST_F(ValuePlotTest, AutosPaneOpensThePlotOfTheObjectUnderTheNode) {
    Send(6, 1, "@F");
    Value(1, "Amount", "7");
    Send(7, 1, "");
    form->AutosManager().Model().FlushPending();
    QTreeView* autos = form->controls().tvwAutos;
    viewer::AutosManager& manager = form->AutosManager();
    ASSERT_EQ(manager.ObjectNodes().size(), 1u);
    // A value node under the formula node: the plot of its object.
    const int formulaNode = manager.Child(manager.ObjectNodes()[0], 0);
    const int valueNode = manager.Child(formulaNode, 0);
    autos->expandAll();
    autos->setCurrentIndex(manager.Model().IndexOfNode(valueNode));
    ASSERT_TRUE(form->commands().Run("mnuAutosPlot"));
    auto plots = form->findChildren<ValuePlot*>();
    ASSERT_EQ(plots.size(), 1);
    EXPECT_EQ(plots[0]->ObjectName(), "Amount");
    EXPECT_EQ(plots[0]->PointCount(0), 1);
    EXPECT_EQ(plots[0]->SeriesName(0), "@F");

    // Double-click on an object node.
    plots[0]->close();
    QCoreApplication::processEvents();
    emit autos->doubleClicked(manager.Model().IndexOfNode(manager.ObjectNodes()[0]));
    EXPECT_EQ(form->findChildren<ValuePlot*>().size(), 1);
}

}  // namespace
}  // namespace tw::window

#endif  // TW_HAVE_CHARTS
