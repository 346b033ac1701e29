#include "tw/display/trace_model.hpp"

#include "tw/display/trace_view.hpp"
#include "tw/display/viewer_images.hpp"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QSignalSpy>
#include <QtWidgets/private/qtreeview_p.h>
#include <gtest/gtest.h>

#include <tuple>

namespace tw::viewer {
namespace {

MessageRef Msg(const QString& text, qint16 type = 0, qint32 record = 0) {
    return MessageSink::CreateEx(type, record, text);
}

class Model : public ::testing::Test {
protected:
    TraceTree tree;
    TraceModel model{tree};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(Model, AppendedLinesAppearOnlyWhenPublished) {
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    tree.Append(0, Msg("a"), 0);
    tree.Append(1, Msg("b"), 0);
    EXPECT_EQ(model.rowCount(), 0);
    model.FlushPending();
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(inserted.count(), 1);
    const QModelIndex a = model.index(0, 0);
    EXPECT_EQ(model.rowCount(a), 1);
    EXPECT_EQ(model.data(model.index(0, 0, a)).toString(), tree.Text(2));
}

TEST_F(Model, BatchesPublishParentByParentInOrder) {
    // Shown: E1 > E2 > M. Then lines under E2, under E1 (after an exit) and at the top.
    tree.Append(0, Msg("E1", 6), 0);
    tree.Append(1, Msg("E2", 6), 0);
    tree.Append(2, Msg("M"), 0);
    model.FlushPending();
    tree.Append(2, Msg("M2"), 0);
    tree.Append(1, Msg("X2", 7), 0);
    tree.Append(1, Msg("E3", 6), 0);
    tree.Append(6, Msg("M3"), 0);
    tree.Append(0, Msg("X1", 7), 0);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.FlushPending();
    ASSERT_EQ(inserted.count(), 3);
    EXPECT_EQ(model.PublishedCount(), 8);
    const QModelIndex e1 = model.index(0, 0);
    EXPECT_EQ(model.rowCount(e1), 3);
    EXPECT_EQ(model.rowCount(model.index(2, 0, e1)), 1);
    EXPECT_EQ(model.rowCount(), 2);
}

TEST_F(Model, RemovalAndClearKeepTheModelConsistent) {
    for (int i = 0; i < 5; ++i) {
        tree.Append(0, Msg("E", 6), 0);
        tree.Append(tree.Count(), Msg("M"), 0);
    }
    model.FlushPending();
    QPersistentModelIndex last = model.index(4, 0);
    tree.Append(tree.Count() - 1, Msg("late"), 0);  // not yet published when removing
    tree.RemoveSubtree(3);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_TRUE(last.isValid());
    EXPECT_EQ(model.LineOf(last), 7);
    EXPECT_EQ(model.rowCount(model.index(3, 0)), 2);
    tree.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(last.isValid());
}

TEST_F(Model, ColoursPicturesAndBoldComeFromTheTree) {
    tree.Append(0, Msg("err", 2), 0);
    model.FlushPending();
    const QModelIndex i = model.index(0, 0);
    EXPECT_FALSE(model.data(i, Qt::BackgroundRole).isValid());
    tree.SetBackColour(1, 0x00FF00FF);  // magenta as &H00BBGGRR
    tree.SetBold(1, true);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.FlushPending();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(model.data(i, Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 0, 255));
    EXPECT_TRUE(model.data(i, Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(model.data(i, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(model.data(i, TraceModel::MessageTypeRole).toInt(), 2);
}

TEST_F(Model, SelectionPublishesPendingLines) {
    tree.Append(0, Msg("a"), 0);
    tree.Append(0, Msg("b"), 0);
    QSignalSpy selected(&model, &TraceModel::selectionRequested);
    tree.Select(2);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(model.LineOf(selected[0][0].value<QModelIndex>()), 2);
    EXPECT_EQ(model.PublishedCount(), 2);
}

TEST(ViewerImages, FourteenPictures) {
    EXPECT_TRUE(ViewerImage(0).isNull());
    EXPECT_TRUE(ViewerImage(1).isNull());
    for (int i = 2; i <= kViewerImageCount; ++i) {
        const QImage img = ViewerPixmap(i).toImage();
        EXPECT_EQ(img.size(), QSize(16, 16));
        int painted = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) painted += qAlpha(img.pixel(x, y)) > 0;
        EXPECT_GT(painted, 10) << i;
        EXPECT_LT(painted, 256) << i;  // transparent background somewhere
    }
}

}  // namespace
}  // namespace tw::viewer

namespace tw::viewer {
namespace {

// Random appends by the store's rule, deletes of random subtrees, colour changes, selections,
// clears and flushes at random moments: the model tester checks every signal, and every
// handle taken must find its line (or nothing once the line is gone).
TEST_F(Model, RandomEditsKeepModelAndHandlesConsistent) {
    std::srand(7);
    std::vector<std::pair<LineHandle, MessageRef>> taken;
    for (int step = 0; step < 3000; ++step) {
        const int r = std::rand() % 100;
        if (r < 70 || tree.IsEmpty()) {
            int parent = 0;
            if (!tree.IsEmpty()) {
                // Some ancestor-or-self of the last line, or the top level.
                int p = tree.Count();
                for (int up = std::rand() % 4; up > 0 && p; --up) p = tree.Parent(p);
                parent = p && tree.Level(p) >= TraceTree::kMaxLevel ? tree.Parent(p) : p;
            }
            MessageRef m = Msg(QString::number(step), qint16(std::rand() % 10));
            const int line = tree.Append(parent, m, 0);
            taken.emplace_back(tree.Handle(line), m);
        } else if (r < 80) {
            tree.RemoveSubtree(1 + std::rand() % tree.Count());
        } else if (r < 85) {
            tree.SetBackColour(1 + std::rand() % tree.Count(), Colour(std::rand() & 0xFFFFFF));
        } else if (r < 90) {
            tree.Select(1 + std::rand() % tree.Count());
        } else if (r < 91) {
            tree.Clear();
        } else {
            model.FlushPending();
        }
        if (step % 250 == 0) {
            for (const auto& [h, m] : taken) {
                const int line = tree.IndexOf(h);
                if (line) {
                    EXPECT_EQ(tree.Tag(line), m);
                } else {
                    for (int i = 1; i <= tree.Count(); ++i) ASSERT_NE(tree.Tag(i), m);
                }
            }
        }
    }
    model.FlushPending();
    // Every published line maps to its index and back.
    for (int i = 1; i <= tree.Count(); ++i) {
        const QModelIndex idx = model.IndexOfLine(i);
        ASSERT_TRUE(idx.isValid());
        EXPECT_EQ(model.LineOf(idx), i);
        EXPECT_EQ(model.LineOf(idx.parent()), tree.Parent(i));
    }
}

// A stream appends rows to the shown rows in place: after every publication the view's rows
// must be exactly what laying the whole tree out again gives, whatever the user expanded or
// collapsed in between.
TEST_F(Model, ViewAppendsRowsAsAFullLayoutWould) {
    TraceView view(&model);
    view.resize(400, 300);
    view.show();
    auto* d = reinterpret_cast<QTreeViewPrivate*>(QWidgetPrivate::get(&view));
    using Row = std::tuple<int, quintptr, int, uint, bool, bool, bool, uint>;
    const auto rows = [&] {
        std::vector<Row> out;
        for (const QTreeViewItem& i : d->viewItems)
            out.emplace_back(i.index.row(), i.index.internalId(), i.parentItem, uint(i.level), bool(i.expanded),
                             bool(i.hasChildren), bool(i.hasMoreSiblings), uint(i.total));
        return out;
    };
    std::srand(11);
    for (int step = 0; step < 1500; ++step) {
        const int r = std::rand() % 100;
        if (r < 80 || tree.IsEmpty()) {
            int p = tree.Count();
            for (int up = std::rand() % 3; up > 0 && p; --up) p = tree.Parent(p);
            if (p && tree.Level(p) >= TraceTree::kMaxLevel) p = tree.Parent(p);
            const int line = tree.Append(p, Msg(QString::number(step), qint16(std::rand() % 10)), 0);
            if (std::rand() % 3 == 0) tree.SetExpanded(line, true);
        } else if (r < 88 && model.PublishedCount() > 0) {
            // The user opens or closes a shown line.
            const int line = 1 + std::rand() % model.PublishedCount();
            view.setExpanded(model.IndexOfLine(line), std::rand() % 2 == 0);
        } else {
            model.FlushPending();
            QCoreApplication::processEvents();
            const std::vector<Row> appended = rows();
            view.doItemsLayout();
            ASSERT_EQ(appended, rows()) << "step " << step;
        }
    }
}

}  // namespace
}  // namespace tw::viewer
