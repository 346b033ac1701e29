// tracetap processes sending to a running main window, and to the tracewell32 program.

#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>

#ifndef _WIN32
#include <csignal>
#include <sys/types.h>
#endif

#include "tw/core/reception.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/messaging/transport.hpp"
#include "tw/panes/scratch_manager.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/status_panels.hpp"

namespace tw::window {
namespace {

QString BinDir() {
    return qEnvironmentVariable("TW_BIN_DIR", QCoreApplication::applicationDirPath());
}

// Runs tracetap with the calls as arguments while this thread keeps serving the window, and
// returns its exit status (-1 when it did not finish within a minute).
int RunTracetap(const QStringList& calls, const QStringList& options = {}) {
    QProcess tap;
    tap.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QEventLoop loop;
    QObject::connect(&tap, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&tap, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    tap.start(BinDir() + "/tracetap", options + calls);
    if (!tap.waitForStarted(10000)) return -1;
    loop.exec();
    if (tap.state() != QProcess::NotRunning || tap.exitStatus() != QProcess::NormalExit) {
        tap.kill();
        tap.waitForFinished();
        return -1;
    }
    return tap.exitCode();
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<FrmMain>();
        ASSERT_NE(form->Reception(), nullptr);
        ASSERT_TRUE(form->Reception()->IsListening());
    }
    viewer::TraceTree& Trace() { return form->Viewer().GetDefault(); }
    std::unique_ptr<FrmMain> form;
};

TEST_F(EndToEndTest, TracetapFillsTraceAndScratchListOfTheRunningWindow) {
    ASSERT_EQ(RunTracetap({"DebugSendMsgEx('first', 1)", "DebugEnterFormula('@Total', 2)",
                           "DebugSendObject('Amount', '12.50', 2)", "DebugSendScratch('running', 7)",
                           "DebugExitFormula()", "DebugAddCheckPoint()"},
                          {"--require-receiver"}),
              0);
    ASSERT_EQ(Trace().Count(), 5);
    EXPECT_TRUE(Trace().Text(1).startsWith("00001  "));
    EXPECT_TRUE(Trace().Text(1).endsWith("  first"));
    EXPECT_EQ(Trace().Parent(3), 2);  // the object hangs under the formula entry
    EXPECT_EQ(Trace().Message(3).ObjectName(), "Amount");
    EXPECT_EQ(Trace().Message(3).ObjectValue(), "12.50");
    EXPECT_EQ(Trace().Parent(4), 0);  // the exit goes back to the top level
    EXPECT_EQ(Trace().Message(5).MessageType(), 14);
    EXPECT_EQ(form->statusPanels().Text(1), "5 Messages.");
    ASSERT_EQ(form->ScratchManager().Count(), 1);
    EXPECT_EQ(form->ScratchManager().Key(0), "A7");
    EXPECT_EQ(form->ScratchManager().Text(0), "running");
}

TEST_F(EndToEndTest, WhileStoppedOnlyScratchLinesArrive) {
    form->commands().Run("mnuEditStop");
    ASSERT_EQ(RunTracetap({"DebugSendMsg('dropped')", "DebugSendScratch('still here', -3)"}, {"--require-receiver"}),
              0);
    EXPECT_EQ(Trace().Count(), 0);
    EXPECT_EQ(form->statusPanels().Text(1), "");
    ASSERT_EQ(form->ScratchManager().Count(), 1);
    EXPECT_EQ(form->ScratchManager().Key(0), "A-3");
    form->commands().Run("mnuEditStart");
    ASSERT_EQ(RunTracetap({"DebugSendNote('kept')"}), 0);
    EXPECT_EQ(Trace().Count(), 1);
}

TEST_F(EndToEndTest, MalformedEnvelopeIsDroppedAndReceptionGoesOn) {
    messaging::SendResult result = messaging::SendResult::NoReceiver;
    std::thread sender([&result] {
        result = messaging::SendEnvelopeTo("Tracewell", "not an envelope");
        messaging::DisconnectThread();
    });
    EXPECT_TRUE(QTest::qWaitFor([this] { return form->Reception()->MalformedCount() == 1; }, 10000));
    sender.join();
    EXPECT_EQ(result, messaging::SendResult::Delivered);
    EXPECT_EQ(Trace().Count(), 0);
    ASSERT_EQ(RunTracetap({"DebugSendMsg('after')"}), 0);
    EXPECT_EQ(Trace().Count(), 1);
    EXPECT_EQ(form->windowTitle(), "Tracewell");
}

TEST_F(EndToEndTest, ExitStopsListening) {
    form->commands().Run("mnuFileExit");
    EXPECT_EQ(form->Reception(), nullptr);
    EXPECT_EQ(RunTracetap({"DebugSendMsg('nobody')"}, {"--require-receiver"}), 3);
}

// The program itself: started as a process, it listens under its caption and takes a call.
TEST(Tracewell32Program, StartsListeningAndReceives) {
    const QString dir = qEnvironmentVariable("TRACEWELL_SOCKET_DIR");
    QProcess viewer;
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(BinDir() + "/tracewell32", {});
    ASSERT_TRUE(viewer.waitForStarted(10000));
    const QString prefix = QString("tracewell.%1.").arg(viewer.processId());
    const bool listening = QTest::qWaitFor(
        [&] { return !QDir(dir).entryList({prefix + "*"}, QDir::System | QDir::Files).isEmpty(); }, 20000);
    EXPECT_TRUE(listening);
    if (listening) {
        QProcess tap;
        tap.start(BinDir() + "/tracetap", {"--require-receiver", "DebugSendMsgEx('hello', 42)"});
        EXPECT_TRUE(tap.waitForFinished(30000));
        EXPECT_EQ(tap.exitCode(), 0);
    }
    viewer.terminate();
    if (!viewer.waitForFinished(10000)) viewer.kill();
}

#ifndef _WIN32
// Ended with SIGTERM or SIGINT, the program closes as Exit does: its socket goes with it.
TEST(Tracewell32Program, TerminationSignalsRemoveTheSocket) {
    const QString dir = qEnvironmentVariable("TRACEWELL_SOCKET_DIR");
    for (const int signal : {SIGTERM, SIGINT}) {
        QProcess viewer;
        viewer.setProcessChannelMode(QProcess::ForwardedChannels);
        viewer.start(BinDir() + "/tracewell32", {});
        ASSERT_TRUE(viewer.waitForStarted(10000));
        const QString prefix = QString("tracewell.%1.").arg(viewer.processId());
        auto sockets = [&] { return QDir(dir).entryList({prefix + "*"}, QDir::System | QDir::Files); };
        ASSERT_TRUE(QTest::qWaitFor([&] { return !sockets().isEmpty(); }, 20000)) << signal;
        ::kill(pid_t(viewer.processId()), signal);
        EXPECT_TRUE(viewer.waitForFinished(10000)) << signal;
        EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(viewer.exitCode(), 0) << signal;
        EXPECT_TRUE(sockets().isEmpty()) << signal << ": " << sockets().join(' ').toStdString();
        if (viewer.state() != QProcess::NotRunning) {
            viewer.kill();
            viewer.waitForFinished();
        }
    }
}
#endif

}  // namespace
}  // namespace tw::window
