#include "tw/window/printing.hpp"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include "core/trace_pages.hpp"
#include "core/trace_tree.hpp"
#include "tw/common/common.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {
namespace {

constexpr qreal kPrintPointSize = 10;

PrinterSource& Source() {
    static PrinterSource source;
    return source;
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

void PrintLines(const viewer::TraceTree& tree, QPrinter& printer) {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPointSizeF(kPrintPointSize);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setCopyCount(1);
    if (printer.docName().isEmpty()) printer.setDocName(QString::fromLatin1(kCaption));

    QPainter painter;
    if (!painter.begin(&printer)) Fail(printer, QStringLiteral("the printer cannot start printing."));
    painter.setFont(font);
    const QFontMetrics metrics(painter.font(), &printer);
    const int pageHeight = painter.viewport().height();
    const int lineHeight = metrics.lineSpacing();
    int top = 0;
    // Lines are printed as they are: no wrapping; a line wider than the page is cut at its edge.
    for (int i = 1; i <= tree.Count(); ++i) {
        if (top > 0 && top + lineHeight > pageHeight) {
            if (!printer.newPage()) Fail(printer, QStringLiteral("the printer cannot start a new page."));
            top = 0;
        }
        painter.drawText(0, top + metrics.ascent(), tree.Text(i));
        top += lineHeight;
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

}  // namespace tw::window
