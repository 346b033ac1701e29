#pragma once
// The product picture of the splash window and the About dialog, drawn in code.

#include <QPixmap>

namespace tw::window {

// A square picture of the given side in pixels (device-independent).
QPixmap ProductPicture(int side);

}  // namespace tw::window
