#include "tw/window/log_progress.hpp"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::window {

namespace {
constexpr int kUpdateEveryMs = 100;
}  // namespace

LogLoadProgress::~LogLoadProgress() { End(); }

void LogLoadProgress::Begin(qint64 totalBytes) {
    m_total = totalBytes;
    m_cancelled = false;
    if (!m_cursorSet) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursorSet = true;
    }
    if (totalBytes >= kShowFromBytes && !m_window) {
        m_window = new QDialog(m_owner);
        m_window->setObjectName(QStringLiteral("frmLogProgress"));
        m_window->setWindowTitle(m_title);
        // Modal: while the file loads, the main window takes no commands.
        m_window->setWindowModality(Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(m_window);
        m_label = new QLabel(QStringLiteral("Loading..."), m_window);
        m_bar = new QProgressBar(m_window);
        m_bar->setObjectName(QStringLiteral("prgLoad"));
        m_bar->setRange(0, 1000);
        auto* cancel = new QPushButton(QStringLiteral("&Cancel"), m_window);
        cancel->setObjectName(QStringLiteral("btnCancel"));
        QObject::connect(cancel, &QPushButton::clicked, m_window, [this] { m_cancelled = true; });
        layout->addWidget(m_label);
        layout->addWidget(m_bar);
        layout->addWidget(cancel, 0, Qt::AlignRight);
        m_window->show();
        Repaint();
    }
    m_sinceUpdate.start();
}

bool LogLoadProgress::Step(qint64 bytesRead, qint64 lines) {
    if (m_window && m_sinceUpdate.elapsed() >= kUpdateEveryMs) {
        m_sinceUpdate.restart();
        if (m_total > 0) m_bar->setValue(int(bytesRead * 1000 / m_total));
        m_label->setText(QStringLiteral("%1 lines, %2 of %3 MB")
                             .arg(QLocale().toString(lines), QString::number(bytesRead >> 20),
                                  QString::number(m_total >> 20)));
        Repaint();
    }
    return !m_cancelled;
}

void LogLoadProgress::Repaint() {
    // Paint and let the Cancel button be pressed, but take no envelope in the middle of the
    // file: senders wait, as they would for any long command.
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
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
