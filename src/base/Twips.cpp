#include "base/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

int TwipsToPixels(int twips)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

QRect TwipsRect(int left, int top, int width, int height)
{
    return { TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height) };
}
