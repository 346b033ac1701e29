#pragma once
// One QApplication for the whole test program (widgets need it before they are created).

namespace tw::test {

void EnsureApplication();

}  // namespace tw::test
