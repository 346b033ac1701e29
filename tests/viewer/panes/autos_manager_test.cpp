#include "tw/panes/autos_manager.hpp"

#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/testing/message_boxes.hpp"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

class Autos : public ::testing::Test {
protected:
    void SetUp() override {
        store.SetProcessMessages(true);
        store.SetAutosEnabled(true);
        store.SetAutosHook([this](const MessageRef& m) { autos.Update(m); });
    }
    void Object(const char* name, const char* value, qint32 record) {
        const QString n = QString::fromUtf8(name), v = QString::fromUtf8(value);
        store.Add(MessageSink::CreateEx(4, record, n + " = " + v, n, v));
    }
    void Send(qint16 type, const char* text = "") { store.Add(MessageSink::CreateEx(type, 0, QString::fromUtf8(text))); }
    // The tree as nested text: "A[000001  1,F[000002  2]]".
    std::string Shape(int node = 0) const {
        std::string out;
        for (int r = 0; r < autos.ChildCount(node); ++r) {
            const int child = autos.Child(node, r);
            if (r) out += ",";
            out += autos.Text(child).toStdString();
            if (autos.ChildCount(child)) out += "[" + Shape(child) + "]";
        }
        return out;
    }

    PlainTracePages pages;
    MessageManager store{pages};
    AutosManager autos{pages};
};

TEST_F(Autos, ValuesOutsideAnyFormulaHangUnderTheirObject) {
    Object("A", "x", 1);
    Object("A", "y", 2);
    Send(0, "not an object");
    Object("A", "z", 3);
    EXPECT_EQ(Shape(), "A[000001  x,000002  y,000003  z]");
    EXPECT_EQ(autos.ObjectNodes().size(), 1u);
}

TEST_F(Autos, ValuesAreGroupedByFormulaAndNodesAreReused) {
    Send(6, "F");
    Object("A", "1", 1);
    Send(7);
    Send(6, "G");
    Object("A", "2", 2);
    Object("B", "3", 3);
    Send(7);
    Send(6, "F");
    Object("A", "4", 4);
    Send(7);
    Object("A", "5", 5);
    EXPECT_EQ(Shape(), "A[F[000001  1,000004  4],G[000002  2],000005  5],B[G[000003  3]]");
}

TEST_F(Autos, ValuesUnderASubreportEntryHangDirectlyUnderTheObject) {
    Send(8, "Sub");
    Object("A", "1", 1);
    Send(6, "F");
    Send(8, "Sub inside");  // an enter line right after an enter line is its sibling
    Object("A", "2", 2);
    EXPECT_EQ(Shape(), "A[000001  1,000002  2]");
}

TEST_F(Autos, RecordNumbersShowAtLeastSixDigitsAndAllOfALongerOne) {
    Object("A", "v", 1234567);
    Object("A", "w", 42);
    Object("A", "n", -42);
    EXPECT_EQ(Shape(), "A[1234567  v,000042  w,-000042  n]");
}

TEST_F(Autos, NamesAndFormulaTextsNeverStandForOneAnother) {
    // Names differing in case are two objects, each keeping its values.
    Object("Total", "1", 1);
    Object("TOTAL", "2", 2);
    // Object "A" in formula "BC" and object "AB" in formula "C" are different groups.
    Send(6, "BC");
    Object("A", "3", 3);
    Send(7);
    Send(6, "C");
    Object("AB", "4", 4);
    Send(7);
    Send(6, "A");
    Object("ABC", "5", 5);  // a name equal to another object's formula group
    EXPECT_EQ(Shape(), "Total[000001  1],TOTAL[000002  2],A[BC[000003  3]],AB[C[000004  4]],ABC[A[000005  5]]");
}

TEST_F(Autos, ClearEmptiesTheTreeAndTheNextValueMakesANewNode) {
    Object("A", "1", 1);
    autos.Clear();
    EXPECT_EQ(autos.NodeCount(), 0);
    EXPECT_TRUE(autos.ObjectNodes().empty());
    Object("A", "2", 2);
    EXPECT_EQ(Shape(), "A[000002  2]");
}

TEST_F(Autos, TheOptionDecidesAndMissedMessagesAreNeverAddedLater) {
    store.SetAutosEnabled(false);
    Object("A", "1", 1);
    store.SetAutosEnabled(true);
    Object("A", "2", 2);
    EXPECT_EQ(Shape(), "A[000002  2]");
}

TEST_F(Autos, TheModelPublishesNewNodesInBatchesInAValidOrder) {
    AutosModel& model = autos.Model();
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    Send(6, "F");
    Object("A", "1", 1);
    Object("B", "2", 2);
    EXPECT_EQ(model.rowCount(), 0);
    model.FlushPending();
    ASSERT_EQ(model.rowCount(), 2);
    const QModelIndex a = model.index(0, 0);
    EXPECT_EQ(a.data().toString(), "A");
    ASSERT_EQ(model.rowCount(a), 1);
    const QModelIndex f = model.index(0, 0, a);
    EXPECT_EQ(f.data().toString(), "F");
    EXPECT_EQ(model.index(0, 0, f).data().toString(), "000001  1");
    EXPECT_EQ(model.parent(model.index(0, 0, f)), f);
    Object("A", "3", 3);
    EXPECT_EQ(model.rowCount(f), 1);
    model.FlushPending();
    EXPECT_EQ(model.rowCount(f), 2);
    autos.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
}  // namespace tw::viewer
