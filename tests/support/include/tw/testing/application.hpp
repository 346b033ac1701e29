#pragma once
// The one QApplication of a Qt test program (the test main makes it before the first test).

namespace tw::test {

// Makes the application once, named "Tracewell" so boxes read as in the programs. Windows of
// the tests listen in a socket folder of the program's own and keep their remembered settings
// in a folder of its own, away from any viewer and any settings of the user.
void EnsureApplication();

}  // namespace tw::test
