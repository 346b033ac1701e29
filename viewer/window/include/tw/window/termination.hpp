#pragma once
// Ending the viewer from outside: SIGTERM and SIGINT (kill, Ctrl+C in its terminal, a session
// ending) close the main window as Exit does, so reception is closed and its socket removed.
// A second such signal while the first is handled ends the program at once. Does nothing on
// Windows, where a window is closed through its own messages.

class QWidget;

namespace tw::window {

// Catches the two signals from now on; one that arrives before there is a window to close is
// kept for CloseOnTerminationSignals. Call it before reception starts.
void CatchTerminationSignals();
// Closes window when one of the signals arrives (or has arrived since CatchTerminationSignals).
void CloseOnTerminationSignals(QWidget& window);

}  // namespace tw::window
