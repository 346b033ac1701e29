#include "tw/core/message_manager.hpp"

#include "tw/common/common.hpp"
#include "tw/core/status_panels.hpp"
#include "tw/core/trace_pages.hpp"

#include <QLocale>
#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

struct RecordingStatus : StatusPanels {
    QString count = QStringLiteral("<unset>");
    QString listening;
    bool on = false;
    void SetMessageCount(const QString& text) override { count = text; }
    void SetListening(const QString& text, bool l) override {
        listening = text;
        on = l;
    }
};

struct FixedClock : Clock {
    QDateTime nowUtc() const override { return QDateTime(QDate(2026, 1, 2), QTime(9, 5, 17, 42), Qt::UTC); }
};

class Store : public ::testing::Test {
protected:
    void SetUp() override {
        tw::setClock(&clock);
        manager.SetProcessMessages(true);
    }
    void TearDown() override { tw::setClock(nullptr); }

    void Add(const char* text, qint16 type) {
        manager.Add(MessageSink::CreateEx(type, 0, QString::fromUtf8(text)));
    }
    // Line text of the default tree, with its parent's message ("-" for the top level).
    std::string Shape() {
        TraceTree& t = pages.GetDefault();
        std::string out;
        for (int i = 1; i <= t.Count(); ++i) {
            const int p = t.Parent(i);
            out += t.Message(i).Message().toStdString() + "<" +
                   (p ? t.Message(p).Message().toStdString() : std::string("-")) + " ";
        }
        return out;
    }

    FixedClock clock;
    PlainTracePages pages;
    RecordingStatus status;
    MessageManager manager{pages, &status};
};

TEST_F(Store, EnterAndExitNestTheLinesBetweenThem) {
    Add("M1", 0);
    Add("E", 6);
    Add("M2", 0);
    Add("M3", 1);
    Add("X", 7);
    Add("M4", 0);
    EXPECT_EQ(Shape(), "M1<- E<- M2<E M3<E X<- M4<- ");
}

TEST_F(Store, NestedSubreportInsideFormula) {
    Add("E1", 6);
    Add("M1", 0);
    Add("E2", 8);
    Add("M2", 0);
    Add("X2", 9);
    Add("M3", 0);
    Add("X1", 7);
    EXPECT_EQ(Shape(), "E1<- M1<E1 E2<E1 M2<E2 X2<E1 M3<E1 X1<- ");
}

TEST_F(Store, EnterAfterEnterIsASibling) {
    Add("E1", 6);
    Add("E2", 6);
    Add("M", 0);
    EXPECT_EQ(Shape(), "E1<- E2<- M<E2 ");
}

TEST_F(Store, ExitAfterNestedEnterGoesAboveItsParent) {
    Add("E1", 6);
    Add("M1", 0);
    Add("E2", 8);
    Add("X2", 9);
    EXPECT_EQ(Shape(), "E1<- M1<E1 E2<E1 X2<- ");
}

TEST_F(Store, ExitsWithoutEnclosingLevelStayOnTop) {
    Add("X0", 7);
    Add("M1", 0);
    Add("X", 7);
    Add("X9", 9);
    EXPECT_EQ(Shape(), "X0<- M1<- X<- X9<- ");
}

TEST_F(Store, OtherTypesAreSiblingsOfTheLastLine) {
    Add("E", 6);
    Add("M", 0);
    Add("O", 4);
    Add("C", 14);
    Add("U", 42);
    EXPECT_EQ(Shape(), "E<- M<E O<E C<E U<E ");
}

TEST_F(Store, AddExpandsACollapsedParentAgain) {
    Add("E", 6);
    Add("M", 0);
    TraceTree& t = pages.GetDefault();
    EXPECT_TRUE(t.IsExpanded(1));
    t.SetExpanded(1, false);
    Add("M2", 0);
    EXPECT_TRUE(t.IsExpanded(1));
}

