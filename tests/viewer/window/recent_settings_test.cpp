// Recent Logfiles, dropped files, command-line files, and the remembered settings.

#include "tw/common/common.hpp"
#include "tw/core/log.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/display/viewer.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/layout.hpp"
#include "tw/window/recent_files.hpp"
#include "tw/window/remembered.hpp"
#include "tw/window/settings.hpp"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& texts, std::ostream* out) { *out << texts.join('|').toStdString(); }

namespace tw::window {
namespace {

using viewer::MessageSink;

class QuietBoxes : public MessageBoxService {
public:
    void Show(const QString& prompt, const QString&, BoxIcon) override { prompts << prompt; }
    QStringList prompts;
};

class RecentSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        setMessageBoxes(&boxes);
        QFile::remove(settings::FilePath());
        settings::Reload();
    }
    void TearDown() override {
        setMessageBoxes(nullptr);
        QFile::remove(settings::FilePath());
        settings::Reload();
    }
    // A log file of n lines saved by a window.
    QString MakeLog(const char* name, int n) {
        FrmMain writer;
        for (int i = 1; i <= n; ++i)
            writer.MessageManager().Add(MessageSink::CreateEx(0, i, QString("%1 line %2").arg(name).arg(i)));
        const QString path = dir.filePath(name);
        EXPECT_TRUE(viewer::Log(writer.MessageManager()).Save(path));
        return path;
    }
    void WriteFile(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
    QuietBoxes boxes;
};

TEST_F(RecentSettingsTest, TheListKeepsTheEightNewestWithoutRepeats) {
    for (int i = 1; i <= 10; ++i) AddRecentFile(dir.filePath(QString("f%1.log").arg(i)));
    AddRecentFile(dir.filePath("f5.log"));
    AddRecentFile(dir.filePath("sub/../f5.log"));  // the same file
    const QStringList list = RecentFiles();
    ASSERT_EQ(list.size(), kRecentFileCount);
    EXPECT_EQ(list[0], dir.filePath("f5.log"));
    EXPECT_EQ(list[1], dir.filePath("f10.log"));
    EXPECT_EQ(list.last(), dir.filePath("f3.log"));
    EXPECT_EQ(list.count(dir.filePath("f5.log")), 1);
    // Remembered: a new read of the file gives the same list.
    settings::Reload();
    EXPECT_EQ(RecentFiles(), list);
    ClearRecentFiles();
    EXPECT_TRUE(RecentFiles().isEmpty());
}

TEST_F(RecentSettingsTest, MenuOpensFilesGreysMissingOnesAndTakesThemOffWhenChosen) {
    const QString a = MakeLog("a.log", 2);
    const QString b = MakeLog("b.log", 3);
    const QString gone = dir.filePath("gone.log");
    ClearRecentFiles();
    AddRecentFile(gone);
    AddRecentFile(a);
    AddRecentFile(b);

    FrmMain form;
    QMenu* recent = form.Menu("mnuFileRecent");
    ASSERT_NE(recent, nullptr);
    // In the File menu after Export...
    const QList<QAction*> fileItems = form.Menu("mnuFile")->actions();
    ASSERT_GE(fileItems.size(), 6);
    EXPECT_EQ(fileItems[5]->menu(), recent);
    EXPECT_EQ(recent->title(), "Recent &Logfiles");

    FillRecentMenu(form, *recent);
    QList<QAction*> items;
    for (QAction* action : recent->actions())
        if (action->objectName() == "mnuFileRecentItem") items << action;
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->data().toString(), b);
    EXPECT_TRUE(items[0]->text().startsWith("&1 "));
    EXPECT_FALSE(items[0]->property("missing").toBool());
    EXPECT_TRUE(items[2]->property("missing").toBool());
    EXPECT_TRUE(items[2]->isEnabled());

    items[1]->trigger();  // a.log: loaded, and now first
    EXPECT_EQ(form.Viewer().GetDefault().Count(), 2);
    EXPECT_EQ(RecentFiles().first(), a);
    items[2]->trigger();  // the missing file: only taken off the list
    EXPECT_EQ(RecentFiles(), (QStringList{a, b}));
    EXPECT_TRUE(boxes.prompts.isEmpty()) << boxes.prompts.join("|").toStdString();

    FillRecentMenu(form, *recent);
    QAction* clear = recent->findChild<QAction*>("mnuFileRecentClear");
    ASSERT_NE(clear, nullptr);
    clear->trigger();
    EXPECT_TRUE(RecentFiles().isEmpty());
}

TEST_F(RecentSettingsTest, OnlyFilesThatLoadGoOnTheList) {
    const QString log = MakeLog("good.log", 2);
    const QString binary = dir.filePath("program.bin");
    static const char kProgram[] = "\x7f" "ELF\x02\x01\x01\0\0\0garbage\n";
    WriteFile(binary, QByteArray(kProgram, sizeof kProgram - 1));
    ClearRecentFiles();
    FrmMain form;
    OpenLogfilePath(form, binary);
    OpenLogfilePath(form, dir.filePath("none.log"));
    EXPECT_TRUE(RecentFiles().isEmpty());
    EXPECT_EQ(boxes.prompts.size(), 2);
    OpenLogfilePath(form, log);
    EXPECT_EQ(RecentFiles(), QStringList{log});
}

