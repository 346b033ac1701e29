#include "tw/window/printing.hpp"

#include "tw/common/common.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/core/trace_tree.hpp"
#include "tw/display/viewer.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/menu_items.hpp"
#include "tw/window/recent_files.hpp"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

namespace tw::window {
namespace {

constexpr qreal kPrintPointSize = 10;
constexpr double kMarginMillimetres = 15;

PrinterSource& Source() {
    static PrinterSource source;
    return source;
}

PdfFileAsker& PdfAsker() {
    static PdfFileAsker asker;
    return asker;
}

// The printer the commands start from: the default one (or the tests'), else none.
std::unique_ptr<QPrinter> ChosenPrinter() {
    return Source() ? Source()() : DefaultPrinter();
}

// Runs a printing step; a failure shows the one error box Print shows.
template <typename Step>
bool Guarded(Step&& step) {
    try {
        step();
        return true;
    } catch (const AppError& error) {
        ShowErrors(QString::fromLatin1(kCaption), nullptr, error.info());
    } catch (const std::exception& error) {
        ShowErrors(QString::fromLatin1(kCaption), nullptr, ErrorInfo{kPrinterError, QString::fromLocal8Bit(error.what())});
    }
    return false;
}

// The new printing commands say so when there is nothing to print, where Print stays silent.
bool HasLines(FrmMain& form) {
    if (!form.Viewer().GetCurrent().IsEmpty()) return true;
    messageBoxes().Show(QStringLiteral("This page has no lines to print."), QString::fromLatin1(kCaption),
                        BoxIcon::Information);
    return false;
}

[[noreturn]] void Fail(QPrinter& printer, const QString& what) {
    printer.abort();
    throw AppError(kPrinterError, QStringLiteral("Printer error: ") + what);
}

// The hourglass for as long as the object lives.
class WaitPointer {
public:
    WaitPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitPointer() { QApplication::restoreOverrideCursor(); }
    WaitPointer(const WaitPointer&) = delete;
    WaitPointer& operator=(const WaitPointer&) = delete;
};

}  // namespace

void SetPrinterSource(PrinterSource source) {
    Source() = std::move(source);
}

std::unique_ptr<QPrinter> DefaultPrinter() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return nullptr;
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

std::vector<QString> WrapPrintLine(const QString& text, qsizetype indent, qsizetype columns) {
    std::vector<QString> rows;
    if (columns < 1) columns = 1;
    // A continuation indent that leaves less than half the width would make ribbons.
    if (indent > columns / 2) indent = columns / 2;
    if (indent < 0) indent = 0;
    qsizetype from = 0;
    qsizetype room = columns;  // the first row starts at the margin
    while (text.size() - from > room) {
        // Break after the last blank that fits, unless that leaves the row (nearly) empty;
        // a run without blanks (a check point's hyphens) is cut where the row ends.
        qsizetype cut = from + room;
        for (qsizetype i = from + room; i > from + room / 2; --i) {
            if (text[i - 1] == u' ') {
                cut = i;
                break;
            }
        }
        rows.push_back(rows.empty() ? text.mid(from, cut - from)
                                    : QString(indent, u' ') + text.mid(from, cut - from));
        from = cut;
        room = columns - indent;
    }
    rows.push_back(rows.empty() ? text.mid(from) : QString(indent, u' ') + text.mid(from));
    return rows;
}

void PrintLines(const viewer::TraceTree& tree, QPrinter& printer) {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPointSizeF(kPrintPointSize);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setCopyCount(1);
    printer.setFullPage(false);
    // The margins a printed page usually has, never less than the printer can print.
    QMarginsF margins(kMarginMillimetres, kMarginMillimetres, kMarginMillimetres, kMarginMillimetres);
    const QMarginsF least = printer.pageLayout().minimumMargins();
    const double mm = 25.4 / 72.0;  // minimumMargins() is in points
    margins.setLeft(std::max(margins.left(), least.left() * mm));
    margins.setTop(std::max(margins.top(), least.top() * mm));
    margins.setRight(std::max(margins.right(), least.right() * mm));
    margins.setBottom(std::max(margins.bottom(), least.bottom() * mm));
    printer.setPageMargins(margins, QPageLayout::Millimeter);
    if (printer.docName().isEmpty()) printer.setDocName(QString::fromLatin1(kCaption));

    QPainter painter;
    if (!painter.begin(&printer)) Fail(printer, QStringLiteral("the printer cannot start printing."));
    painter.setFont(font);
    const QFontMetrics metrics(painter.font(), &printer);
    const int pageHeight = painter.viewport().height();
    const int lineHeight = metrics.lineSpacing();
    const int charWidth = std::max(1, metrics.horizontalAdvance(QLatin1Char('M')));
    const qsizetype columns = std::max(8, painter.viewport().width() / charWidth);
    int top = 0;
    QString text;
    // A line wider than the page goes on over continuation lines, indented under its text.
    for (int i = 1; i <= tree.Count(); ++i) {
        text.resize(0);
        tree.AppendText(i, text);
        const qsizetype head = text.size() - tree.Message(i).MessageLength();
        for (const QString& row : WrapPrintLine(text, head, columns)) {
            if (top > 0 && top + lineHeight > pageHeight) {
                if (!printer.newPage()) Fail(printer, QStringLiteral("the printer cannot start a new page."));
                top = 0;
            }
            painter.drawText(0, top + metrics.ascent(), row);
            top += lineHeight;
        }
    }
    if (!painter.end()) Fail(printer, QStringLiteral("the printer cannot finish the document."));
}

void PrintCurrentViewer(viewer::TracePages& pages) {
    WaitPointer hourglass;
    try {
        const viewer::TraceTree& tree = pages.GetCurrent();
        if (tree.IsEmpty()) return;
        std::unique_ptr<QPrinter> printer = Source() ? Source()() : DefaultPrinter();
        if (!printer) throw AppError(kPrinterError, QStringLiteral("Printer error: no printer is installed."));
        PrintLines(tree, *printer);
    } catch (const AppError& error) {
        ShowErrors(QString::fromLatin1(kCaption), nullptr, error.info());
    } catch (const std::exception& error) {
        ShowErrors(QString::fromLatin1(kCaption), nullptr,
                   ErrorInfo{kPrinterError, QString::fromLocal8Bit(error.what())});
    }
}

void SetPdfFileAsker(PdfFileAsker asker) {
    PdfAsker() = std::move(asker);
}

void PreviewCurrentViewer(FrmMain& form) {
    std::unique_ptr<QPrinter> printer = ChosenPrinter();
    if (!printer) {
        // No printer: the preview's Print button writes a PDF file.
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
    }
    printer->setDocName(QString::fromLatin1(kCaption));
    QPrintPreviewDialog dialog(printer.get(), &form);
    dialog.setObjectName(QStringLiteral("dlgPrintPreview"));
    dialog.setWindowTitle(QStringLiteral("Print Preview"));
    // The page is read afresh on every paint: lines may arrive while the preview is open.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&form](QPrinter* target) {
        Guarded([&] { PrintLines(form.Viewer().GetCurrent(), *target); });
    });
    dialog.exec();
}

