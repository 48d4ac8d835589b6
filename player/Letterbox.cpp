#include "Letterbox.h"

#include <cmath>

Rect<int> Letterbox::Fit(int drawableWidth, int drawableHeight, int pictureWidth, int pictureHeight)
{
    if (drawableWidth <= 0 || drawableHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0) {
        return Rect<int>(0, 0, 0, 0);
    }
    // Compared as products, so that an exact fit has no bar of rounding.
    const long long across = static_cast<long long>(drawableWidth) * pictureHeight;
    const long long down = static_cast<long long>(drawableHeight) * pictureWidth;
    int width = drawableWidth;
    int height = drawableHeight;
    if (across > down) {
        width = static_cast<int>(std::lround(static_cast<double>(down) / pictureHeight));
    } else if (across < down) {
        height = static_cast<int>(std::lround(static_cast<double>(across) / pictureWidth));
    }
    return Rect<int>((drawableWidth - width) / 2, (drawableHeight - height) / 2, width, height);
}
