#pragma once

#include <QRect>

// Control places are given in twips, 1440 to the inch; pixels follow the screen's logical DPI.
int TwipsToPixels(int twips);
QRect TwipsRect(int left, int top, int width, int height);
