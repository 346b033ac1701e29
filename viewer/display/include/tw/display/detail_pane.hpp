#pragma once
// The detail pane: everything about one trace line in selectable text, the whole message
// wrapped.

#include <QWidget>

class QPlainTextEdit;

namespace tw::viewer {

class TraceTree;

// The text the pane shows for a line: record number, type, receipt time, level, formula path
// (the entries above the line, outermost first), then the whole message (and, for an object,
// its name and value).
QString DetailText(const TraceTree& tree, int line);

class DetailPane : public QWidget {
    Q_OBJECT
public:
    explicit DetailPane(QWidget* parent = nullptr);
    // Shows a line; line 0 (or no tree) empties the pane.
    void ShowLine(const TraceTree* tree, int line);
    QString Text() const;

private:
    QPlainTextEdit* m_text;
};

}  // namespace tw::viewer
