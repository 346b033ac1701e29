#pragma once
// Two runs side by side (File > Compare With..., tracewell32 --compare A B): both runs lined up
// row by row, times left out, calls matched first; lines only on one side, changed lines and
// the gaps opposite them coloured; the two sides scroll together; Next and Previous Difference
// (F8, Shift+F8) with "difference k of n". An addition to the File menu; it changes nothing else.

#include "tw/core/trace_diff.hpp"
#include "tw/core/trace_tree.hpp"

#include <QWidget>

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

class QLabel;

namespace tw::viewer {
class TraceView;
}

namespace tw::window {

class FrmMain;

class CompareWindow : public QWidget {
    Q_OBJECT
  public:
    // Compares two runs given as messages; the captions name them.
    CompareWindow(const std::vector<viewer::DiffMessage>& a, const QString& captionA,
                  const std::vector<viewer::DiffMessage>& b, const QString& captionB,
                  QWidget* parent = nullptr);
    ~CompareWindow() override;

    int DifferenceCount() const { return int(m_differences.size()); }
    // 0-based; -1 before the first.
    int CurrentDifference() const { return m_current; }
    void NextDifference();
    void PreviousDifference();
    viewer::TraceTree& Side(int side) const { return *m_trees[std::size_t(side)]; }
    QString StatusText() const;

  private:
    void GoTo(int difference);

    std::unique_ptr<viewer::TraceTree> m_trees[2];
    viewer::TraceView* m_views[2] = {nullptr, nullptr};
    std::vector<int> m_differences;  // the first row of each difference
    // Changed pairs: their line and the differing part of each side's message (start, length).
    std::unordered_map<int, std::array<std::pair<int, int>, 2>> m_changedParts;
    int m_current = -1;
    QLabel* m_status = nullptr;
};

// Reads a log or capture file's messages for a comparison; false with the reason.
bool ReadRunForCompare(const QString& path, std::vector<viewer::DiffMessage>& out, QString& why);
// The messages of a page.
std::vector<viewer::DiffMessage> RunOfTree(const viewer::TraceTree& tree);
// File > Compare With...: the current page against a chosen file, in a window of its own.
void ConnectCompareCommands(FrmMain& form);
// tracewell32 --compare A B: opens the comparison once the window runs (nothing without both).
void CompareLater(FrmMain& form, const QStringList& arguments);

}  // namespace tw::window