TEST_F(Store, StatusTexts) {
    EXPECT_EQ(status.listening, QStringLiteral("Ready."));
    EXPECT_TRUE(status.on);
    Add("a", 0);
    EXPECT_EQ(status.count, QStringLiteral("1 Messages."));
    Add("b", 0);
    Add("c", 0);
    EXPECT_EQ(status.count, QStringLiteral("3 Messages."));
    pages.GetDefault().Select(1);
    manager.DeleteMessage();
    EXPECT_EQ(pages.GetDefault().Count(), 2);
    EXPECT_EQ(status.count, QStringLiteral("3 Messages."));  // Delete leaves the count
    manager.Clear();
    EXPECT_EQ(status.count, QString());
    EXPECT_EQ(pages.GetDefault().Count(), 0);
    manager.SetProcessMessages(false);
    EXPECT_EQ(status.listening, QStringLiteral("Stopped."));
    EXPECT_FALSE(status.on);
}

TEST_F(Store, CountUsesTheGroupSeparator) {
    EXPECT_EQ(MessageManager::CountText(1234, u','), QStringLiteral("1,234 Messages."));
    EXPECT_EQ(MessageManager::CountText(1234567, u'.'), QStringLiteral("1.234.567 Messages."));
    EXPECT_EQ(MessageManager::CountText(999, u','), QStringLiteral("999 Messages."));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    PlainTracePages p;
    RecordingStatus s;
    MessageManager m(p, &s);
    m.SetProcessMessages(true);
    for (int i = 0; i < 1234; ++i) m.Add(MessageSink::CreateEx(0, i, u"x"));
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(s.count, QStringLiteral("1.234 Messages."));
}

TEST_F(Store, StoppedDropsMessagesAndHooks) {
    int watched = 0, autos = 0;
    manager.SetWatchHook([&](const MessageRef&) { ++watched; });
    manager.SetAutosHook([&](const MessageRef&) { ++autos; });
    manager.SetWatchesEnabled(true);
    manager.SetAutosEnabled(true);
    Add("a", 4);
    EXPECT_EQ(watched, 1);
    EXPECT_EQ(autos, 1);
    manager.SetProcessMessages(false);
    status.count = QStringLiteral("<unset>");
    Add("b", 4);
    EXPECT_EQ(pages.GetDefault().Count(), 1);
    EXPECT_EQ(status.count, QStringLiteral("<unset>"));
    EXPECT_EQ(watched, 1);
    manager.SetProcessMessages(true);
    manager.SetAutosEnabled(false);
    Add("c", 4);
    EXPECT_EQ(watched, 2);
    EXPECT_EQ(autos, 1);
}

TEST_F(Store, HooksSeeTheLineAlreadyStored) {
    int countSeen = 0;
    manager.SetAutosHook([&](const MessageRef& m) {
        TraceTree& t = pages.GetDefault();
        countSeen = t.Count();
        EXPECT_EQ(t.Tag(t.Count()), m);
    });
    manager.SetAutosEnabled(true);
    Add("a", 4);
    EXPECT_EQ(countSeen, 1);
}

TEST_F(Store, LineTextCarriesRecordNumberAndTimeStamp) {
    manager.Add(MessageSink::CreateEx(0, 42, u"hello"));
    EXPECT_EQ(pages.GetDefault().Text(1), QStringLiteral("00042  09:05:042  hello"));
    EXPECT_EQ(FormatLineText(123456, PackStamp(9, 5, 42), u"x"), QStringLiteral("123456  09:05:042  x"));
    EXPECT_EQ(FormatLineText(-42, PackStamp(123, 0, 7), u"y"), QStringLiteral("-00042  23:00:007  y"));
}

TEST_F(Store, DeleteOfAnEnterLineTakesItsSubtree) {
    Add("M0", 0);
    Add("E", 6);
    Add("M1", 0);
    Add("E2", 8);
    Add("M2", 0);
    Add("X2", 9);
    Add("X", 7);
    Add("M3", 0);
    pages.GetDefault().Select(2);
    manager.DeleteMessage();
    EXPECT_EQ(Shape(), "M0<- X<- M3<- ");
    // Nothing selected: Delete does nothing.
    manager.DeleteMessage();
    EXPECT_EQ(pages.GetDefault().Count(), 3);
    // The store goes on nesting after a delete.
    Add("E3", 6);
    Add("M4", 0);
    EXPECT_EQ(Shape(), "M0<- X<- M3<- E3<- M4<E3 ");
}

