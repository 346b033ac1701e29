#include "display_test_support.hpp"

#include "../window/qt_app.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <utility>

namespace tw::viewer::test {

void EnsureApp() {
    if (QApplication::instance()) return;
    // Remembered settings stay in a folder of the test program's own.
    static QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    static int argc = 1;
    static char name[] = "viewer_display_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own statics would outlive it at exit.
    new QApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tracewell"));
    QApplication::setQuitOnLastWindowClosed(false);
}

BoxRecorder::BoxRecorder() { setMessageBoxes(this); }
BoxRecorder::~BoxRecorder() { setMessageBoxes(nullptr); }
void BoxRecorder::Show(const QString& prompt, const QString& caption, BoxIcon icon) {
    boxes.push_back({prompt, caption, icon});
}

int AddLine(TraceTree& tree, qint32 type, qint32 record, const QString& text, int parent) {
    return tree.Append(parent, MessageSink::CreateEx(qint16(type), record, text), PackStamp(9, 5, 42));
}

void DriveModal(std::function<void(QWidget*)> step) { tw::test::OnNextModal(std::move(step)); }

ModalWatch::ModalWatch() {
    auto* timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [this] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++shown;
            dialog->reject();
        }
    });
    timer->start();
    m_timer = timer;
}

ModalWatch::~ModalWatch() { delete m_timer; }

void ClickButton(QWidget* dialog, int index) {
    for (auto* button : dialog->findChildren<QAbstractButton*>(QStringLiteral("btnCmd")))
        if (button->property("index").toInt() == index) {
            button->click();
            return;
        }
}

}  // namespace tw::viewer::test
