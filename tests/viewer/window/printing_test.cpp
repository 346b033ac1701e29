// Printing the current trace page: printed to PDF and read back with pdftotext.

#include "tw/window/printing.hpp"

#include "tw/common/common.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/message_sink.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/display/viewer.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Readable failures for texts and lists of texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '\n' << texts.join('\n').toStdString();
}

namespace tw::window {
namespace {

using Recorder = tw::test::BoxRecorder;

using viewer::MessageSink;

// pdftotext turns the gaps between fixed-pitch columns into its own number of blanks: compare
// texts with every run of blanks as one.
QString Squeezed(QString text) {
    return text.simplified();
}

class PrintingTest : public ::testing::Test {
protected:
    void SetUp() override {
        setMessageBoxes(&boxes);
        ASSERT_TRUE(dir.isValid());
        pdf = dir.filePath("page.pdf");
        SetPrinterSource([this]() -> std::unique_ptr<QPrinter> {
            ++printersAsked;
            const QCursor* pointer = QApplication::overrideCursor();
            pointerWhilePrinting = pointer ? pointer->shape() : Qt::ArrowCursor;
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return printer;
        });
        store.SetProcessMessages(true);
    }
    void TearDown() override {
        SetPrinterSource({});
        setMessageBoxes(nullptr);
    }

    void Add(int type, int record, const QString& text) { store.Add(MessageSink::CreateEx(qint16(type), record, text)); }

    // The printed lines, as pdftotext lays them out, without trailing blanks or empty lines.
    QStringList PrintedLines() {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty()) return {"pdftotext missing"};
        QProcess run;
        run.start("pdftotext", {"-layout", pdf, "-"});
        if (!run.waitForFinished(30000)) return {"pdftotext hangs"};
        QStringList lines;
        for (QString line : QString::fromUtf8(run.readAllStandardOutput()).split('\n')) {
            line.remove('\f');
            while (line.endsWith(' ')) line.chop(1);
            if (!line.isEmpty()) lines << line;
        }
        return lines;
    }
    static QStringList Texts(const viewer::TraceTree& tree) {
        QStringList texts;
        for (int i = 1; i <= tree.Count(); ++i) texts << Squeezed(tree.Text(i));
        return texts;
    }
    int PdfPages() {
        QProcess run;
        run.start("pdfinfo", {pdf});
        run.waitForFinished(30000);
        for (const QString& line : QString::fromUtf8(run.readAllStandardOutput()).split('\n'))
            if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
        return -1;
    }

