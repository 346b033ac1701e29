#pragma once
// One QApplication for the whole test program (widgets need it before they are created), and
// what the window tests share.

#include <functional>

class QWidget;

namespace tw::test {

void EnsureApplication();

// Runs act on the next modal window that opens (a dialog shown with exec()), from inside its
// event loop.
void OnNextModal(std::function<void(QWidget*)> act);

}  // namespace tw::test
