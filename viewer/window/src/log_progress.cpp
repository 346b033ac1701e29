#include "tw/window/log_progress.hpp"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tw::window {

LogLoadProgress::~LogLoadProgress() { End(); }

void LogLoadProgress::Begin(qint64 totalBytes) {
    m_total = totalBytes;
    m_cancelled = false;
    if (!m_cursorSet) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursorSet = true;
    }
    m_sinceBegin.start();
    m_sinceUpdate.start();
}

void LogLoadProgress::Show() {
    m_window = new QDialog(m_owner);
    m_window->setObjectName(QStringLiteral("frmLogProgress"));
    m_window->setWindowTitle(m_title);
    // Modal: while the file loads, the main window takes no commands.
    m_window->setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(m_window);
    m_label = new QLabel(QStringLiteral("Loading..."), m_window);
    m_label->setObjectName(QStringLiteral("lblLoad"));
    m_label->setTextFormat(Qt::PlainText);
    m_bar = new QProgressBar(m_window);
    m_bar->setObjectName(QStringLiteral("prgLoad"));
    // A file of unknown size (0) shows a busy bar.
    m_bar->setRange(0, m_total > 0 ? 1000 : 0);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), m_window);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    QObject::connect(cancel, &QPushButton::clicked, m_window, [this] { m_cancelled = true; });
    // Escape and the window's close button cancel as well.
    QObject::connect(m_window, &QDialog::rejected, m_window, [this] { m_cancelled = true; });
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    m_window->show();
}

bool LogLoadProgress::Step(qint64 bytesRead, qint64 lines) {
    if (m_sinceUpdate.elapsed() < kUpdateEveryMs) return !m_cancelled;
    m_sinceUpdate.restart();
    if (!m_window && m_sinceBegin.elapsed() >= kShowAfterMs) Show();
    if (m_window) {
        if (m_total > 0) m_bar->setValue(int(std::min<qint64>(bytesRead, m_total) * 1000 / m_total));
        m_label->setText(m_total > 0 ? QStringLiteral("%1 lines, %2 of %3 MB")
                                           .arg(QLocale().toString(lines), QString::number(bytesRead >> 20),
                                                QString::number(m_total >> 20))
                                     : QStringLiteral("%1 lines, %2 MB").arg(QLocale().toString(lines),
                                                                            QString::number(bytesRead >> 20)));
    }
    Repaint();
    return !m_cancelled;
}

void LogLoadProgress::Repaint() {
    // Paint, and once the progress window shows let its Cancel button be pressed (the window
    // is modal, so the main window takes no commands); before that no input is taken at all.
    // No envelope is taken in the middle of the file: senders wait until the load ends or is
    // cancelled, as they would for any long command.
    QEventLoop::ProcessEventsFlags flags = QEventLoop::ExcludeSocketNotifiers;
    if (!m_window) flags |= QEventLoop::ExcludeUserInputEvents;
    QCoreApplication::processEvents(flags);
}

void LogLoadProgress::End() {
    if (m_window) {
        m_window->hide();
        m_window->deleteLater();
        m_window = nullptr;
    }
    if (m_cursorSet) {
        QApplication::restoreOverrideCursor();
        m_cursorSet = false;
    }
}

}  // namespace tw::window
