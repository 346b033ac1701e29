#pragma once
// Copy and export of trace lines as text for other programs:
//  - Edit, Copy with Subtree (Ctrl+Shift+C): the selected line and every line under it as
//    indented text (two blanks a level, counted from the selected line) on the clipboard;
//  - File, Export...: the current page as plain text (each line's text indented two blanks a
//    level, one line each) or as CSV (RFC 4180, a header row, one row a line), UTF-8, CR LF
//    line ends. The file is written under a temporary name and put in place when complete,
//    as Save Logfile does; long exports show the log loader's progress window.

#include "tw/common/common.hpp"

#include <QString>

namespace tw::viewer {
class LogProgress;
class TraceTree;
}  // namespace tw::viewer

namespace tw::window {

class FrmMain;

enum class ExportFormat { Text, Csv };

// Error numbers of the boxes an export shows (the same numbers as log files').
inline constexpr qint32 kExportErrFileAccess = 75;
inline constexpr qint32 kExportErrPermission = 70;
inline constexpr qint32 kExportErrDeviceIO = 57;

struct ExportResult {
    bool ok = true;
    bool cancelled = false;  // the progress window's Cancel stopped it; no file was written
    qint64 lines = 0;        // lines written
    qint64 bytes = 0;        // bytes written
    ErrorInfo error;         // when !ok
};

// The CSV header row, without its line end.
QString CsvHeader();
// Appends one line of the tree as export text (indent, line text; line breaks inside the
// message become blanks), without the line end.
void AppendExportText(const viewer::TraceTree& tree, int index, QString& out);
// Appends one CSV field, quoted when it holds a comma, a double quote, CR or LF.
void AppendCsvField(QStringView field, QString& out);
// The line and its subtree as text: the line's text, then each line under it on a line of
// its own, indented two blanks per level below the first; lines end with "\n".
QString SubtreeText(const viewer::TraceTree& tree, int index);

// Writes every line of the tree to fileName in the format. An empty tree writes nothing.
// Does not show boxes; on failure the old file is left untouched.
ExportResult ExportTree(const viewer::TraceTree& tree, const QString& fileName, ExportFormat format,
                        viewer::LogProgress* progress = nullptr);

// The File menu's Export... and the Edit menu's Copy with Subtree, added to the window's menus.
void ConnectExportCommands(FrmMain& form);

}  // namespace tw::window
