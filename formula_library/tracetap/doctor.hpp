// tracetap --doctor: checks what a report's formula calls depend on here and prints one line a
// check with its verdict, and the fix where it fails.
#pragma once

#include <cstdio>

namespace tw::formula {

// Returns the exit status: 0 when a viewer is reachable and everything configured works.
int RunDoctor(FILE* out);

}  // namespace tw::formula
