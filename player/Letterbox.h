#pragma once

#include "Rect.h"

// The largest rectangle of the picture's shape that fits the drawable,
// centred, in GL's window coordinates (origin bottom left); the rest is bars.
class Letterbox
{
public:
    static Rect<int> Fit(int drawableWidth, int drawableHeight, int pictureWidth, int pictureHeight);
};
