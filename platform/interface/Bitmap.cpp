#include <Bitmap.h>

#include "interface/BitmapPixels.h"
#include "interface/BitmapViews.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace
{

// Larger bitmaps are refused rather than risking the process on one allocation.
constexpr int64 kMaxBitsLength = 256 * 1024 * 1024;
constexpr int32 kMaxDimension = 65536;

// Bits per pixel of the colour spaces this layer knows; 0 for any other.
int32 BitsPerPixel(color_space space)
{
    switch (space) {
    case B_RGB32:
    case B_RGBA32:
    case B_RGB32_BIG:
    case B_RGBA32_BIG:
        return 32;
    case B_RGB24:
    case B_RGB24_BIG:
        return 24;
    case B_RGB16:
    case B_RGB15:
    case B_RGBA15:
        return 16;
    case B_CMAP8:
    case B_GRAY8:
        return 8;
    case B_GRAY1:
        return 1;
    default:
        return 0;
    }
}

// The platform's row size: the pixels' bytes rounded up to a multiple of 4.
int64 PaddedRowBytes(int64 width, color_space space)
{
    int64 bytes = (width * BitsPerPixel(space) + 7) / 8;
    return (bytes + 3) & ~int64(3);
}

bool CanConvertFrom(color_space space)
{
    return space == B_RGB32 || space == B_RGBA32 || space == B_RGB24 || space == B_CMAP8 ||
           space == B_GRAY8;
}

bool CanConvertTo(color_space space)
{
    return space == B_RGB32 || space == B_RGBA32 || space == B_CMAP8;
}

// From this size on, bits get pages of their own, as large as the system has,
// so that a big picture costs few page faults and goes back whole when freed.
constexpr size_t kOwnPagesLength = 4 * 1024 * 1024;

// Zeroed bits from calloc, which takes fresh pages from the system as they are
// instead of writing zeros over them.
std::shared_ptr<uint8[]> allocate_bits(size_t length, bool zeroed)
{
    if (length >= kOwnPagesLength) {
        void* pages =
            mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED)
            return nullptr;
        madvise(pages, length, MADV_HUGEPAGE);
        return std::shared_ptr<uint8[]>(static_cast<uint8*>(pages),
                                        [length](uint8* bits) { munmap(bits, length); });
    }
    void* bits = zeroed ? calloc(length, 1) : malloc(length);
    if (bits == nullptr)
        return nullptr;
    return std::shared_ptr<uint8[]>(static_cast<uint8*>(bits), free);
}

struct Pixel {
    uint8 blue, green, red, alpha;
};

Pixel ReadPixel(const uint8* source, color_space space)
{
    switch (space) {
    case B_RGBA32:
        return {source[0], source[1], source[2], source[3]};
    case B_RGB32:
    case B_RGB24:
        return {source[0], source[1], source[2], 255};
    case B_GRAY8:
        return {source[0], source[0], source[0], 255};
    case B_CMAP8: {
        if (source[0] == B_TRANSPARENT_MAGIC_CMAP8) {
            const rgb_color& clear = B_TRANSPARENT_COLOR;
            return {clear.blue, clear.green, clear.red, 0};
        }
        const rgb_color& color = system_colors()->color_list[source[0]];
        return {color.blue, color.green, color.red, 255};
    }
    default:
        return {0, 0, 0, 255};
    }
}

void WritePixel(uint8* target, color_space space, Pixel pixel)
{
    switch (space) {
    case B_RGB32:
    case B_RGBA32:
        target[0] = pixel.blue;
        target[1] = pixel.green;
        target[2] = pixel.red;
        target[3] = pixel.alpha;
        break;
    case B_CMAP8: {
        const rgb_color& clear = B_TRANSPARENT_COLOR;
        bool transparent =
            pixel.alpha < 128 ||
            (pixel.red == clear.red && pixel.green == clear.green && pixel.blue == clear.blue);
        if (transparent) {
            target[0] = B_TRANSPARENT_MAGIC_CMAP8;
            break;
        }
        int32 index = ((pixel.red >> 3) << 10) | ((pixel.green >> 3) << 5) | (pixel.blue >> 3);
        target[0] = system_colors()->index_map[index];
        break;
    }
    default:
        break;
    }
}

} // namespace

BBitmap::BBitmap(BRect bounds, color_space colorSpace, bool acceptsViews, bool needsContiguous)
{
    uint32 flags = (acceptsViews ? B_BITMAP_ACCEPTS_VIEWS : 0) |
                   (needsContiguous ? B_BITMAP_IS_CONTIGUOUS : 0);
    _Init(bounds, flags, colorSpace, B_ANY_BYTES_PER_ROW);
}

