#pragma once
// Breakpoints in the main window: the Debug menu (Continue F6, Step F10, Step Out Shift+F11,
// Pause on Next Call Ctrl+Break, Add Breakpoint..., Delete Breakpoint, Delete All
// Breakpoints), the "Breakpoints" page of the lower tab strip (each breakpoint with a check
// box that switches it on and off), the bar above the trace and the status field that say
// where the report is paused, and the watch dialog's "Pause the report when this watch
// catches". The list is remembered (breakpoints/list). Everything here is an addition to the
// window's menus and panes; no existing command changes, except that while the report is
// paused F6 continues it (Jump to Bookmark has F6 back when the pause ends).

#include "tw/core/breakpoints.hpp"
#include "tw/core/message_sink.hpp"

#include <QDialog>
#include <QObject>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolBar;
class QTreeWidget;
class QWidget;

namespace tw::window {

class FrmMain;

// Add Breakpoint: the kind, and the name pattern or record number it needs. Input that does
// not make a breakpoint is said in the dialog (lblProblem), which stays open; nothing is kept.
class DlgBreakpoint : public QDialog {
    Q_OBJECT
public:
    explicit DlgBreakpoint(QWidget* parent = nullptr);
    // The breakpoint after OK.
    const std::optional<viewer::Breakpoint>& BreakpointObject() const { return m_breakpoint; }

    QComboBox* cboKind() const { return m_cboKind; }
    QLineEdit* txtName() const { return m_txtName; }
    QLabel* lblProblem() const { return m_lblProblem; }
    QPushButton* btnCmd(int index) const { return m_btnCmd[index]; }

private:
    void KindChanged();
    void OnOK();

    QComboBox* m_cboKind;
    QLabel* m_lblName;
    QLineEdit* m_txtName;
    QLabel* m_lblProblem;
    QPushButton* m_btnCmd[2];
    std::optional<viewer::Breakpoint> m_breakpoint;
};

class BreakpointView : public QObject {
    Q_OBJECT
public:
    // Adds its menu, page, bar and status field to the window (object name "breakpointView")
    // and hands its breakpoints to the window's reception. The window must be loaded.
    explicit BreakpointView(FrmMain& form);
    ~BreakpointView() override;

    viewer::Breakpoints& Breakpoints() { return m_breakpoints; }
    // Adds a breakpoint to the list (and the remembered list).
    void Add(const viewer::Breakpoint& breakpoint);
    bool IsPaused() const;
    // What the bar says while paused; empty otherwise.
    QString PausedText() const;
    DlgBreakpoint& Dialog();

private:
    void OnPaused(const viewer::MessageRef& message, const QString& reason);
    void OnResumed();
    void Resume(void (viewer::Breakpoints::*step)());
    void Refill();
    void Save() const;
    void Restore();
    void SayWhenSendersGiveUp();
    void ShowStatus();

    FrmMain& m_form;
    viewer::Breakpoints m_breakpoints;
    QTreeWidget* m_list = nullptr;
    QToolBar* m_bar = nullptr;
    QLabel* m_barText = nullptr;
    QLabel* m_status = nullptr;
    QAction* m_continue = nullptr;
    QAction* m_step = nullptr;
    QAction* m_stepOut = nullptr;
    QAction* m_jump = nullptr;  // Jump to Bookmark: gives F6 up while paused
    DlgBreakpoint* m_dialog = nullptr;
    QString m_lost;  // "2 held senders left", once any did
    bool m_filling = false;
    bool m_saidGiveUp = false;
};

}  // namespace tw::window
