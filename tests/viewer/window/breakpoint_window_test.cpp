// Breakpoints through the main window: a tracetap process pauses at a breakpoint and waits,
// past its own send time limit, until Continue (F6); Stop Messaging lets it go; the dialog
// refuses a pattern that does not parse.

#include <QAction>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "tw/core/reception.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/breakpoint_view.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/settings.hpp"

namespace tw::window {
namespace {

// Serves the window's events until pred holds or the bound passes.
template <typename Pred>
bool ServeUntil(Pred pred, int ms = 30000) {
    QDeadlineTimer deadline(ms);
    while (!pred() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return pred();
}

class BreakpointWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings::Remove(QStringLiteral("breakpoints/list"));
        settings::Reload();
        form = std::make_unique<FrmMain>();
        view = form->findChild<BreakpointView*>(QStringLiteral("breakpointView"));
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(form->Reception()->IsListening());
    }
    void TearDown() override {
        if (tap.state() != QProcess::NotRunning) {
            tap.kill();
            tap.waitForFinished();
        }
    }
    // tracetap with a 200 ms send time limit, in the background.
    void StartTracetap(const QStringList& calls) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TRACETAP_SEND_TIMEOUT_MS"), QStringLiteral("200"));
        tap.setProcessEnvironment(env);
        tap.setProcessChannelMode(QProcess::MergedChannels);
        tap.start(QCoreApplication::applicationDirPath() + "/tracetap", QStringList{"--summary"} + calls);
        ASSERT_TRUE(tap.waitForStarted(10000));
    }
    QString Summary() { return QString::fromLocal8Bit(tap.readAll()); }
    std::unique_ptr<FrmMain> form;
    BreakpointView* view = nullptr;
    QProcess tap;
};

TEST_F(BreakpointWindowTest, SenderWaitsWhilePausedAndGoesOnAtF6) {
    view->Add(*viewer::Breakpoints::Make(viewer::BreakpointKind::Watch, "Total", "<", "0"));
    StartTracetap({"DebugEnterFormula('{@Total}', 1)", "DebugSendObject('Total', '-12.50', 123)",
                   "DebugExitFormula()", "DebugSendMsg('after')"});
    ASSERT_TRUE(ServeUntil([&] { return view->IsPaused(); }));
    EXPECT_EQ(view->PausedText(), "Paused at record 123 in {@Total}: watch Total < 0 caught -12.50");
    viewer::TraceTree& trace = form->Viewer().GetDefault();
    EXPECT_EQ(trace.Count(), 2);
    EXPECT_EQ(trace.Selected(), 2);  // the line that hit
    // Paused well past the sender's time limit: it still waits, the window stays usable.
    ServeUntil([] { return false; }, 1500);
    EXPECT_EQ(tap.state(), QProcess::Running);
    EXPECT_EQ(trace.Count(), 2);
    form->commands().Run(QStringLiteral("mnuSearchBookmark"));  // the window is usable meanwhile
    EXPECT_TRUE(form->commands().Action(QStringLiteral("mnuSearchJump"))->shortcut().isEmpty());

    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form->Viewer().View(0), Qt::Key_F6);
    ASSERT_TRUE(ServeUntil([&] { return tap.state() == QProcess::NotRunning; }));
    EXPECT_EQ(tap.exitCode(), 0);
    EXPECT_TRUE(Summary().contains("4 delivered")) << Summary().toStdString();
    EXPECT_FALSE(view->IsPaused());
    EXPECT_EQ(trace.Count(), 4);
    EXPECT_EQ(form->commands().Action(QStringLiteral("mnuSearchJump"))->shortcut(), QKeySequence(Qt::Key_F6));
}

TEST_F(BreakpointWindowTest, StepThenStopMessagingLetsTheSenderGo) {
    view->Add(*viewer::Breakpoints::Make(viewer::BreakpointKind::Error));
    StartTracetap({"DebugSendError('first')", "DebugSendMsg('second')", "DebugSendMsg('third')"});
    ASSERT_TRUE(ServeUntil([&] { return view->IsPaused(); }));
    form->commands().Run(QStringLiteral("mnuDebugStep"));
    ASSERT_TRUE(ServeUntil([&] { return form->Viewer().GetDefault().Count() == 2 && view->IsPaused(); }));
    EXPECT_TRUE(view->PausedText().endsWith(": next call"));
    form->commands().Run(QStringLiteral("mnuEditStop"));
    ASSERT_TRUE(ServeUntil([&] { return tap.state() == QProcess::NotRunning; }));
    EXPECT_TRUE(Summary().contains("3 delivered"));
    EXPECT_FALSE(view->IsPaused());
    EXPECT_EQ(form->Viewer().GetDefault().Count(), 2);  // the third came while stopped
}

TEST_F(BreakpointWindowTest, DialogRefusesAPatternThatDoesNotParseAndTheListIsRemembered) {
    DlgBreakpoint& dialog = view->Dialog();
    tw::test::OnNextModal([&](QWidget*) {
        dialog.txtName()->setText(QStringLiteral("{@Total["));
        dialog.btnCmd(0)->click();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.lblProblem()->text().contains("is not closed"));
        dialog.txtName()->setText(QStringLiteral("{@Total*}"));
        dialog.btnCmd(0)->click();
    });
    form->commands().Run(QStringLiteral("mnuDebugAddBreakpoint"));
    ASSERT_EQ(view->Breakpoints().List().size(), 1u);
    auto* list = form->findChild<QTreeWidget*>(QStringLiteral("lvwBreakpoints"));
    ASSERT_NE(list, nullptr);
    list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(view->Breakpoints().Armed());

    form.reset();
    settings::Reload();
    form = std::make_unique<FrmMain>();
    view = form->findChild<BreakpointView*>(QStringLiteral("breakpointView"));
    ASSERT_EQ(view->Breakpoints().List().size(), 1u);
    EXPECT_EQ(view->Breakpoints().List()[0].Text(), "entering {@Total*}");
    EXPECT_FALSE(view->Breakpoints().List()[0].enabled);
}

}  // namespace
}  // namespace tw::window