BBitmap::BBitmap(BRect bounds, uint32 flags, color_space colorSpace, int32 bytesPerRow)
{
    _Init(bounds, flags, colorSpace, bytesPerRow);
}

BBitmap::BBitmap(const BBitmap* source, bool acceptsViews, bool needsContiguous)
{
    if (source == NULL || !source->IsValid()) {
        fInitStatus = B_BAD_VALUE;
        return;
    }
    uint32 flags = source->fFlags & ~(B_BITMAP_ACCEPTS_VIEWS | B_BITMAP_IS_CONTIGUOUS);
    flags |= (acceptsViews ? B_BITMAP_ACCEPTS_VIEWS : 0) |
             (needsContiguous ? B_BITMAP_IS_CONTIGUOUS : 0);
    _Init(source->fBounds, flags, source->fColorSpace, source->fBytesPerRow);
    if (fInitStatus == B_OK)
        memcpy(fBits.get(), BPrivate::BitmapPixels::Readable(source), (size_t)fBitsLength);
}

// The views go first: a view's destructor may still look at the bits.
BBitmap::~BBitmap()
{
    fTopView.reset();
}

void BBitmap::_Init(BRect bounds, uint32 flags, color_space colorSpace, int32 bytesPerRow)
{
    fBounds = bounds;
    fColorSpace = colorSpace;
    fFlags = flags;

    if (!isfinite(bounds.left) || !isfinite(bounds.top) || !isfinite(bounds.right) ||
        !isfinite(bounds.bottom) || !bounds.IsValid() || BitsPerPixel(colorSpace) == 0) {
        fInitStatus = B_BAD_VALUE;
        return;
    }
    double width = ceil((double)bounds.right - bounds.left) + 1;
    double height = ceil((double)bounds.bottom - bounds.top) + 1;
    if (width > kMaxDimension || height > kMaxDimension) {
        fInitStatus = B_NO_MEMORY;
        return;
    }
    int64 minimumRowBytes = PaddedRowBytes((int64)width, colorSpace);
    int64 rowBytes = bytesPerRow == B_ANY_BYTES_PER_ROW ? minimumRowBytes : bytesPerRow;
    if (rowBytes < minimumRowBytes) {
        fInitStatus = B_BAD_VALUE;
        return;
    }
    int64 length = rowBytes * (int64)height;
    if (length > kMaxBitsLength) {
        fInitStatus = B_NO_MEMORY;
        return;
    }

    bool white = (flags & B_BITMAP_CLEAR_TO_WHITE) != 0;
    uint8 fill = 0;
    if (white)
        fill = colorSpace == B_CMAP8 ? 63 : colorSpace == B_GRAY1 ? 0 : 0xff;
    fBits = allocate_bits((size_t)length, fill == 0);
    if (!fBits) {
        fInitStatus = B_NO_MEMORY;
        return;
    }
    if (fill != 0)
        memset(fBits.get(), fill, (size_t)length);
    fBytesPerRow = (int32)rowBytes;
    fBitsLength = (int32)length;
    if ((flags & B_BITMAP_ACCEPTS_VIEWS) != 0)
        fTopView = std::make_unique<BPrivate::BitmapTopView>(this);
    fInitStatus = B_OK;
}

status_t BBitmap::InitCheck() const
{
    return fInitStatus;
}

bool BBitmap::IsValid() const
{
    return fInitStatus == B_OK;
}

BRect BBitmap::Bounds() const
{
    return fBounds;
}

void* BBitmap::Bits() const
{
    _OwnBits();
    fBitsExposed = true;
    return fBits.get();
}

void BBitmap::_OwnBits() const
{
    if (!fBits || fBits.use_count() == 1)
        return;
    std::shared_ptr<uint8[]> own = allocate_bits((size_t)fBitsLength, false);
    // Without memory for a copy, a view showing the bitmap sees what is written next.
    if (!own)
        return;
    memcpy(own.get(), fBits.get(), (size_t)fBitsLength);
    fBits = std::move(own);
}

int32 BBitmap::BitsLength() const
{
    return fBitsLength;
}

int32 BBitmap::BytesPerRow() const
{
    return fBytesPerRow;
}

color_space BBitmap::ColorSpace() const
{
    return fColorSpace;
}

uint32 BBitmap::Flags() const
{
    return fFlags;
}

void BBitmap::SetBits(const void* data, int32 length, int32 offset, color_space colorSpace)
{
    ImportBits(data, length, B_ANY_BYTES_PER_ROW, offset, colorSpace);
}

