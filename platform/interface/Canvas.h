#ifndef _CANVAS_H
#define _CANVAS_H

#include <Rect.h>
#include <SupportDefs.h>

namespace BPrivate
{

// The pixels a window's views draw into: 32 bits a pixel, bytes B, G, R, A in
// memory (the platform's B_RGBA32), rows of bytesPerRow bytes. Drawing code clips
// to `clip` (window coordinates, inclusive edges) and to the canvas itself.
struct Canvas {
    uint8* bits = nullptr;
    int32 width = 0;
    int32 height = 0;
    int32 bytesPerRow = 0;
    BRect clip;
};

} // namespace BPrivate

#endif
