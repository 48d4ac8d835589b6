#pragma once

// An axis-aligned rectangle: (mX, mY) is the corner with the smaller coordinates.
template <typename T>
class Rect
{
public:
    Rect()
        : mX()
        , mY()
        , mWidth()
        , mHeight()
    {
    }

    Rect(T x, T y, T width, T height)
        : mX(x)
        , mY(y)
        , mWidth(width)
        , mHeight(height)
    {
    }

    virtual ~Rect() = default;

    Rect(const Rect&) = default;
    Rect& operator=(const Rect&) = default;

    T mX;
    T mY;
    T mWidth;
    T mHeight;
};
