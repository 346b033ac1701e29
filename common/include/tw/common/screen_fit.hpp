// Top-level windows that fit the screen they open on, whatever its size and resolution.
#pragma once

class QWidget;

namespace tw {

// Sizes a top-level window to `share` of the available area of its screen (0: keeps its size;
// never smaller than its size now where the screen has room), shrinks it to the available area
// when it is larger, and centres it there.
void FitOnScreen(QWidget& window, double share = 0);

// Keeps a window, placed from remembered geometry, inside the available area of its screen:
// shrunk to fit, moved back where it lies partly outside.
void KeepOnScreen(QWidget& window);

}  // namespace tw
