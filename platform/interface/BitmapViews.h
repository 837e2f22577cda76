#ifndef _INTERFACE_BITMAP_VIEWS_H
#define _INTERFACE_BITMAP_VIEWS_H

#include <Locker.h>
#include <View.h>

#include "interface/DisplayLink.h"

class BBitmap;

namespace BPrivate
{

// The hidden parent of the views a bitmap holds, as a window's top view is of
// the window's views; views under it draw into the bitmap's bits.
class BitmapTopView : public BView
{
public:
    explicit BitmapTopView(BBitmap* bitmap);

    // The bitmap's bits as a canvas clipped to `clip`; NULL where the bitmap's
    // colour space is not one the painter draws into.
    Canvas* DrawingCanvas(BRect clip);

    BLocker lock;

private:
    BBitmap* fBitmap;
    Canvas fCanvas;
};

} // namespace BPrivate

#endif
