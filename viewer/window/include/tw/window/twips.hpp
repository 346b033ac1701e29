#pragma once
// Window geometry is designed in twips (1/1440 inch); these convert to and from device pixels
// at the screen's logical resolution.

class QWidget;

namespace tw::window {

// Pixels for a horizontal length in twips on the widget's screen (96 dpi when none).
int TwipsToPixelsX(double twips, const QWidget* widget = nullptr);
// Pixels for a vertical length in twips.
int TwipsToPixelsY(double twips, const QWidget* widget = nullptr);
// Twips for a horizontal length in pixels.
double PixelsToTwipsX(int pixels, const QWidget* widget = nullptr);
// Twips for a vertical length in pixels.
double PixelsToTwipsY(int pixels, const QWidget* widget = nullptr);

}  // namespace tw::window
