#pragma once
// What the main window shows while a log file loads: the hourglass, and for a load that lasts
// more than half a second a small modal progress window with a Cancel button.

#include "tw/core/log.hpp"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace tw::window {

class LogLoadProgress : public viewer::LogProgress {
public:
    // A load that lasts longer than this shows the progress window, whatever the file's size.
    static constexpr int kShowAfterMs = 500;
    // The window is painted, and Cancel looked at, this often while the file loads.
    static constexpr int kUpdateEveryMs = 50;

    // title: the progress window's caption (Export shows the same window).
    explicit LogLoadProgress(QWidget* owner, QString title = QStringLiteral("Open Logfile"))
        : m_owner(owner), m_title(std::move(title)) {}
    ~LogLoadProgress() override;

    void Begin(qint64 totalBytes) override;
    bool Step(qint64 bytesRead, qint64 lines) override;
    void End() override;

    // The progress window while it shows (object name "frmLogProgress"), else nullptr.
    QDialog* Window() const { return m_window; }

private:
    void Show();
    void Repaint();

    QWidget* m_owner;
    QString m_title;
    QPointer<QDialog> m_window;
    QProgressBar* m_bar = nullptr;
    QLabel* m_label = nullptr;
    QElapsedTimer m_sinceBegin;
    QElapsedTimer m_sinceUpdate;
    qint64 m_total = 0;
    bool m_cursorSet = false;
    bool m_cancelled = false;
};

}  // namespace tw::window
