#include "tw/panes/scratch_manager.hpp"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QTreeView>
#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

TEST(ScratchManager, RowsKeepTheirPlaceAndShowTheLatestText) {
    ScratchManager s;
    QAbstractItemModelTester tester(&s, QAbstractItemModelTester::FailureReportingMode::Fatal);
    s.Add(3, QStringLiteral("first"));
    s.Add(1, QStringLiteral("one"));
    s.Add(3, QStringLiteral("third"));
    ASSERT_EQ(s.Count(), 2);
    EXPECT_EQ(s.Key(0), QStringLiteral("A3"));
    EXPECT_EQ(s.Text(0), QStringLiteral("third"));
    EXPECT_EQ(s.Key(1), QStringLiteral("A1"));
    EXPECT_EQ(s.data(s.index(0, 0)).toString(), QStringLiteral("3"));
    EXPECT_EQ(s.data(s.index(0, 1)).toString(), QStringLiteral("third"));
}

TEST(ScratchManager, ZeroNegativeAndEmptyText) {
    ScratchManager s;
    s.Add(0, QString());
    s.Add(-12, QStringLiteral("neg"));
    s.Add(0, QString());
    ASSERT_EQ(s.Count(), 2);
    EXPECT_EQ(s.Key(0), QStringLiteral("A0"));
    EXPECT_EQ(s.Key(1), QStringLiteral("A-12"));
    EXPECT_EQ(s.RowOfKey(QStringLiteral("A-12")), 1);
    EXPECT_EQ(s.RowOfKey(QStringLiteral("A00")), -1);
    EXPECT_TRUE(s.Text(0).isEmpty());
}

TEST(ScratchManager, ClearThenAnOldIdentifierComesAtTheEnd) {
    ScratchManager s;
    s.Add(1, QStringLiteral("a"));
    s.Add(2, QStringLiteral("b"));
    s.Clear();
    EXPECT_EQ(s.Count(), 0);
    s.Add(2, QStringLiteral("b2"));
    s.Add(1, QStringLiteral("a2"));
    EXPECT_EQ(s.Key(0), QStringLiteral("A2"));
    EXPECT_EQ(s.Key(1), QStringLiteral("A1"));
}

TEST(ScratchManager, ViewColumns) {
    ScratchManager s;
    QTreeView view;
    s.AttachView(&view);
    EXPECT_EQ(s.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Id"));
    EXPECT_EQ(s.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Scratch Message"));
    EXPECT_EQ(view.columnWidth(0), 85);   // 1279 twips
    EXPECT_EQ(view.columnWidth(1), 169);  // 2540 twips
}

}  // namespace
}  // namespace tw::viewer
