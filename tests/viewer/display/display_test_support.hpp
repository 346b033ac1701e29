#pragma once
// Helpers of the display tests: one application, a message-box recorder, a trace builder and
// a driver for modal dialogs.

#include "tw/common/common.hpp"
#include "tw/core/message_sink.hpp"
#include "tw/core/trace_tree.hpp"

#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

namespace tw::viewer::test {

// Creates the one QApplication of the test program (named "Tracewell", so box captions read
// as in the program).
void EnsureApp();

// Records message boxes instead of showing them; installed for its lifetime.
class BoxRecorder : public MessageBoxService {
public:
    struct Box {
        QString prompt;
        QString caption;
        BoxIcon icon;
    };
    BoxRecorder();
    ~BoxRecorder() override;
    void Show(const QString& prompt, const QString& caption, BoxIcon icon) override;
    std::vector<Box> boxes;
};

// Appends a top-level line (parent 0) or a child line with a fixed time stamp 09:05:042.
int AddLine(TraceTree& tree, qint32 type, qint32 record, const QString& text, int parent = 0);

// Runs step with the modal dialog as soon as one is shown (step closes it, or the next
// DriveModal call in the chain does). Returns at once; the step runs inside the dialog's loop.
void DriveModal(std::function<void(QWidget* modal)> step);
// Counts modal dialogs that come up and closes each at once (for "no dialog is shown").
class ModalWatch {
public:
    ModalWatch();
    ~ModalWatch();
    int shown = 0;

private:
    QObject* m_timer;
};

// Clicks the button named "btnCmd" with the given index property inside dialog.
void ClickButton(QWidget* dialog, int index);

}  // namespace tw::viewer::test
