#pragma once
// File, Print...: the current trace page as plain text on the default printer, one printed line
// per trace line in the order of the page's lines (folded lines included), in Courier New,
// portrait, one copy, with margins of 15 mm. A line wider than the page goes on over
// continuation lines indented under its message. No dialog, no preview, no header or footer.
//
// Beside it, with the same printed layout: Print Preview... (the pages as they will come out),
// Print To... (the print dialog: a printer and its settings, or a PDF file) and Save as PDF....

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPrinter;

namespace tw::viewer {
class TracePages;
class TraceTree;
}  // namespace tw::viewer

namespace tw::window {

// Error number of printer failures, as the error box shows it.
inline constexpr int kPrinterError = 482;

// Where printing goes: a printer ready for output, or nullptr when there is none.
using PrinterSource = std::function<std::unique_ptr<QPrinter>()>;

// Replaces the default printer (tests print to PDF files); an empty source restores it.
void SetPrinterSource(PrinterSource source);
// The system's default printer (CUPS on Linux), or nullptr when none is set up.
std::unique_ptr<QPrinter> DefaultPrinter();

// The printed rows of one line of text in a fixed-pitch font with room for columns characters:
// the line itself when it fits, else pieces broken after a blank where one is near the end of
// the row (else at the row's end), every piece after the first indented by indent blanks (at
// most half the row). Joined without their indents the pieces are the text.
std::vector<QString> WrapPrintLine(const QString& text, qsizetype indent, qsizetype columns);

// Prints every line of the tree on the printer, starting a new page whenever one is full.
// Throws AppError (kPrinterError) when the printer cannot start, turn a page or finish; the job
// is then aborted.
void PrintLines(const viewer::TraceTree& tree, QPrinter& printer);

// The Print command: the hourglass, the current page of the viewer printed on the default
// printer; an empty page prints nothing. A failure shows one error box (caption "Tracewell").
// The pointer is restored in every case.
void PrintCurrentViewer(viewer::TracePages& pages);

class FrmMain;

// Where Print To... and Save as PDF... put a PDF file: asks for the file name (empty when the
// user cancels). Tests replace it; an empty asker restores the file dialog.
using PdfFileAsker = std::function<QString()>;
void SetPdfFileAsker(PdfFileAsker asker);

// Print Preview...: the current page in the preview dialog ("dlgPrintPreview"), printed on the
// default printer (a PDF file when no printer is installed) from there.
void PreviewCurrentViewer(FrmMain& form);
// Print To...: the print dialog ("dlgPrint") for the default printer; with no printer
// installed, Save as PDF... instead.
void PrintCurrentViewerTo(FrmMain& form);
// Save as PDF...: the current page as a PDF file. True when the file was written.
bool SaveCurrentViewerAsPdf(FrmMain& form);

// Adds Print Preview..., Print To... and Save as PDF... to the File menu after Print....
void ConnectPrintCommands(FrmMain& form);

}  // namespace tw::window
