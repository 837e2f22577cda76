#ifndef _TRANSLATION_BITMAP_STREAM_FILL_H
#define _TRANSLATION_BITMAP_STREAM_FILL_H

#include <SupportDefs.h>

class BBitmapStream;

namespace BPrivate
{

// Lets a translator decode straight into the bitmap of a stream nothing has
// been written to yet, instead of writing its rows through the stream.
struct BitmapStreamFill {
    // The zeroed rows, width × 4 bytes each, of the B_RGBA32 bitmap that
    // writing the header for such a picture and then its rows would leave in the
    // stream; NULL when the stream already holds something or has no bitmap
    // for that size.
    static uint8* Begin(BBitmapStream* stream, int32 width, int32 height);
    // Takes back what Begin() made, leaving the stream as it was before.
    static void Abandon(BBitmapStream* stream);
};

} // namespace BPrivate

#endif