TEST_F(RecentSettingsTest, DroppedFilesOpenAsOpenLogfileDoes) {
    const QString a = MakeLog("drop-a.log", 2);
    const QString b = MakeLog("drop-b.log", 1);
    FrmMain form;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b), QUrl("https://example.invalid/x.log")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(form.Viewer().GetDefault().Count(), 0);  // after the drop has returned
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Viewer().GetDefault().Count() == 3; }, 5000));
    EXPECT_TRUE(form.Viewer().GetDefault().Text(3).endsWith("drop-b.log line 1"));
    EXPECT_EQ(RecentFiles().first(), b);

    // Text without files is not taken.
    QMimeData text;
    text.setText("just text");
    QDragEnterEvent other(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &other);
    EXPECT_FALSE(other.isAccepted());
}

TEST_F(RecentSettingsTest, CommandLineWordsThatAreFiles) {
    EXPECT_EQ(FilesFromArguments({"tracewell32", "a.log", "-x", "b.log", "--", "-c.log", "-"}),
              (QStringList{"a.log", "b.log", "-c.log", "-"}));
    EXPECT_TRUE(FilesFromArguments({"tracewell32"}).isEmpty());
    // The file to follow is not one to open.
    const QStringList follow = {"tracewell32", "a.cap", "--follow", "live.cap", "b.cap"};
    EXPECT_EQ(FilesFromArguments(follow), (QStringList{"a.cap", "b.cap"}));
    EXPECT_EQ(FollowFromArguments(follow), "live.cap");
    EXPECT_EQ(FollowFromArguments({"tracewell32", "--follow=x.log"}), "x.log");
    EXPECT_EQ(FollowFromArguments({"tracewell32", "--", "--follow", "x.log"}), "");
}

// A check mark of the View menu and a quick filter check box, as the trace display adds them.
void AddViewChoices(FrmMain& form) {
    QMenu* view = form.Menu("mnuView");
    if (!view) view = form.menuBar()->addMenu("View");
    auto* choice = new QAction("Sample", &form);
    choice->setObjectName("mnuViewSample");
    choice->setCheckable(true);
    choice->setChecked(true);
    view->addAction(choice);
    (new QCheckBox(&form))->setObjectName("chkQuickFilterSample");
}

TEST_F(RecentSettingsTest, WindowSettingsComeBackInTheNextRun) {
    {
        FrmMain form;
        form.resize(760, 560);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.commands().Action("mnuOptionsAutos")->setChecked(false);
        form.SizeControlsH(2400);
        AddViewChoices(form);
        form.findChild<QAction*>("mnuViewSample")->setChecked(false);
        form.findChild<QCheckBox*>("chkQuickFilterSample")->setChecked(true);
        SaveWindowSettings(form);
    }
    settings::Reload();
    FrmMain next;
    EXPECT_TRUE(next.OptionChecked("mnuOptionsAutos"));  // a window made without them: defaults
    AddViewChoices(next);
    RestoreWindowSettings(next);
    EXPECT_FALSE(next.findChild<QAction*>("mnuViewSample")->isChecked());
    EXPECT_TRUE(next.findChild<QCheckBox*>("chkQuickFilterSample")->isChecked());
    next.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
    QCoreApplication::processEvents();
    EXPECT_FALSE(next.OptionChecked("mnuOptionsAutos"));
    EXPECT_TRUE(next.OptionChecked("mnuOptionsWatches"));
    EXPECT_FALSE(next.MessageManager().AutosEnabled());  // the store follows the check mark
    EXPECT_EQ(next.size(), QSize(760, 560));
    EXPECT_NEAR(next.layout().geometry().SplitterPosition(), 2400, 1);
}

TEST_F(RecentSettingsTest, ADamagedOrWrongSettingsFileBringsBackTheDefaults) {
    // Values of the wrong kind or out of range.
    WriteFile(settings::FilePath(), "[window]\ngeometry=not a geometry\nstate=@ByteArray(\\x1\\x2)\n"
                                    "splitter=-40\n[options]\nautos=maybe\nwatches=2\n[files]\nrecent=@Variant(\\0\\0)\n");
    settings::Reload();
    {
        FrmMain form;
        RestoreWindowSettings(form);
        form.show();
        QCoreApplication::processEvents();
        EXPECT_FALSE(settings::WasDamaged());
        EXPECT_TRUE(form.OptionChecked("mnuOptionsAutos"));
        EXPECT_TRUE(form.OptionChecked("mnuOptionsWatches"));
        // A first window: two thirds of the screen, on it.
        EXPECT_GE(form.width(), form.screen()->availableGeometry().width() * 2 / 3 - 10);
        EXPECT_TRUE(form.screen()->availableGeometry().contains(form.frameGeometry()));
        EXPECT_TRUE(RecentFiles().isEmpty() || RecentFiles().size() <= kRecentFileCount);
    }
    // A file that cannot be parsed (and binary garbage): put aside, defaults, a new file.
    QByteArray garbage("[window\nsplitter=2000\n");
    for (int i = 0; i < 4096; ++i) garbage += char((i * 37) % 256);
    WriteFile(settings::FilePath(), garbage);
    settings::Reload();
    FrmMain form;
    RestoreWindowSettings(form);
    EXPECT_TRUE(settings::WasDamaged());
    EXPECT_TRUE(QFile::exists(settings::FilePath() + ".damaged"));
    EXPECT_TRUE(form.OptionChecked("mnuOptionsAutos"));
    EXPECT_EQ(settings::Int("window/splitter", -1, 0, 100000), -1);
    AddRecentFile(dir.filePath("after.log"));
    settings::Reload();
    EXPECT_FALSE(settings::WasDamaged());
    EXPECT_EQ(RecentFiles(), QStringList{dir.filePath("after.log")});
    QFile::remove(settings::FilePath() + ".damaged");
}

}  // namespace
}  // namespace tw::window
