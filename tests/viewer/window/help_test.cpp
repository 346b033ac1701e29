// Help: the compiled help file beside the program, and how F1 and Contents... open it.

#include "tw/window/help.hpp"

#include "tw/common/common.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/startup.hpp"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QShortcut>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace tw::window {
namespace {

using Recorder = tw::test::BoxRecorder;

class HelpTest : public ::testing::Test {
protected:
    void SetUp() override {
        setMessageBoxes(&recorder);
        ASSERT_TRUE(dir.isValid());
        helpFile = dir.filePath("tracewell3.chm");
        QFile file(helpFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("ITSF");
        SetHelpFile(helpFile);
    }
    void TearDown() override {
        setMessageBoxes(nullptr);
        SetHelpOpener({});
        SetHelpFile({});
    }
    Recorder recorder;
    QTemporaryDir dir;
    QString helpFile;
};

TEST_F(HelpTest, ContentsAndF1OpenTheHelpFileWithoutAnyBox) {
    QStringList opened;
    SetHelpOpener([&](const QString& file) {
        opened << file;
        return true;
    });
    FrmMain form;
    ASSERT_TRUE(form.commands().Run("mnuHelpContents"));
    auto* f1 = form.findChild<QShortcut*>("shortcutHelp");
    ASSERT_NE(f1, nullptr);
    EXPECT_EQ(f1->key(), QKeySequence(Qt::Key_F1));
    emit f1->activated();
    EXPECT_EQ(opened, QStringList({helpFile, helpFile}));
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(HelpTest, NothingToOpenChmFilesGivesAClearMessage) {
    SetHelpOpener([](const QString&) { return false; });
    ShowHelp();
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].caption, "Tracewell");
    EXPECT_EQ(recorder.boxes[0].icon, BoxIcon::Information);
    EXPECT_TRUE(recorder.boxes[0].prompt.contains("No program on this computer opens help files (.chm)"));
    EXPECT_TRUE(recorder.boxes[0].prompt.contains(helpFile));
}

TEST_F(HelpTest, MissingHelpFileIsReportedNotOpened) {
    bool called = false;
    SetHelpOpener([&](const QString&) { return called = true; });
    QFile::remove(helpFile);
    ShowHelp();
    EXPECT_FALSE(called);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_TRUE(recorder.boxes[0].prompt.contains("is missing"));
}

// The build compiles the help pages into the program's folder (when chmcmd is installed).
TEST(HelpFile, BuiltBesideTheProgram) {
    const QString bin = qEnvironmentVariable("TW_BIN_DIR");
    if (bin.isEmpty()) GTEST_SKIP() << "TW_BIN_DIR not set";
    QFile chm(QDir(bin).filePath("tracewell3.chm"));
    if (!chm.exists()) GTEST_SKIP() << "help file not built (chmcmd missing)";
    ASSERT_TRUE(chm.open(QIODevice::ReadOnly));
    const QByteArray data = chm.readAll();
    EXPECT_TRUE(data.startsWith("ITSF"));
    for (const char* page : {"/index.html", "/trace.html", "/browsing.html", "/find.html", "/bookmark.html",
                             "/filters.html", "/watches.html", "/autos.html", "/scratch.html", "/logfiles.html",
                             "/functions.html"})
        EXPECT_TRUE(data.contains(page)) << page;
}

}  // namespace
}  // namespace tw::window
