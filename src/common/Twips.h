#pragma once

class QWidget;

namespace clip {

// Window geometry is designed in twips (1/1440 inch). One pixel is
// 1440 / the screen's logical DPI twips: 15 at 96 DPI. The screen is the
// widget's screen when a widget is given, else the primary screen; without
// any screen 96 DPI is assumed.
double TwipsPerPixelX(const QWidget* widget = nullptr);
double TwipsPerPixelY(const QWidget* widget = nullptr);

// Twips to whole pixels, rounding halves to even.
int TwipsToPixelsX(double twips, const QWidget* widget = nullptr);
int TwipsToPixelsY(double twips, const QWidget* widget = nullptr);

}  // namespace clip
