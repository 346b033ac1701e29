#include "tw/window/twips.hpp"

#include <QWidget>

#include <cmath>

namespace tw::window {
namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kFallbackDpi = 96.0;

double DpiX(const QWidget* widget) {
    return widget ? widget->logicalDpiX() : kFallbackDpi;
}

double DpiY(const QWidget* widget) {
    return widget ? widget->logicalDpiY() : kFallbackDpi;
}

}  // namespace

int TwipsToPixelsX(double twips, const QWidget* widget) {
    return static_cast<int>(std::lround(twips * DpiX(widget) / kTwipsPerInch));
}

int TwipsToPixelsY(double twips, const QWidget* widget) {
    return static_cast<int>(std::lround(twips * DpiY(widget) / kTwipsPerInch));
}

double PixelsToTwipsX(int pixels, const QWidget* widget) {
    return pixels * kTwipsPerInch / DpiX(widget);
}

double PixelsToTwipsY(int pixels, const QWidget* widget) {
    return pixels * kTwipsPerInch / DpiY(widget);
}

}  // namespace tw::window
