#pragma once
// Driving modal windows (dialogs shown with exec()) from a test.

#include <QObject>

#include <functional>

class QWidget;

namespace tw::test {

// Runs act on the next modal window that opens, from inside its event loop (act closes it, or
// the next OnNextModal call in a chain does). Returns at once.
void OnNextModal(std::function<void(QWidget*)> act);

// Counts the modal dialogs that come up while it lives and closes each at once (for "no dialog
// is shown").
class ModalWatch {
public:
    ModalWatch();
    ~ModalWatch();
    ModalWatch(const ModalWatch&) = delete;
    ModalWatch& operator=(const ModalWatch&) = delete;
    int shown = 0;

private:
    QObject* m_timer;
};

// Clicks the button named "btnCmd" whose "index" property is index inside dialog.
void ClickButton(QWidget* dialog, int index);

}  // namespace tw::test
