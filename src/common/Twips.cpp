#include "common/Twips.h"

#include "common/Rounding.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace clip {

namespace {

const QScreen* ScreenOf(const QWidget* widget)
{
    if (widget && widget->screen())
        return widget->screen();
    return QGuiApplication::primaryScreen();
}

double Factor(double dpi)
{
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

int ToPixels(double twips, double twipsPerPixel)
{
    return RoundToInt32(twips / twipsPerPixel).value_or(0);
}

}  // namespace

double TwipsPerPixelX(const QWidget* widget)
{
    const QScreen* screen = ScreenOf(widget);
    return Factor(screen ? screen->logicalDotsPerInchX() : 96.0);
}

double TwipsPerPixelY(const QWidget* widget)
{
    const QScreen* screen = ScreenOf(widget);
    return Factor(screen ? screen->logicalDotsPerInchY() : 96.0);
}

int TwipsToPixelsX(double twips, const QWidget* widget)
{
    return ToPixels(twips, TwipsPerPixelX(widget));
}

int TwipsToPixelsY(double twips, const QWidget* widget)
{
    return ToPixels(twips, TwipsPerPixelY(widget));
}

}  // namespace clip
