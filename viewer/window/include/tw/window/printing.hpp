#pragma once
// File, Print...: the current trace page as plain text on the default printer, one printed line
// per trace line in the order of the page's lines (folded lines included), in Courier New,
// portrait, one copy, with margins of 15 mm. A line wider than the page goes on over
// continuation lines indented under its message. No dialog, no preview, no header or footer.

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

}  // namespace tw::window
