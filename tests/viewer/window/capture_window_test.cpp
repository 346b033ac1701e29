// Capture files through the main window: several files opened together and merged with a
// Source column, Save Capture, and Follow File until the page is cleared.

#include "tw/common/common.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/messaging/capture_line.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/live_view.hpp"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <string>

namespace tw::window {
namespace {

constexpr qint64 kT0 = 1'796'738'587'000'000;  // 2026-12-08T14:03:07Z

std::string Captured(qint64 at, quint32 process, int record, const std::string& text) {
    std::string line;
    tw::messaging::AppendCaptureLine(line, at, process, 1,
                                     tw::messaging::BuildEnvelope(0, text, record, {}, {}));
    return line;
}

void Write(const QString& path, const std::string& bytes, QIODevice::OpenMode mode = QIODevice::Truncate) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | mode));
    f.write(bytes.data(), qint64(bytes.size()));
}

class CaptureWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        tw::setMessageBoxes(&boxes);
        form = std::make_unique<FrmMain>();
    }
    void TearDown() override {
        form.reset();
        tw::setMessageBoxes(nullptr);
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    viewer::TraceTree& Trace() { return form->Viewer().GetDefault(); }
    QStringList Messages() {
        QStringList out;
        for (int i = 1; i <= Trace().Count(); ++i) out << Trace().Message(i).Message();
        return out;
    }
    QString Note() { return form->findChild<LiveView*>("liveView")->NoteText(); }
    // Runs a File command whose dialog is given the text typed as the file name(s).
    void RunWithFile(const char* command, const QString& typed) {
        test::OnNextModal([typed](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(edit, nullptr);
            edit->setText(typed);
            static_cast<QDialog*>(dialog)->accept();
        });
        ASSERT_TRUE(form->commands().Run(command)) << command;
    }

    QTemporaryDir dir;
    test::BoxRecorder boxes;
    std::unique_ptr<FrmMain> form;
};

TEST_F(CaptureWindowTest, FilesOpenedTogetherMergeByTimeWithASourceColumnAndSaveAsACapture) {
    // Two report jobs side by side, and a log without times.
    Write(Path("a.cap"), Captured(kT0, 11, 1, "a first") + Captured(kT0 + 2'000, 11, 2, "a second"));
    Write(Path("b.cap"), Captured(kT0 + 1'000, 22, 1, "b first") + Captured(kT0 + 3'000, 22, 2, "b second"));
    std::string log = tw::messaging::BuildEnvelope(0, {}, 7, {}, {});
    log.resize(499);
    Write(Path("c.log"), log + "from the log\r\n");
    RunWithFile("mnuFileOpen",
                QStringLiteral("\"%1\" \"%2\" \"%3\"").arg(Path("a.cap"), Path("b.cap"), Path("c.log")));

    EXPECT_EQ(Messages(), QStringList({"a first", "b first", "a second", "b second", "from the log"}));
    EXPECT_EQ(Trace().ReceivedAt(2), kT0 + 1'000);
    EXPECT_EQ(Trace().SourceText(1), "a.cap (11)");
    EXPECT_EQ(Trace().SourceText(2), "b.cap (22)");
    EXPECT_EQ(Trace().SourceText(5), "c.log");
    EXPECT_EQ(Note(),
              "3 files merged by send time; log files hold no times: their lines follow in file order.");
    auto* view = form->findChild<viewer::TraceView*>("tvwViewer");
    ASSERT_NE(view, nullptr);
    form->Viewer().FlushPending();
    EXPECT_TRUE(view->ShowsSourceColumn());
    EXPECT_TRUE(boxes.boxes.empty());

    // Saved as a capture and opened again: the same lines, times and processes.
    RunWithFile("mnuFileSaveCapture", Path("merged.cap"));
    form->ClearCurrentViewer();
    form->Viewer().FlushPending();
    EXPECT_FALSE(view->ShowsSourceColumn());  // an empty page has no sources
    RunWithFile("mnuFileOpen", Path("merged.cap"));
    EXPECT_EQ(Messages(), QStringList({"a first", "b first", "a second", "b second", "from the log"}));
    EXPECT_EQ(Trace().ReceivedAt(4), kT0 + 3'000);
    EXPECT_EQ(Trace().SourceText(2), "merged.cap (22)");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(CaptureWindowTest, FollowFileReadsOnAsTheFileGrowsUntilThePageIsCleared) {
    Write(Path("live.cap"), Captured(kT0, 5, 1, "already there"));
    QAction* follow = form->commands().Action("mnuFileFollowFile");
    ASSERT_NE(follow, nullptr);
    RunWithFile("mnuFileFollowFile", Path("live.cap"));
    EXPECT_TRUE(follow->isChecked());
    EXPECT_EQ(Messages(), QStringList({"already there"}));

    Write(Path("live.cap"), Captured(kT0 + 1, 5, 2, "appended"), QIODevice::Append);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Trace().Count() == 2; }, 3000));
    EXPECT_EQ(Messages().back(), "appended");

    ASSERT_TRUE(form->commands().Run("mnuEditClearViewer"));
    EXPECT_FALSE(follow->isChecked());
    EXPECT_EQ(Note(), "Stopped following live.cap: the page was cleared.");
    Write(Path("live.cap"), Captured(kT0 + 2, 5, 3, "not read"), QIODevice::Append);
    QTest::qWait(400);
    EXPECT_EQ(Trace().Count(), 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace tw::window
