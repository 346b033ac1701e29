// Copy with Subtree and File > Export: what lands on the clipboard and in the file.

#include "tw/window/export.hpp"

#include "tw/core/log.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/display/viewer.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/testing/small_disk.hpp"
#include "tw/window/frm_main.hpp"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace tw::window {
namespace {

using viewer::MessageSink;

QString ReadUtf8(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<unreadable>");
    return QString::fromUtf8(f.readAll());
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        store.SetProcessMessages(true);
    }
    void Add(int type, int record, const QString& text, const QString& name = {}, const QString& value = {}) {
        store.Add(MessageSink::CreateEx(qint16(type), record, text, name, value));
    }
    // A report run: a formula with an object and a nested formula, a subreport, a line after.
    void AddRun() {
        Add(0, 1, "Report started");
        Add(6, 2, "@Total");
        Add(4, 2, "Amount = 1,5", "Amount", "1,5");
        Add(6, 3, "@Discount");
        Add(1, 3, "said \"hi\"\r\nand more");
        Add(7, 3, "");
        Add(7, 2, "");
        Add(0, 4, "done, ok");
    }
    viewer::TraceTree& Tree() { return pages.GetDefault(); }
    QString Path(const char* name) { return dir.filePath(name); }

    QTemporaryDir dir;
    viewer::PlainTracePages pages;
    viewer::MessageManager store{pages};
};

TEST_F(ExportTest, CsvHasTheHeaderAndOneQuotedRowPerLine) {
    AddRun();
    const ExportResult r = ExportTree(Tree(), Path("run.csv"), ExportFormat::Csv);
    ASSERT_TRUE(r.ok) << r.error.description.toStdString();
    EXPECT_EQ(r.lines, 8);
    const QString csv = ReadUtf8(Path("run.csv"));
    EXPECT_EQ(r.bytes, csv.toUtf8().size());
    const QString t = viewer::StampText(Tree().StampOf(1));
    const QStringList rows = csv.split("\r\n");
    // The header, 8 rows (one of them over two lines), nothing after the last CR LF.
    ASSERT_EQ(rows.size(), 11) << csv.toStdString();
    EXPECT_EQ(rows[0], "record,type,level,time,formula path,message,object name,object value");
    EXPECT_EQ(rows[1], "1,0,0," + t + ",,Report started,,");
    EXPECT_EQ(rows[3], "2,4,1," + viewer::StampText(Tree().StampOf(3)) + ",@Total,\"Amount = 1,5\",Amount,\"1,5\"");
    // A quote is doubled and a line break kept inside the quoted field.
    EXPECT_TRUE(csv.contains(",@Total > @Discount,\"said \"\"hi\"\"\r\nand more\",,\r\n")) << csv.toStdString();
    EXPECT_TRUE(rows[9].startsWith("4,0,0,")) << rows[9].toStdString();
    EXPECT_TRUE(rows[9].endsWith(",,\"done, ok\",,")) << rows[9].toStdString();
    EXPECT_EQ(rows[10], "");
}

TEST_F(ExportTest, TextIsIndentedOneLineEachInUtf8) {
    AddRun();
    Add(0, 5, QString::fromUtf8("Zürich €"));
    const ExportResult r = ExportTree(Tree(), Path("run.txt"), ExportFormat::Text);
    ASSERT_TRUE(r.ok);
    const QStringList lines = ReadUtf8(Path("run.txt")).split("\r\n");
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines[0], Tree().Text(1));
    EXPECT_EQ(lines[2], "  " + Tree().Text(3));
    EXPECT_EQ(lines[4], "    " + Tree().Text(5).replace("\r\n", "  "));
    EXPECT_EQ(lines[8], Tree().Text(9));
    EXPECT_TRUE(lines[8].endsWith(QString::fromUtf8("Zürich €")));
}

