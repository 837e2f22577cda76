#ifndef _INTERFACE_BITMAP_PIXELS_H
#define _INTERFACE_BITMAP_PIXELS_H

#include <Bitmap.h>

#include <memory>

namespace BPrivate
{

// The platform's own access to a bitmap's bits, which leaves them shareable
// (BBitmap::Bits() hands the owner a pointer to write through, after which
// the bits are never shared again).
struct BitmapPixels {
    // Where a translator or a stream writes the bitmap's pixels.
    static uint8* Writable(BBitmap* bitmap);
    static const uint8* Readable(const BBitmap* bitmap);
    // The bits themselves, for keeping as they are now; empty while the owner
    // holds a pointer it may write through.
    static std::shared_ptr<const uint8[]> Shared(const BBitmap* bitmap);
};

} // namespace BPrivate

#endif
