#ifndef _INTERFACE_VIEW_BITMAP_H
#define _INTERFACE_VIEW_BITMAP_H

#include <Rect.h>
#include <SupportDefs.h>

#include "interface/Painter.h"

namespace BPrivate
{

// A view's background bitmap as it was when set (its bits shared with the
// bitmap until the bitmap is written to) and where it goes: `destination` is in
// the view's frame coordinates when the view had `placedIn` as its size;
// `follow` says how it moves as the view's size changes.
class ViewBitmap
{
public:
    PixelImage image;
    BRect source;
    BRect destination;
    BRect placedIn;
    uint32 follow = 0;
    uint32 options = 0;
};

} // namespace BPrivate

#endif