    Recorder boxes;
    QTemporaryDir dir;
    QString pdf;
    int printersAsked = 0;
    Qt::CursorShape pointerWhilePrinting = Qt::ArrowCursor;
    viewer::PlainTracePages pages;
    viewer::MessageManager store{pages};
};

TEST_F(PrintingTest, NestedPagePrintsEveryLineAtTheLeftMarginCollapsedOnesIncluded) {
    Add(0, 1, "Report started");
    Add(6, 2, "Order line total");
    Add(4, 2, "Total = 118.50");
    Add(6, 3, "Discount");
    Add(1, 3, "Discount rule 'A' applies");
    Add(7, 3, "");
    Add(7, 2, "");
    Add(2, 4, "Negative total");
    viewer::TraceTree& tree = pages.GetDefault();
    ASSERT_EQ(tree.Count(), 8);
    ASSERT_EQ(tree.Parent(5), 4);
    tree.SetExpanded(2, false);  // the formula entry and everything under it are folded away

    PrintCurrentViewer(pages);

    EXPECT_TRUE(boxes.prompts.isEmpty()) << boxes.prompts.join("|").toStdString();
    EXPECT_EQ(pointerWhilePrinting, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const QStringList printed = PrintedLines();
    // pdftotext keeps the page's left margin as a common indent; the lines themselves are flush.
    ASSERT_EQ(printed.size(), 8) << printed.join("\n").toStdString();
    const qsizetype margin = printed[0].size() - printed[0].trimmed().size();
    QStringList flush;
    for (const QString& line : printed) {
        EXPECT_EQ(line.size() - line.trimmed().size(), margin) << line.toStdString();
        flush << Squeezed(line);
    }
    EXPECT_EQ(flush, Texts(tree));
}

TEST_F(PrintingTest, FilterPagePrintsOnlyItsOwnLines) {
    Add(0, 1, "first");
    Add(2, 2, "disk full");
    Add(0, 3, "third");
    Add(2, 4, "disk gone");
    viewer::TraceTree& source = pages.GetDefault();
    viewer::TraceTree* errors = pages.Add("Errors");
    ASSERT_NE(errors, nullptr);
    errors->AppendCopy(source, 2);
    errors->AppendCopy(source, 4);

    PrintCurrentViewer(pages);

    const QStringList printed = PrintedLines();
    ASSERT_EQ(printed.size(), 2) << printed.join("\n").toStdString();
    EXPECT_EQ(Squeezed(printed[0]), Squeezed(source.Text(2)));
    EXPECT_EQ(Squeezed(printed[1]), Squeezed(source.Text(4)));
}

TEST_F(PrintingTest, EmptyPagePrintsNothingAndAsksForNoPrinter) {
    Add(0, 1, "on the default page only");
    ASSERT_NE(pages.Add("Empty"), nullptr);
    PrintCurrentViewer(pages);
    EXPECT_EQ(printersAsked, 0);
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(boxes.prompts.isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PrintingTest, LongPageGoesOnOverSeveralPagesInOrder) {
    for (int i = 1; i <= 150; ++i) Add(0, i, QString("line %1 of the long page").arg(i));
    PrintCurrentViewer(pages);
    EXPECT_GE(PdfPages(), 2);
    QStringList flush;
    for (const QString& line : PrintedLines()) flush << Squeezed(line);
    EXPECT_EQ(flush, Texts(pages.GetDefault()));
}

// Long lines (a check point's hyphens, a long message) go on over continuation lines
// indented under their text, within margins of 15 mm; nothing printed is lost.
TEST_F(PrintingTest, LongLinesWrapWithinTheMarginsAndLoseNothing) {
    const QString hyphens(79, u'-');
    QString words;
    for (int i = 1; i <= 40; ++i) words += QString("word%1 ").arg(i);
    words = words.trimmed();
    Add(14, 1, hyphens + "CheckPoint");
    Add(0, 2, words);
    Add(0, 3, "short");
    PrintCurrentViewer(pages);
    ASSERT_TRUE(boxes.prompts.isEmpty()) << boxes.prompts.join("|").toStdString();

    const QStringList printed = PrintedLines();
    ASSERT_GT(printed.size(), 4) << printed.join("\n").toStdString();
    // Every character of every line is on paper, in order.
    QString onPaper = printed.join(QString());
    QString traced;
    for (int i = 1; i <= pages.GetDefault().Count(); ++i) traced += pages.GetDefault().Text(i);
    onPaper.remove(' ');
    traced.remove(' ');
    EXPECT_EQ(onPaper, traced);
    // Continuation lines stand further in than the lines they continue.
    const qsizetype margin = printed[0].size() - printed[0].trimmed().size();
    EXPECT_GT(printed[1].size() - printed[1].trimmed().size(), margin + 10) << printed.join("\n").toStdString();
    EXPECT_TRUE(printed.last().trimmed().startsWith("00003")) << printed.join("\n").toStdString();
    // Words are not split where a blank is near.
    for (const QString& line : printed.mid(0, printed.size() - 1)) {
        if (line.contains("word")) {
            EXPECT_TRUE(QRegularExpression("word\\d+$").match(line.trimmed()).hasMatch()) << line.toStdString();
        }
    }

    // The text starts 15 mm (42.5 points) from the left edge of the paper.
    QProcess run;
    run.start("pdftotext", {"-bbox", pdf, "-"});
    ASSERT_TRUE(run.waitForFinished(30000));
    const QString boxesXml = QString::fromUtf8(run.readAllStandardOutput());
    QRegularExpression xMin("xMin=\"([0-9.]+)\"");
    double leftmost = 1e9;
    for (auto it = xMin.globalMatch(boxesXml); it.hasNext();) leftmost = std::min(leftmost, it.next().captured(1).toDouble());
    EXPECT_GE(leftmost, 42.0);
    EXPECT_LT(leftmost, 50.0);
}

TEST(PrintWrapping, PiecesJoinToTheTextAndFitTheRow) {
    const QString text = "00001  10:00:000  " + QString(100, u'-');
    const std::vector<QString> rows = WrapPrintLine(text, 18, 40);
    ASSERT_EQ(rows.size(), 5u);
    QString joined;
    for (const QString& row : rows) {
        EXPECT_LE(row.size(), 40);
        joined += row.trimmed() == row ? row : row.mid(18);
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(rows[1], QString(18, u' ') + QString(22, u'-'));
    EXPECT_EQ(WrapPrintLine("fits", 18, 40), std::vector<QString>{"fits"});
    // An indent wider than half the row is narrowed to half.
    EXPECT_EQ(WrapPrintLine(QString(30, u'x'), 25, 20)[1], QString(10, u' ') + QString(10, u'x'));
}

TEST_F(PrintingTest, NoPrinterShowsOneErrorBoxAndRestoresThePointer) {
    Add(0, 1, "something to print");
    SetPrinterSource([this]() -> std::unique_ptr<QPrinter> {
        pointerWhilePrinting = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor;
        return nullptr;
    });
    PrintCurrentViewer(pages);
    ASSERT_EQ(boxes.prompts.size(), 1);
    EXPECT_EQ(boxes.captions[0], "Tracewell");
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Warning);
    EXPECT_EQ(boxes.prompts[0], "[482 - Printer error: no printer is installed.]");
    EXPECT_EQ(pointerWhilePrinting, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// This machine has no printer set up: the real default printer path reports it.
TEST_F(PrintingTest, WithoutADefaultPrinterTheSystemPathReportsIt) {
    if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "a default printer is set up here";
    SetPrinterSource({});
    Add(0, 1, "something to print");
    PrintCurrentViewer(pages);
    ASSERT_EQ(boxes.prompts.size(), 1);
    EXPECT_TRUE(boxes.prompts[0].contains("no printer is installed"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PrintingTest, PrinterThatCannotStartShowsTheErrorAndRestoresThePointer) {
    Add(0, 1, "something to print");
    SetPrinterSource([this]() -> std::unique_ptr<QPrinter> {
        auto printer = std::make_unique<QPrinter>();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir.filePath("no/such/folder/page.pdf"));
        return printer;
    });
    PrintCurrentViewer(pages);
    ASSERT_EQ(boxes.prompts.size(), 1);
    EXPECT_TRUE(boxes.prompts[0].startsWith("[482 - Printer error:")) << boxes.prompts[0].toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// File, Print... and the toolbar's Print button print the page selected in the main window.
TEST_F(PrintingTest, MenuAndToolbarPrintTheWindowsCurrentPage) {
    FrmMain form;
    form.MessageManager().Add(MessageSink::CreateEx(0, 7, u"first line"));
    form.MessageManager().Add(MessageSink::CreateEx(2, 8, u"second line"));
    ASSERT_TRUE(form.commands().Run("mnuFilePrint"));
    EXPECT_EQ(PrintedLines().size(), 2);
    EXPECT_EQ(printersAsked, 1);

    QFile::remove(pdf);
    form.tbrToolbar_ButtonClick("Print");
    const QStringList printed = PrintedLines();
    ASSERT_EQ(printed.size(), 2);
    EXPECT_EQ(Squeezed(printed[1]), Squeezed(form.Viewer().GetDefault().Text(2)));
    EXPECT_TRUE(boxes.prompts.isEmpty());
}

// Preview, Print To... and Save as PDF... print the same layout; with no printer, Print To...
// writes a PDF; an empty page says so and asks nothing.
TEST_F(PrintingTest, PreviewPrintToAndPdfShareTheLayout) {
    FrmMain form;
    int asked = 0;
    SetPdfFileAsker([&] { return ++asked, pdf; });
    ASSERT_TRUE(form.commands().Run("mnuFilePrintTo"));
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(boxes.prompts.size(), 1);
    EXPECT_EQ(boxes.prompts[0], "This page has no lines to print.");

    form.MessageManager().Add(MessageSink::CreateEx(0, 7, u"first line"));
    form.MessageManager().Add(MessageSink::CreateEx(2, 8, u"second line"));
    SetPrinterSource([]() -> std::unique_ptr<QPrinter> { return nullptr; });  // no printer installed
    ASSERT_TRUE(form.commands().Run("mnuFilePrintTo"));
    EXPECT_EQ(asked, 1);
    QStringList printed = PrintedLines();
    ASSERT_EQ(printed.size(), 2);
    EXPECT_EQ(Squeezed(printed[1]), Squeezed(form.Viewer().GetDefault().Text(2)));

    QFile::remove(pdf);
    ASSERT_TRUE(form.commands().Run("mnuFileSavePdf"));
    EXPECT_EQ(PrintedLines(), printed);

    QString previewed;
    tw::test::OnNextModal([&](QWidget* dialog) {
        previewed = dialog->objectName();
        dialog->close();
    });
    ASSERT_TRUE(form.commands().Run("mnuFilePrintPreview"));
    EXPECT_EQ(previewed, "dlgPrintPreview");
    EXPECT_EQ(boxes.prompts.size(), 1);
    SetPdfFileAsker({});
}

}  // namespace
}  // namespace tw::window