status_t BBitmap::ImportBits(const void* data, int32 length, int32 bytesPerRow, int32 offset,
                             color_space colorSpace)
{
    if (!IsValid())
        return B_NO_INIT;
    if (data == NULL || length < 0 || offset < 0 || offset >= fBitsLength)
        return B_BAD_VALUE;
    int32 sourceBitsPerPixel = BitsPerPixel(colorSpace);
    if (sourceBitsPerPixel == 0)
        return B_BAD_VALUE;

    int64 width = (int64)ceil((double)fBounds.right - fBounds.left) + 1;
    int64 height = fBitsLength / fBytesPerRow;
    int64 sourceRowBytes =
        bytesPerRow == B_ANY_BYTES_PER_ROW ? PaddedRowBytes(width, colorSpace) : bytesPerRow;
    if (sourceRowBytes < (width * sourceBitsPerPixel + 7) / 8)
        return B_BAD_VALUE;

    const uint8* source = static_cast<const uint8*>(data);
    _OwnBits();
    uint8* target = fBits.get();

    if (colorSpace == fColorSpace && sourceRowBytes == fBytesPerRow) {
        memcpy(target + offset, source, std::min<size_t>(length, fBitsLength - offset));
        return B_OK;
    }

    int64 firstRow = offset / fBytesPerRow;
    if (colorSpace == fColorSpace) {
        // Same pixels, other row padding: copy the pixel bytes row by row.
        int64 pixelBytes = (width * sourceBitsPerPixel + 7) / 8;
        int64 firstColumnByte = offset % fBytesPerRow;
        if (firstColumnByte >= pixelBytes) {
            // An offset into the row padding starts with the next row.
            firstRow++;
            firstColumnByte = 0;
        }
        for (int64 row = firstRow; row < height; row++) {
            int64 column = row == firstRow ? firstColumnByte : 0;
            int64 sourceStart = (row - firstRow) * sourceRowBytes - firstColumnByte + column;
            if (sourceStart >= length)
                break;
            int64 count = std::min(pixelBytes - column, length - sourceStart);
            if (count > 0)
                memcpy(target + row * fBytesPerRow + column, source + sourceStart, (size_t)count);
        }
        return B_OK;
    }

    if (!CanConvertFrom(colorSpace) || !CanConvertTo(fColorSpace))
        return B_BAD_VALUE;
    int64 sourcePixelBytes = sourceBitsPerPixel / 8;
    int64 targetPixelBytes = BitsPerPixel(fColorSpace) / 8;
    int64 firstColumn = (offset % fBytesPerRow) / targetPixelBytes;
    if (firstColumn >= width) {
        firstRow++;
        firstColumn = 0;
    }
    for (int64 row = firstRow; row < height; row++) {
        uint8* targetRow = target + row * fBytesPerRow;
        // Where pixel 0 of this row would lie in the source; the first row starts mid-way.
        int64 rowStart = (row - firstRow) * sourceRowBytes - firstColumn * sourcePixelBytes;
        for (int64 x = row == firstRow ? firstColumn : 0; x < width; x++) {
            int64 index = rowStart + x * sourcePixelBytes;
            if (index + sourcePixelBytes > length)
                return B_OK;
            WritePixel(targetRow + x * targetPixelBytes, fColorSpace,
                       ReadPixel(source + index, colorSpace));
        }
    }
    return B_OK;
}

status_t BBitmap::ImportBits(const BBitmap* source)
{
    if (source == NULL || !source->IsValid())
        return B_BAD_VALUE;
    if (!IsValid())
        return B_NO_INIT;
    if (source->fBounds.Width() != fBounds.Width() || source->fBounds.Height() != fBounds.Height())
        return B_BAD_VALUE;
    return ImportBits(source->fBits.get(), source->fBitsLength, source->fBytesPerRow, 0,
                      source->fColorSpace);
}

namespace BPrivate
{

uint8* BitmapPixels::Writable(BBitmap* bitmap)
{
    if (bitmap == nullptr || !bitmap->IsValid())
        return nullptr;
    bitmap->_OwnBits();
    return bitmap->fBits.get();
}

const uint8* BitmapPixels::Readable(const BBitmap* bitmap)
{
    return bitmap != nullptr ? bitmap->fBits.get() : nullptr;
}

std::shared_ptr<const uint8[]> BitmapPixels::Shared(const BBitmap* bitmap)
{
    if (bitmap == nullptr || !bitmap->IsValid() || bitmap->fBitsExposed)
        return nullptr;
    return bitmap->fBits;
}

} // namespace BPrivate
