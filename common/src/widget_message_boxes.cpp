#include "tw/common/widget_message_boxes.hpp"

#include "tw/common/common.hpp"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>

namespace tw {
namespace {

// A word longer than this (a path, a line of \xNN escapes) may be broken anywhere, so the box
// wraps it within the screen instead of running past its edge.
constexpr qsizetype kLongestUnbrokenRun = 60;

QString Breakable(const QString& text) {
    QString out;
    out.reserve(text.size());
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestUnbrokenRun) {
            out += QChar(0x200B);  // zero-width space: a place to break, nothing shown
            run = 1;
        }
        out += c;
    }
    return out;
}

class WidgetMessageBoxes final : public MessageBoxService {
public:
    void Show(const QString& prompt, const QString& caption, BoxIcon icon) override {
        QMessageBox box(icon == BoxIcon::Warning ? QMessageBox::Warning : QMessageBox::Information, caption,
                        Breakable(prompt), QMessageBox::Ok, QApplication::activeWindow());
        // The text is shown as it is: file names and error texts may hold '<' and '&'.
        box.setTextFormat(Qt::PlainText);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    }
};

// Every other message box of the program, the file dialog's own questions included ("x
// already exists. Do you want to replace it?"), shows its text as plain text too: the boxes
// name files, and a name such as "ro<b>BOLD.log" must read as it is spelt. Set as the box is
// shown, before it takes its size.
class PlainTextBoxes final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(watched); box && box->textFormat() != Qt::PlainText)
                box->setTextFormat(Qt::PlainText);
        }
        return false;
    }
};

}  // namespace

void installWidgetMessageBoxes() {
    static WidgetMessageBoxes boxes;
    setDefaultMessageBoxes(&boxes);
    if (auto* app = QCoreApplication::instance()) {
        static QObject* filter = nullptr;
        if (!filter) {
            filter = new PlainTextBoxes(app);
            app->installEventFilter(filter);
        }
    }
}

}  // namespace tw
