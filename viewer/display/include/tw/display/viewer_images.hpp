#pragma once
// The pictures of the trace lines (imgViewer): 14 images of 16 by 16 pixels, drawn in code.

#include <QIcon>
#include <QPixmap>

namespace tw::viewer {

inline constexpr int kViewerImageCount = 14;

// The picture at a 1-based index of the trace image list; a null icon for 0, for 1 (the
// empty picture) and for any index out of range. Needs a GUI application.
const QIcon& ViewerImage(int index);
// The same picture as a 16 by 16 pixmap with a transparent background (null for 0 or out of
// range; transparent for 1).
QPixmap ViewerPixmap(int index);

}  // namespace tw::viewer