TEST_F(ExportTest, ExportReplacesAFileOnlyWhenCompleteAndWritesNothingForAnEmptyPage) {
    QFile old(Path("keep.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old content");
    old.close();
    EXPECT_TRUE(ExportTree(Tree(), Path("keep.txt"), ExportFormat::Text).ok);
    EXPECT_EQ(ReadUtf8(Path("keep.txt")), "old content");  // empty page: nothing written

    AddRun();
    // Read-only: refused, the old file stays.
    ASSERT_TRUE(QFile::setPermissions(Path("keep.txt"), QFileDevice::ReadOwner));
    ExportResult r = ExportTree(Tree(), Path("keep.txt"), ExportFormat::Text);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.number, kExportErrPermission);
    EXPECT_EQ(ReadUtf8(Path("keep.txt")), "old content");

    // Cancelled from the progress window: the old file stays, no temporary file is left.
    ASSERT_TRUE(QFile::setPermissions(Path("keep.txt"), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    for (int i = 0; i < 20000; ++i) Add(0, i, "line");
    struct Stop : viewer::LogProgress {
        void Begin(qint64) override {}
        bool Step(qint64, qint64) override { return false; }
        void End() override {}
    } stop;
    r = ExportTree(Tree(), Path("keep.txt"), ExportFormat::Csv, &stop);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(ReadUtf8(Path("keep.txt")), "old content");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.txt"});

    r = ExportTree(Tree(), Path("no/such/dir/x.txt"), ExportFormat::Text);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.number, kExportErrFileAccess);
}

TEST_F(ExportTest, SubtreeTextIndentsFromTheSelectedLine) {
    AddRun();
    // Lines 2 to 6: @Total, its object, @Discount with its note, the exit of @Discount.
    EXPECT_EQ(SubtreeText(Tree(), 2), Tree().Text(2) + "\n  " + Tree().Text(3) + "\n  " + Tree().Text(4) + "\n    " +
                                          Tree().Text(5).replace("\r\n", "  ") + "\n  " + Tree().Text(6) + "\n");
    EXPECT_EQ(SubtreeText(Tree(), 8), Tree().Text(8) + "\n");
}

// The window: Copy with Subtree from the Edit menu and by its key where the trace has the
// focus; Export... from the File menu writes the chosen file in the chosen format.
TEST_F(ExportTest, WindowCommandsCopyAndExportTheCurrentPage) {
    FrmMain form;
    auto send = [&](int type, int record, const QString& text) {
        form.MessageManager().Add(MessageSink::CreateEx(qint16(type), record, text));
    };
    send(6, 1, "@F");
    send(0, 1, "inside");
    send(7, 1, "");
    viewer::TraceTree& tree = form.Viewer().GetDefault();
    QMenu* file = form.Menu("mnuFile");
    ASSERT_NE(file, nullptr);
    const QList<QAction*> items = file->actions();
    ASSERT_GE(items.size(), 5);
    EXPECT_EQ(items[2]->objectName(), "mnuFileSave");
    EXPECT_EQ(items[4]->objectName(), "mnuFileExport");
    EXPECT_EQ(items[4]->text(), "E&xport...");

    QApplication::clipboard()->clear();
    ASSERT_TRUE(form.commands().Run("mnuEditCopySubtree"));  // nothing selected: nothing copied
    EXPECT_EQ(QApplication::clipboard()->text(), "");
    tree.Select(1);
    ASSERT_TRUE(form.commands().Run("mnuEditCopySubtree"));
    EXPECT_EQ(QApplication::clipboard()->text(), tree.Text(1) + "\n  " + tree.Text(2) + "\n");

    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QApplication::clipboard()->clear();
    tree.Select(2);
    form.Viewer().View(0)->setFocus();
    QTest::keyClick(form.Viewer().View(0), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), tree.Text(2) + "\n");
    QTest::keyClick(form.Viewer().View(0), Qt::Key_C, Qt::ControlModifier);  // Ctrl+C: the line, as ever
    EXPECT_EQ(QApplication::clipboard()->text(), tree.Text(2));

    const QString target = Path("window.csv");
    QTimer::singleShot(0, [&] {
        auto* dialog = form.findChild<QFileDialog*>("dlgExport");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Export");
        dialog->selectNameFilter("CSV (*.csv)");
        dialog->selectFile(target);
        static_cast<QDialog*>(dialog)->accept();
    });
    ASSERT_TRUE(form.commands().Run("mnuFileExport"));
    const QStringList rows = ReadUtf8(target).split("\r\n");
    ASSERT_EQ(rows.size(), 5);
    EXPECT_TRUE(rows[2].startsWith("1,0,1,")) << rows[2].toStdString();
    EXPECT_TRUE(rows[2].endsWith(",@F,inside,,")) << rows[2].toStdString();
}

// Exporting onto a full disk (a small tmpfs in a mount namespace of this thread; skipped
// without the right to mount) names the cause, and the old file stays.
TEST_F(ExportTest, AFullDiskNamesTheCause) {
    for (int i = 0; i < 20000; ++i) Add(0, i, QStringLiteral("message %1 ").arg(i).repeated(8));
    const QString folder = Path("small");
    ASSERT_TRUE(QDir().mkpath(folder));
    tw::test::SmallDisk disk(QFile::encodeName(folder).toStdString());
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small file system here: " << disk.Why();
    const QString target = folder + "/trace.txt";
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old\n");
    }
    const ExportResult r = ExportTree(Tree(), target, ExportFormat::Text);
    const QString left = ReadUtf8(target);
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    disk.Unmount();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.description, "Cannot write the file " + target + ": No space left on device");
    EXPECT_EQ(left, "old\n");
    EXPECT_EQ(entries, QStringList{"trace.txt"});
}

}  // namespace
}  // namespace tw::window
