#include "tw/panes/watch_manager.hpp"

#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/testing/message_boxes.hpp"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QTreeView>
#include <gtest/gtest.h>

namespace tw::viewer {

// Reaches the manager's private test of one watch.
class WatchManagerTestPeer {
public:
    static bool IsMatch(const Watch& w, const QString& name, const QString& value) {
        return WatchManager::IsMatch(w, name, value);
    }
};

namespace {

bool Match(const char* name, const char* op, const char* value, const char* messageName, const char* messageValue) {
    return WatchManagerTestPeer::IsMatch(Watch::Make(QString::fromUtf8(name), QString::fromUtf8(op), QString::fromUtf8(value)),
                                         QString::fromUtf8(messageName), QString::fromUtf8(messageValue));
}

MessageRef Object(const QString& name, const QString& value, qint32 record = 0) {
    return MessageSink::CreateEx(4, record, name + " = " + value, name, value);
}

TEST(WatchIsMatch, EqualsComparesUpperCasedTextAndNamesIgnoreCase) {
    EXPECT_TRUE(Match("Total", "=", "abc", "TOTAL", "ABC"));
    EXPECT_TRUE(Match("Total", "=", "abc", "total", "aBc"));
    EXPECT_FALSE(Match("Total", "=", "abc", "Total", "abd"));
    EXPECT_FALSE(Match("Total", "=", "abc", "Totals", "abc"));
    EXPECT_FALSE(Match("Total", "=", "abc", " Total", "abc"));  // names are not trimmed
    EXPECT_FALSE(Match("Total", "=", " abc", "Total", "abc"));  // nor values
    EXPECT_TRUE(Match("Gr\u00f6\u00dfe", "=", "x", "GR\u00d6SSE", "X"));  // upper-cased beyond ASCII
}

TEST(WatchIsMatch, OrderingComparesTextNeverNumbers) {
    EXPECT_TRUE(Match("Total", "<", "100", "Total", "0099"));
    EXPECT_TRUE(Match("Total", "<", "100", "Total", "1,000"));
    EXPECT_FALSE(Match("Total", "<", "100", "Total", "5"));
    EXPECT_FALSE(Match("Total", "<", "100", "Total", "20"));
    EXPECT_FALSE(Match("Total", "<", "100", "Total", "100"));
    EXPECT_TRUE(Match("Total", "<", "100", "Total", "10"));  // a prefix sorts first

    EXPECT_TRUE(Match("Total", "<=", "100", "Total", "100"));
    EXPECT_TRUE(Match("Total", "<=", "100", "Total", "0999"));
    EXPECT_FALSE(Match("Total", "<=", "100", "Total", "2"));

    EXPECT_TRUE(Match("Total", ">", "100", "Total", "99"));
    EXPECT_FALSE(Match("Total", ">", "100", "Total", "100"));
    EXPECT_FALSE(Match("Total", ">", "100", "Total", "0999"));
    EXPECT_TRUE(Match("Name", ">", "abc", "Name", "ABD"));  // both sides upper-cased

    EXPECT_TRUE(Match("Total", ">=", "100", "Total", "100"));
    EXPECT_TRUE(Match("Total", ">=", "100", "Total", "1000"));
    EXPECT_FALSE(Match("Total", ">=", "100", "Total", "0"));

    EXPECT_FALSE(Match("Name", "<>", "abc", "Name", "ABC"));
    EXPECT_TRUE(Match("Name", "<>", "abc", "Name", "abcd"));
}

TEST(WatchIsMatch, LikeIsAPlainSubstringWithoutWildcards) {
    EXPECT_TRUE(Match("total", "Like", "5", "Total", "15"));
    EXPECT_TRUE(Match("total", "Like", "5", "Total", "150"));
    EXPECT_TRUE(Match("total", "Like", "5", "Total", "x5y"));
    EXPECT_FALSE(Match("total", "Like", "5", "Total", "4"));
    EXPECT_TRUE(Match("total", "Like", "", "Total", "anything"));
    EXPECT_TRUE(Match("total", "Like", "", "Total", ""));
    EXPECT_TRUE(Match("Code", "Like", "b", "code", "ABC"));
    EXPECT_TRUE(Match("Code", "Like", "1*", "Code", "x1*2"));
    EXPECT_FALSE(Match("Code", "Like", "1*", "Code", "12"));
    EXPECT_FALSE(Match("Code", "Like", "a?c", "Code", "abc"));
    EXPECT_TRUE(Match("Code", "Like", "a?c", "Code", "A?C"));
}

TEST(WatchIsMatch, UnknownOperatorsNeverMatch) {
    EXPECT_FALSE(Match("Total", "==", "1", "Total", "1"));
    EXPECT_FALSE(Match("Total", "like", "1", "Total", "1"));  // operators compare exactly
    EXPECT_FALSE(Match("Total", "", "1", "Total", "1"));
}

class Watches : public ::testing::Test {
protected:
    // Rows of the results list as "object|expression|value|record".
    std::vector<QString> Rows() const {
        std::vector<QString> out;
        for (int i = 0; i < watches.ResultCount(); ++i) {
            const WatchResult& r = watches.Result(i);
            out.push_back(r.objectName + '|' + r.expression + '|' + r.value + '|' + QString::number(r.recordNumber));
        }
        return out;
    }
    PlainTracePages pages;
    WatchManager watches{pages};
};

TEST_F(Watches, TreeHasTheRootAndOneNodePerWatchWithItsText) {
    EXPECT_EQ(watches.NodeCount(), 0);
    watches.Add(Watch::Make("Total", ">=", "100"));
    watches.Add(Watch::Make("Name", "Like", " x "));
    ASSERT_EQ(watches.NodeCount(), 3);
    EXPECT_EQ(watches.NodeText(1), "Watches");
    EXPECT_EQ(watches.NodeImage(1), 2);
    EXPECT_EQ(watches.NodeText(2), "Total >= 100");
    EXPECT_EQ(watches.NodeText(3), "Name Like  x ");
    EXPECT_EQ(watches.NodeImage(3), 32);
    EXPECT_EQ(watches.WatchOf(3).Value(), " x ");
}

TEST_F(Watches, SeveralWatchesHittingOneMessageGiveOneRowEachInTreeOrder) {
    watches.Add(Watch::Make("total", "Like", "5"));
    watches.Add(Watch::Make("Other", "=", "15"));
    watches.Add(Watch::Make("TOTAL", ">", "100"));
    watches.Evaluate(*Object("Total", "15", 42));
    EXPECT_EQ(Rows(), (std::vector<QString>{"total|total Like 5|15|42", "TOTAL|TOTAL > 100|15|42"}));
    // Messages of other types are not tested.
    watches.Evaluate(*MessageSink::CreateEx(0, 1, QStringLiteral("Total = 15"), QStringLiteral("Total"),
                                            QStringLiteral("15")));
    EXPECT_EQ(watches.ResultCount(), 2);
    watches.Evaluate(*Object("Total", "99", 43));
    EXPECT_EQ(Rows().back(), "TOTAL|TOTAL > 100|99|43");  // "99" sorts after "100"
    EXPECT_EQ(watches.ResultCount(), 3);
}

TEST_F(Watches, DeleteRemovesOnlyASelectedWatchAndLeavesRootAndResults) {
    watches.Delete();  // empty tree
    watches.Add(Watch::Make("A", "=", "1"));
    watches.Add(Watch::Make("B", "=", "2"));
    watches.Evaluate(*Object("A", "1"));
    watches.Delete();  // nothing selected
    EXPECT_EQ(watches.NodeCount(), 3);
    watches.Select(1);
    watches.Delete();  // the root
    EXPECT_EQ(watches.NodeCount(), 3);
    watches.Select(2);
    watches.Delete();
    ASSERT_EQ(watches.NodeCount(), 2);
    EXPECT_EQ(watches.NodeText(2), "B = 2");
    watches.Select(2);
    watches.Delete();
    EXPECT_EQ(watches.NodeCount(), 1);  // the root stays
    EXPECT_EQ(watches.ResultCount(), 1);
    watches.Evaluate(*Object("A", "1"));  // only the root: nothing to test
    EXPECT_EQ(watches.ResultCount(), 1);

    watches.DeleteAll();
    EXPECT_EQ(watches.NodeCount(), 0);
    watches.Add(Watch::Make("C", "=", "3"));
    EXPECT_EQ(watches.NodeCount(), 2);
    watches.ClearResults();
    EXPECT_EQ(watches.ResultCount(), 0);
}

TEST_F(Watches, NameListHoldsEachObjectNameOnceAsFirstSeen) {
    TraceTree& tree = pages.GetDefault();
    tree.Append(0, Object("Total", "1"), 0);
    tree.Append(0, MessageSink::CreateEx(0, 0, QStringLiteral("note"), QStringLiteral("NotAnObject")), 0);
    tree.Append(0, Object("name", "x"), 0);
    tree.Append(0, Object("TOTAL", "2"), 0);
    tree.Append(0, Object("Name", "y"), 0);
    tree.Append(0, Object("Count", "3"), 0);
    EXPECT_EQ(watches.GetObjectNameList(), (QStringList{"Total", "name", "Count"}));
    // Only the default page counts.
    TraceTree* filter = pages.Add(QStringLiteral("Filter"));
    filter->Append(0, Object("Elsewhere", "1"), 0);
    EXPECT_EQ(watches.GetObjectNameList().size(), 3);
}

TEST_F(Watches, ViewsShowTreeAndResultsWithHeadersIconsAndBatchedRows) {
    QTreeView tree, list;
    std::vector<int> asked;
    watches.AttachViews(&tree, &list, [&asked](int i) {
        asked.push_back(i);
        return QIcon();
    });
    QAbstractItemModelTester treeTester(&watches.TreeModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester listTester(&watches.ResultsModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    WatchResultsModel& results = watches.ResultsModel();
    EXPECT_EQ(results.headerData(0, Qt::Horizontal).toString(), "Object");
    EXPECT_EQ(results.headerData(1, Qt::Horizontal).toString(), "Expression");
    EXPECT_EQ(results.headerData(2, Qt::Horizontal).toString(), "Value");
    EXPECT_EQ(results.headerData(3, Qt::Horizontal).toString(), "Record Number");

    watches.Add(Watch::Make("A", "<>", "x"));
    watches.Add(Watch::Make("B", "=", "y"));
    const QModelIndex root = watches.TreeModel().index(0, 0);
    EXPECT_EQ(root.data().toString(), "Watches");
    EXPECT_EQ(watches.TreeModel().rowCount(root), 2);
    EXPECT_TRUE(tree.isExpanded(root));

    // A click in the view selects the node Delete removes.
    tree.setCurrentIndex(watches.TreeModel().index(1, 0, root));
    EXPECT_EQ(watches.Selected(), 3);
    watches.Delete();
    EXPECT_EQ(watches.TreeModel().rowCount(root), 1);

    for (int i = 0; i < 5; ++i) watches.Evaluate(*Object("a", QString::number(i), 1000 + i));
    EXPECT_EQ(results.rowCount(), 0);  // published by the next flush
    results.FlushPending();
    ASSERT_EQ(results.rowCount(), 5);
    EXPECT_EQ(results.index(4, 3).data().toString(), "1004");
    asked.clear();
    for (int c = 0; c < 4; ++c) results.index(0, c).data(Qt::DecorationRole);
    EXPECT_EQ(asked, (std::vector<int>{33, 32, 20, 31}));
    watches.ClearResults();
    EXPECT_EQ(results.rowCount(), 0);
}

TEST_F(Watches, TheStoreEvaluatesOnlyWhileTheOptionIsChecked) {
    MessageManager store(pages);
    store.SetProcessMessages(true);
    store.SetWatchHook([this](const MessageRef& m) { watches.Evaluate(*m); });
    watches.Add(Watch::Make("A", "=", "1"));
    store.SetWatchesEnabled(false);
    store.Add(Object("A", "1"));
    EXPECT_EQ(watches.ResultCount(), 0);
    store.SetWatchesEnabled(true);
    store.Add(Object("A", "1", 7));
    ASSERT_EQ(watches.ResultCount(), 1);
    EXPECT_EQ(watches.Result(0).recordNumber, 7);
}

}  // namespace
}  // namespace tw::viewer