void PrintCurrentViewerTo(FrmMain& form) {
    if (!HasLines(form)) return;
    std::unique_ptr<QPrinter> printer = ChosenPrinter();
    if (!printer || (!Source() && QPrinterInfo::availablePrinters().isEmpty())) {
        SaveCurrentViewerAsPdf(form);
        return;
    }
    QPrintDialog dialog(printer.get(), &form);
    dialog.setObjectName(QStringLiteral("dlgPrint"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    if (dialog.exec() != QDialog::Accepted) return;
    WaitPointer hourglass;
    Guarded([&] { PrintLines(form.Viewer().GetCurrent(), *printer); });
}

bool SaveCurrentViewerAsPdf(FrmMain& form) {
    if (!HasLines(form)) return false;
    const QString name = PdfAsker() ? PdfAsker()()
                                    : AskFile(form, QStringLiteral("Save as PDF"), QFileDialog::AcceptSave,
                                              {QStringLiteral("PDF files (*.pdf)"), QStringLiteral("All files (*)")},
                                              QStringLiteral("pdf"));
    if (name.isEmpty()) return false;
    WaitPointer hourglass;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(name);
    printer.setDocName(QString::fromLatin1(kCaption));
    return Guarded([&] {
        try {
            PrintLines(form.Viewer().GetCurrent(), printer);
        } catch (const AppError&) {
            throw AppError(kPrinterError, QStringLiteral("Printer error: cannot write the file %1.").arg(name));
        }
    });
}

void ConnectPrintCommands(FrmMain& form) {
    Commands& c = form.commands();
    QMenu* file = form.Menu(QStringLiteral("mnuFile"));
    // Each goes after the one before it, so they read Print, Print Preview, Print To, Save as PDF.
    const struct {
        const char* name;
        const char* caption;
        QKeySequence shortcut;
    } items[] = {
        {"mnuFilePrintPreview", "Print Pre&view...", {}},
        {"mnuFilePrintTo", "Print &To...", QKeySequence(QStringLiteral("Ctrl+Shift+P"))},
        {"mnuFileSavePdf", "Save as P&DF...", {}},
    };
    QString after = QStringLiteral("mnuFilePrint");
    for (const auto& item : items) {
        QAction* action = c.Add(QString::fromLatin1(item.name), QString::fromLatin1(item.caption), item.shortcut);
        InsertMenuItemAfter(file, after, action);
        after = QString::fromLatin1(item.name);
    }
    c.On(QStringLiteral("mnuFilePrintPreview"), [&form] { PreviewCurrentViewer(form); });
    c.On(QStringLiteral("mnuFilePrintTo"), [&form] { PrintCurrentViewerTo(form); });
    c.On(QStringLiteral("mnuFileSavePdf"), [&form] { SaveCurrentViewerAsPdf(form); });
}

}  // namespace tw::window