TEST_F(Store, ClearOnAFilterPageLeavesTheDefaultPage) {
    Add("a", 0);
    Add("b", 0);
    TraceTree* filter = pages.Add(QStringLiteral("Errors"));
    ASSERT_NE(filter, nullptr);
    filter->AppendCopy(pages.GetDefault(), 2);
    manager.Clear();
    EXPECT_EQ(pages.CurrentPage(), 0);
    EXPECT_FALSE(pages.IsOpen(1));
    EXPECT_EQ(filter->Count(), 0);
    EXPECT_EQ(pages.GetDefault().Count(), 2);
    EXPECT_EQ(status.count, QString());
    Add("c", 0);
    EXPECT_EQ(status.count, QStringLiteral("3 Messages."));
}

}  // namespace
}  // namespace tw::viewer

namespace tw::viewer {
namespace {

TEST(StoreDepth, EntersWithoutExitsStopNestingAtTheDeepestLevel) {
    PlainTracePages pages;
    MessageManager store(pages);
    store.SetProcessMessages(true);
    // Enter, message, enter, message, ...: every enter nests under the one before.
    for (int i = 0; i < 2 * TraceTree::kMaxLevel; ++i) {
        store.Add(MessageSink::CreateEx(6, i, u"E"));
        store.Add(MessageSink::CreateEx(0, i, u"M"));
    }
    TraceTree& t = pages.GetDefault();
    int deepest = 0;
    for (int i = 1; i <= t.Count(); ++i) deepest = std::max(deepest, t.Level(i));
    EXPECT_EQ(deepest, TraceTree::kMaxLevel);
    EXPECT_EQ(t.Level(t.Count()), TraceTree::kMaxLevel);
    // An exit still climbs out of the deepest level.
    store.Add(MessageSink::CreateEx(7, 0, u""));
    EXPECT_EQ(t.Level(t.Count()), TraceTree::kMaxLevel - 1);
    EXPECT_THROW(t.Append(t.Count() - 1, MessageSink::CreateEx(0, 0, u"x"), 0), std::length_error);
}

}  // namespace
}  // namespace tw::viewer

namespace tw::viewer {
namespace {

// Nesting by calls: an entry inside a call hangs under it, an exit beside its entry; switching
// re-nests the lines there, keeping them, their handles and the selection, and switching back
// gives the first nesting again.
TEST_F(Store, NestByCallsFollowsTheCallStackAndSwitchesBothWays) {
    const char* texts[] = {"Total", "Sub", "m", "", "n", "", "x", "", "after"};
    const qint16 types[] = {6, 6, 0, 7, 0, 7, 7, 7, 0};  // two stray exits at the end
    for (int i = 0; i < 9; ++i) Add(texts[i], types[i]);
    const std::string partRule = Shape();
    EXPECT_EQ(partRule, "Total<- Sub<- m<Sub <- n<- <- x<- <- after<- ");
    TraceTree& t = pages.GetDefault();
    t.Select(5);
    const LineHandle n = t.Handle(5);
    manager.SetNestByCalls(true);
    EXPECT_EQ(Shape(), "Total<- Sub<Total m<Sub <Total n<Total <- x<- <- after<- ");
    EXPECT_EQ(t.IndexOf(n), 5);
    EXPECT_EQ(t.Selected(), 5);
    Add("late", 6);
    Add("in", 0);
    EXPECT_EQ(t.Message(t.Parent(t.Count())).Message(), "late");
    manager.SetNestByCalls(false);
    EXPECT_EQ(Shape(), partRule + "late<- in<late ");
}

}  // namespace
}  // namespace tw::viewer
