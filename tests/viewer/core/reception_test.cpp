#include "tw/core/reception.hpp"

#include "tw/core/breakpoints.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/transport.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <unistd.h>

namespace tw::viewer {
namespace {

using tw::messaging::BuildEnvelope;

struct Targets {
    PlainTracePages pages;
    MessageManager store{pages};
    std::vector<std::pair<qint32, QString>> scratch;
    EnvelopeTargets targets{[this](qint32 id, const QString& t) { scratch.emplace_back(id, t); },
                            [this](const MessageRef& m) { store.Add(m); }, {}};
};

TEST(ReceiveEnvelope, ScratchGoesToTheScratchListEvenWhileStopped) {
    Targets t;
    t.store.SetProcessMessages(false);
    EXPECT_EQ(ReceiveEnvelope(BuildEnvelope(5, "  scratch  ", 7, "", ""), t.targets), Received::Scratch);
    EXPECT_EQ(ReceiveEnvelope(BuildEnvelope(0, "dropped", 1, "", ""), t.targets), Received::Message);
    ASSERT_EQ(t.scratch.size(), 1u);
    EXPECT_EQ(t.scratch[0].first, 7);
    EXPECT_EQ(t.scratch[0].second, QStringLiteral("scratch"));
    EXPECT_EQ(t.pages.GetDefault().Count(), 0);
    t.store.SetProcessMessages(true);
    ReceiveEnvelope(BuildEnvelope(0, "kept", 1, "", ""), t.targets);
    ReceiveEnvelope(BuildEnvelope(5, "s2", -3, "", ""), t.targets);
    EXPECT_EQ(t.pages.GetDefault().Count(), 1);
    EXPECT_EQ(t.scratch.back().first, -3);
}

TEST(ReceiveEnvelope, MalformedEnvelopesAreDroppedWithoutHarm) {
    Targets t;
    t.store.SetProcessMessages(true);
    QString why;
    for (std::string bad : {std::string(), std::string("5"), std::string("ab0000001") + std::string(490, ' '),
                            std::string("05abcdefg") + std::string(600, 'x'), std::string(1500, '\xff')}) {
        EXPECT_EQ(ReceiveEnvelope(bad, t.targets, &why), Received::Malformed);
        EXPECT_FALSE(why.isEmpty());
    }
    EXPECT_TRUE(t.scratch.empty());
    EXPECT_EQ(t.pages.GetDefault().Count(), 0);
    // A long message from a source that bypasses the 1024-byte limit is cut to 999 characters.
    std::string lng = BuildEnvelope(0, "", 1, "", "") + std::string(1200, 'm');
    EXPECT_EQ(ReceiveEnvelope(lng, t.targets), Received::Message);
    EXPECT_EQ(t.pages.GetDefault().Message(1).Message().size(), 999);
}

// Processes events until pred holds or two seconds pass (waits for events, never sleeps).
template <typename Pred>
bool WaitFor(Pred pred) {
    QDeadlineTimer deadline(30000);  // a generous bound: a loaded machine is slow, a pass is quick
    while (!pred() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return pred();
}

// Reception needs the application's event loop.
void EnsureApplication() {
    static int argc = 1;
    static char name[] = "reception_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

TEST(Reception, EnvelopesFromAnotherThreadReachTheStore) {
    EnsureApplication();
    Targets t;
    t.store.SetProcessMessages(true);
    Reception reception(t.targets);
    const std::string caption = "TracewellReceptionTest" + std::to_string(::getpid());
    QString error;
    ASSERT_TRUE(reception.Listen(QString::fromStdString(caption), &error)) << error.toStdString();
    std::atomic<int> sent{0};
    std::thread sender([&] {
        using tw::messaging::SendEnvelopeTo;
        for (int i = 0; i < 50; ++i) {
            SendEnvelopeTo(caption, BuildEnvelope(i % 10 == 9 ? 5 : 0, "m" + std::to_string(i), i, "", ""));
            ++sent;
        }
        tw::messaging::SendRawFrameTo(caption, 3, 4, std::string("xx\0\0", 4));  // malformed
        SendEnvelopeTo(caption, BuildEnvelope(6, "F", 1, "", ""));
        tw::messaging::DisconnectThread();
        ++sent;
    });
    const bool done = WaitFor([&] { return sent == 51; });
    // A sender still blocked on this thread would wait for ever: without a receiver it ends.
    if (!done) reception.Close();
    sender.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(t.pages.GetDefault().Count(), 46);
    EXPECT_EQ(t.scratch.size(), 5u);
    EXPECT_EQ(reception.MalformedCount(), 1u);
    EXPECT_EQ(t.pages.GetDefault().Message(46).Message(), QStringLiteral("F"));
    reception.Close();
    EXPECT_FALSE(reception.IsListening());
    // Without a receiver a send returns at once.
    EXPECT_EQ(tw::messaging::SendEnvelopeTo(caption, BuildEnvelope(0, "x", 0, "", "")),
              tw::messaging::SendResult::NoReceiver);
}

// A breakpoint pauses reception right after the message that hit was stored: its sender
// waits (past its own time limit), so does a second sender behind it, and the window's event
// loop runs on. Continue lets both go in order; Step pauses at the next message; closing lets
// a held sender go.
TEST(Reception, BreakpointHoldsSendersUntilContinueStepAndClose) {
    EnsureApplication();
    Targets t;
    t.store.SetProcessMessages(true);
    t.targets.keeping = [&] { return t.store.ProcessMessages(); };
    Reception reception(t.targets);
    Breakpoints breakpoints;
    breakpoints.Add(*Breakpoints::Make(BreakpointKind::Watch, "Total", "<", "0"));
    reception.SetBreakpoints(&breakpoints);
    QString reason;
    int pauses = 0;
    QObject::connect(&reception, &Reception::paused, [&](const MessageRef&, const QString& why) {
        reason = why;
        ++pauses;
    });
    const std::string caption = "TracewellPauseTest" + std::to_string(::getpid());
    ASSERT_TRUE(reception.Listen(QString::fromStdString(caption)));
    using tw::messaging::SendEnvelopeWithin;
    using tw::messaging::SendResult;
    std::atomic<int> first{-1}, second{-1};
    auto send = [&](std::atomic<int>& result, std::string envelope) {
        return std::thread([&result, caption, envelope] {
            result = int(SendEnvelopeWithin(caption, envelope, 100));
            tw::messaging::DisconnectThread();
        });
    };
    std::thread a = send(first, BuildEnvelope(4, "", 123, "Total", "-12.50"));
    ASSERT_TRUE(WaitFor([&] { return reception.IsPaused(); }));
    EXPECT_EQ(reason, QStringLiteral("watch Total < 0 caught -12.50"));
    std::thread b = send(second, BuildEnvelope(0, "after", 124, "", ""));
    QDeadlineTimer spell(500);
    while (!spell.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(first.load(), -1);
    EXPECT_EQ(second.load(), -1);
    EXPECT_EQ(t.pages.GetDefault().Count(), 1);

    breakpoints.PauseOnNextCall();  // Step
    reception.Continue();
    a.join();
    EXPECT_EQ(first.load(), int(SendResult::Delivered));
    ASSERT_TRUE(WaitFor([&] { return pauses == 2; }));
    EXPECT_EQ(reason, QStringLiteral("next call"));
    EXPECT_EQ(t.pages.GetDefault().Count(), 2);
    EXPECT_EQ(t.pages.GetDefault().Message(2).Message(), QStringLiteral("after"));
    EXPECT_EQ(second.load(), -1);
    reception.Close();
    b.join();
    EXPECT_EQ(second.load(), int(SendResult::ReceiverLost));
    EXPECT_FALSE(reception.IsPaused());
}

}  // namespace
}  // namespace tw::viewer
