// Help: the compiled help file beside the program, and how F1 and Contents... open it.

#include "tw/window/help.hpp"

#include "tw/common/common.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/startup.hpp"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTextBrowser>
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

TEST_F(HelpTest, TheHelpFileOpensWithoutAnyBox) {
    QStringList opened;
    SetHelpOpener([&](const QString& file) {
        opened << file;
        return true;
    });
    OpenHelpFile();
    EXPECT_EQ(opened, QStringList({helpFile}));
    EXPECT_TRUE(recorder.boxes.empty());
}

// Off Windows: Contents... and F1 show the built-in pages, F1 on the page of the focused pane.
TEST_F(HelpTest, ContentsAndF1ShowThePagesInTheHelpWindow) {
    SetHelpOpener([](const QString&) -> bool { ADD_FAILURE() << "the .chm route was taken"; return false; });
    FrmMain form;
    form.show();
    ASSERT_TRUE(form.commands().Run("mnuHelpContents"));
    auto* help = qApp->findChild<QWidget*>("frmHelp");
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "frmHelp") help = top;
    ASSERT_NE(help, nullptr);
    auto* pages = help->findChild<QTextBrowser*>("txtHelp");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->source().toString(), "qrc:/help/index.html");
    EXPECT_EQ(pages->documentTitle(), "Tracewell help");

    auto* watches = form.findChild<QWidget*>("lvwWatch");
    ASSERT_NE(watches, nullptr);
    EXPECT_EQ(HelpTopicFor(watches), "watches.html");
    EXPECT_EQ(HelpTopicFor(form.findChild<QWidget*>("tvwViewer")), "trace.html");
    EXPECT_EQ(HelpTopicFor(nullptr), "index.html");
    auto* f1 = form.findChild<QShortcut*>("shortcutHelp");
    ASSERT_NE(f1, nullptr);
    EXPECT_EQ(f1->key(), QKeySequence(Qt::Key_F1));
    QApplication::setActiveWindow(&form);
    form.findChild<QWidget*>("tvwViewer")->setFocus();
    QApplication::processEvents();
    emit f1->activated();
    EXPECT_EQ(pages->source().toString(), "qrc:/help/" + HelpTopicFor(QApplication::focusWidget()));
    pages->setSource(QUrl("qrc:/help/watches.html"));
    EXPECT_TRUE(pages->toPlainText().contains("A watch catches object values"));
    EXPECT_TRUE(recorder.boxes.empty());
    help->close();
}

TEST_F(HelpTest, NothingToOpenChmFilesGivesAClearMessage) {
    SetHelpOpener([](const QString&) { return false; });
    OpenHelpFile();
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
    OpenHelpFile();
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
