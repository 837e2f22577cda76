#ifndef _INTERFACE_PAINTER_H
#define _INTERFACE_PAINTER_H

#include <GraphicsDefs.h>
#include <Rect.h>

#include <memory>

#include "interface/DisplayLink.h"

class BBitmap;

namespace BPrivate
{

// Pixels as a canvas holds them: B, G, R, A bytes each, rows without padding.
// The bytes may be a bitmap's own, shared with it.
struct PixelImage {
    std::shared_ptr<const uint8[]> bytes;
    int32 width = 0;
    int32 height = 0;
};

// Converts a bitmap of a colour space the painter reads (B_RGBA32, B_RGB32,
// B_CMAP8 through the system colours, B_GRAY8, B_RGB24); false for others. A
// B_RGBA32 bitmap's bits are shared rather than copied where the bitmap keeps
// them unchanged for as long as the image lives; with `borrow` they are
// referenced without being kept, for an image used before the bitmap changes.
bool image_from_bitmap(const BBitmap* bitmap, PixelImage* image, bool borrow = false);

// Drawing on a canvas, in canvas coordinates, clipped to canvas.clip. Edges are
// inclusive, as the platform's rectangles are: (0, 0, 9, 9) is 10 x 10 pixels.
// B_OP_COPY writes the colour opaque, B_OP_OVER skips B_TRANSPARENT_COLOR and
// B_OP_ALPHA blends by the colour's alpha; other modes draw as B_OP_COPY.
void fill_rect(Canvas& canvas, BRect rect, rgb_color color, drawing_mode mode);
void stroke_rect(Canvas& canvas, BRect rect, rgb_color color, float penSize, drawing_mode mode);
void stroke_line(Canvas& canvas, BPoint from, BPoint to, rgb_color color, float penSize,
                 drawing_mode mode);

// Draws `source` of the image scaled (nearest pixel) onto `destination`. In
// B_OP_COPY the pixels are copied opaque, in B_OP_OVER fully transparent ones
// are skipped, in B_OP_ALPHA they are blended by their alpha.
void draw_image(Canvas& canvas, const PixelImage& image, BRect source, BRect destination,
                drawing_mode mode);

} // namespace BPrivate

#endif
