#ifndef _RECT_H
#define _RECT_H

#include <Point.h>

#include <math.h>

// Four floats. The width is right - left, one less than the width in pixels of
// the rectangle with whole-number edges: BRect(0, 0, 31, 31) is 32 x 32 pixels.
class BRect
{
public:
    float left;
    float top;
    float right;
    float bottom;

    BRect() : left(0), top(0), right(-1), bottom(-1) {}
    BRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}
    BRect(BPoint leftTop, BPoint rightBottom)
        : left(leftTop.x), top(leftTop.y), right(rightBottom.x), bottom(rightBottom.y)
    {
    }

    void Set(float l, float t, float r, float b)
    {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    void PrintToStream() const;

    BPoint LeftTop() const { return BPoint(left, top); }
    BPoint RightBottom() const { return BPoint(right, bottom); }
    BPoint LeftBottom() const { return BPoint(left, bottom); }
    BPoint RightTop() const { return BPoint(right, top); }
    void SetLeftTop(BPoint p)
    {
        left = p.x;
        top = p.y;
    }
    void SetRightBottom(BPoint p)
    {
        right = p.x;
        bottom = p.y;
    }

    BRect& InsetBy(float dx, float dy)
    {
        left += dx;
        right -= dx;
        top += dy;
        bottom -= dy;
        return *this;
    }
    BRect& InsetBy(BPoint p) { return InsetBy(p.x, p.y); }
    BRect& OffsetBy(float dx, float dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    BRect& OffsetBy(BPoint p) { return OffsetBy(p.x, p.y); }
    BRect& OffsetTo(float x, float y)
    {
        right += x - left;
        bottom += y - top;
        left = x;
        top = y;
        return *this;
    }
    BRect& OffsetTo(BPoint p) { return OffsetTo(p.x, p.y); }
    BRect InsetByCopy(float dx, float dy) const { return BRect(*this).InsetBy(dx, dy); }
    BRect OffsetByCopy(float dx, float dy) const { return BRect(*this).OffsetBy(dx, dy); }
    BRect OffsetToCopy(float x, float y) const { return BRect(*this).OffsetTo(x, y); }
    BRect OffsetToCopy(BPoint p) const { return BRect(*this).OffsetTo(p); }

    bool operator==(BRect r) const
    {
        return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
    }
    bool operator!=(BRect r) const { return !(*this == r); }

    // Intersection and union.
    BRect operator&(BRect r) const
    {
        return BRect(fmaxf(left, r.left), fmaxf(top, r.top), fminf(right, r.right),
                     fminf(bottom, r.bottom));
    }
    BRect operator|(BRect r) const
    {
        return BRect(fminf(left, r.left), fminf(top, r.top), fmaxf(right, r.right),
                     fmaxf(bottom, r.bottom));
    }

    bool IsValid() const { return left <= right && top <= bottom; }
    float Width() const { return right - left; }
    int32 IntegerWidth() const { return (int32)ceilf(right - left); }
    float Height() const { return bottom - top; }
    int32 IntegerHeight() const { return (int32)ceilf(bottom - top); }

    bool Intersects(BRect r) const
    {
        return IsValid() && r.IsValid() && fmaxf(left, r.left) <= fminf(right, r.right) &&
               fmaxf(top, r.top) <= fminf(bottom, r.bottom);
    }
    bool Contains(BPoint p) const
    {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
    bool Contains(BRect r) const
    {
        return r.left >= left && r.right <= right && r.top >= top && r.bottom <= bottom;
    }
};

#endif
