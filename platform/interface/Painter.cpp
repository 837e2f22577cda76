#include "interface/Painter.h"

#include <Bitmap.h>

#include "interface/BitmapPixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace BPrivate
{

namespace
{

// The pixel whose centre a coordinate falls on.
int32 pixel_of(float coordinate)
{
    return (int32)floorf(coordinate + 0.5f);
}

struct PixelBox {
    int32 left;
    int32 top;
    int32 right;
    int32 bottom;

    bool IsEmpty() const { return left > right || top > bottom; }
};

PixelBox clip_box(const Canvas& canvas)
{
    PixelBox box = {0, 0, canvas.width - 1, canvas.height - 1};
    if (canvas.clip.IsValid()) {
        box.left = std::max(box.left, pixel_of(canvas.clip.left));
        box.top = std::max(box.top, pixel_of(canvas.clip.top));
        box.right = std::min(box.right, pixel_of(canvas.clip.right));
        box.bottom = std::min(box.bottom, pixel_of(canvas.clip.bottom));
    } else {
        box.right = -1;
    }
    return box;
}

PixelBox intersect(PixelBox a, BRect rect)
{
    a.left = std::max(a.left, pixel_of(rect.left));
    a.top = std::max(a.top, pixel_of(rect.top));
    a.right = std::min(a.right, pixel_of(rect.right));
    a.bottom = std::min(a.bottom, pixel_of(rect.bottom));
    return a;
}

uint8* pixel_at(Canvas& canvas, int32 x, int32 y)
{
    return canvas.bits + (size_t)y * canvas.bytesPerRow + (size_t)x * 4;
}

uint8 blend_channel(uint8 under, uint8 over, uint32 alpha)
{
    return (uint8)((over * alpha + under * (255 - alpha) + 127) / 255);
}

// Writes one colour given as B, G, R, A bytes.
void put(uint8* pixel, const uint8* bgra, drawing_mode mode)
{
    switch (mode) {
    case B_OP_ALPHA:
        if (bgra[3] == 0)
            return;
        for (int i = 0; i < 3; i++)
            pixel[i] = blend_channel(pixel[i], bgra[i], bgra[3]);
        pixel[3] = 255;
        return;
    case B_OP_OVER:
        if (bgra[3] == 0)
            return;
        [[fallthrough]];
    default:
        pixel[0] = bgra[0];
        pixel[1] = bgra[1];
        pixel[2] = bgra[2];
        pixel[3] = 255;
        return;
    }
}

void put_color(Canvas& canvas, const PixelBox& clip, int32 x, int32 y, const uint8* bgra,
               drawing_mode mode)
{
    if (x < clip.left || x > clip.right || y < clip.top || y > clip.bottom)
        return;
    put(pixel_at(canvas, x, y), bgra, mode);
}

void to_bgra(rgb_color color, drawing_mode mode, uint8* bgra)
{
    bgra[0] = color.blue;
    bgra[1] = color.green;
    bgra[2] = color.red;
    bgra[3] = color.alpha;
    if (mode == B_OP_OVER)
        bgra[3] = color == B_TRANSPARENT_COLOR ? 0 : 255;
}

} // namespace

bool image_from_bitmap(const BBitmap* bitmap, PixelImage* image, bool borrow)
{
    if (bitmap == nullptr || image == nullptr || !bitmap->IsValid())
        return false;
    BRect bounds = bitmap->Bounds();
    int32 width = (int32)lroundf(bounds.Width()) + 1;
    int32 height = (int32)lroundf(bounds.Height()) + 1;
    const uint8* bits = BitmapPixels::Readable(bitmap);
    int32 bytesPerRow = bitmap->BytesPerRow();
    color_space space = bitmap->ColorSpace();
    if (width <= 0 || height <= 0 || bits == nullptr)
        return false;
    int32 bytesPerPixel = space == B_RGBA32 || space == B_RGB32  ? 4
                          : space == B_RGB24                     ? 3
                          : space == B_CMAP8 || space == B_GRAY8 ? 1
                                                                 : 0;
    if (bytesPerPixel == 0 || (int64)bytesPerRow * height > bitmap->BitsLength() ||
        bytesPerRow < width * bytesPerPixel)
        return false;

    image->width = width;
    image->height = height;
    if (space == B_RGBA32 && bytesPerRow == width * 4) {
        // Already the image's layout.
        if (borrow) {
            image->bytes = std::shared_ptr<const uint8[]>(std::shared_ptr<const uint8[]>(), bits);
            return true;
        }
        image->bytes = BitmapPixels::Shared(bitmap);
        if (image->bytes)
            return true;
    }

    std::shared_ptr<uint8[]> bytes(new uint8[(size_t)width * height * 4]);
    image->bytes = bytes;
    const color_map* colors = space == B_CMAP8 ? system_colors() : nullptr;
    for (int32 y = 0; y < height; y++) {
        const uint8* from = bits + (size_t)y * bytesPerRow;
        uint8* to = bytes.get() + (size_t)y * width * 4;
        if (space == B_RGBA32) {
            memcpy(to, from, (size_t)width * 4);
            continue;
        }
        for (int32 x = 0; x < width; x++, to += 4) {
            switch (space) {
            case B_RGB32:
                memcpy(to, from + x * 4, 3);
                to[3] = 255;
                break;
            case B_RGB24:
                memcpy(to, from + x * 3, 3);
                to[3] = 255;
                break;
            case B_GRAY8:
                to[0] = to[1] = to[2] = from[x];
                to[3] = 255;
                break;
            default: {
                uint8 index = from[x];
                rgb_color color = colors->color_list[index];
                to[0] = color.blue;
                to[1] = color.green;
                to[2] = color.red;
                to[3] = index == B_TRANSPARENT_MAGIC_CMAP8 ? 0 : 255;
                break;
            }
            }
        }
    }
    return true;
}

void fill_rect(Canvas& canvas, BRect rect, rgb_color color, drawing_mode mode)
{
    if (canvas.bits == nullptr || !rect.IsValid())
        return;
    PixelBox box = intersect(clip_box(canvas), rect);
    if (box.IsEmpty())
        return;
    uint8 bgra[4];
    to_bgra(color, mode, bgra);
    // Only B_OP_OVER and B_OP_ALPHA look at the alpha; at 255 they copy too.
    if ((mode != B_OP_ALPHA && mode != B_OP_OVER) || bgra[3] == 255) {
        // Every pixel gets the same opaque colour: the first row is written
        // pixel by pixel, the others are copies of it.
        uint8 solid[4] = {bgra[0], bgra[1], bgra[2], 255};
        size_t rowBytes = (size_t)(box.right - box.left + 1) * 4;
        uint8* first = pixel_at(canvas, box.left, box.top);
        for (size_t x = 0; x < rowBytes; x += 4)
            memcpy(first + x, solid, 4);
        for (int32 y = box.top + 1; y <= box.bottom; y++)
            memcpy(pixel_at(canvas, box.left, y), first, rowBytes);
        return;
    }
    for (int32 y = box.top; y <= box.bottom; y++) {
        uint8* pixel = pixel_at(canvas, box.left, y);
        for (int32 x = box.left; x <= box.right; x++, pixel += 4)
            put(pixel, bgra, mode);
    }
}

void stroke_line(Canvas& canvas, BPoint from, BPoint to, rgb_color color, float penSize,
                 drawing_mode mode)
{
    if (canvas.bits == nullptr)
        return;
    PixelBox clip = clip_box(canvas);
    if (clip.IsEmpty())
        return;
    uint8 bgra[4];
    to_bgra(color, mode, bgra);
    int32 x0 = pixel_of(from.x);
    int32 y0 = pixel_of(from.y);
    int32 x1 = pixel_of(to.x);
    int32 y1 = pixel_of(to.y);
    // A line far outside the canvas is not walked pixel by pixel.
    const int32 limit = 1 << 20;
    if (std::abs(x0) > limit || std::abs(y0) > limit || std::abs(x1) > limit ||
        std::abs(y1) > limit)
        return;
    int32 brush = std::max<int32>(1, (int32)lroundf(penSize));
    int32 before = (brush - 1) / 2;
    int32 dx = std::abs(x1 - x0);
    int32 dy = -std::abs(y1 - y0);
    int32 stepX = x0 < x1 ? 1 : -1;
    int32 stepY = y0 < y1 ? 1 : -1;
    int32 error = dx + dy;
    while (true) {
        for (int32 by = 0; by < brush; by++) {
            for (int32 bx = 0; bx < brush; bx++)
                put_color(canvas, clip, x0 - before + bx, y0 - before + by, bgra, mode);
        }
        if (x0 == x1 && y0 == y1)
            break;
        int32 doubled = 2 * error;
        if (doubled >= dy) {
            error += dy;
            x0 += stepX;
        }
        if (doubled <= dx) {
            error += dx;
            y0 += stepY;
        }
    }
}

void stroke_rect(Canvas& canvas, BRect rect, rgb_color color, float penSize, drawing_mode mode)
{
    if (!rect.IsValid())
        return;
    float inset = std::max(1.0f, penSize) - 1.0f;
    // Each edge is a filled band, so that corners are not drawn twice.
    fill_rect(canvas, BRect(rect.left, rect.top, rect.right, rect.top + inset), color, mode);
    if (rect.bottom - inset > rect.top + inset) {
        fill_rect(canvas, BRect(rect.left, rect.bottom - inset, rect.right, rect.bottom), color,
                  mode);
    }
    float innerTop = rect.top + inset + 1;
    float innerBottom = rect.bottom - inset - 1;
    if (innerTop <= innerBottom) {
        fill_rect(canvas, BRect(rect.left, innerTop, rect.left + inset, innerBottom), color, mode);
        if (rect.right - inset > rect.left + inset) {
            fill_rect(canvas, BRect(rect.right - inset, innerTop, rect.right, innerBottom), color,
                      mode);
        }
    }
}

void draw_image(Canvas& canvas, const PixelImage& image, BRect source, BRect destination,
                drawing_mode mode)
{
    if (canvas.bits == nullptr || image.width <= 0 || image.height <= 0 || !source.IsValid() ||
        !destination.IsValid())
        return;
    // The part of the image that exists.
    source = source & BRect(0, 0, image.width - 1, image.height - 1);
    if (!source.IsValid())
        return;
    PixelBox box = intersect(clip_box(canvas), destination);
    if (box.IsEmpty())
        return;
    int32 sourceLeft = pixel_of(source.left);
    int32 sourceTop = pixel_of(source.top);
    int32 sourceWidth = pixel_of(source.right) - sourceLeft + 1;
    int32 sourceHeight = pixel_of(source.bottom) - sourceTop + 1;
    int32 destinationLeft = pixel_of(destination.left);
    int32 destinationTop = pixel_of(destination.top);
    int32 destinationWidth = pixel_of(destination.right) - destinationLeft + 1;
    int32 destinationHeight = pixel_of(destination.bottom) - destinationTop + 1;
    if (sourceWidth <= 0 || sourceHeight <= 0 || destinationWidth <= 0 || destinationHeight <= 0)
        return;
    for (int32 y = box.top; y <= box.bottom; y++) {
        int32 sy =
            sourceTop + (int32)((int64)(y - destinationTop) * sourceHeight / destinationHeight);
        sy = std::clamp(sy, 0, image.height - 1);
        const uint8* row = image.bytes.get() + (size_t)sy * image.width * 4;
        uint8* pixel = pixel_at(canvas, box.left, y);
        for (int32 x = box.left; x <= box.right; x++, pixel += 4) {
            int32 sx =
                sourceLeft + (int32)((int64)(x - destinationLeft) * sourceWidth / destinationWidth);
            sx = std::clamp(sx, 0, image.width - 1);
            put(pixel, row + (size_t)sx * 4, mode);
        }
    }
}

} // namespace BPrivate

const pattern B_SOLID_HIGH = {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}};
const pattern B_SOLID_LOW = {{0, 0, 0, 0, 0, 0, 0, 0}};
const pattern B_MIXED_COLORS = {{0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55}};
