#ifndef _TRANSLATION_PIXEL_BUFFER_H
#define _TRANSLATION_PIXEL_BUFFER_H

#include <SupportDefs.h>

#include <memory>

namespace BPrivate
{

// The rows a translator decodes into: B_RGBA32 (bytes B, G, R, A), width × 4
// bytes a row, which is already the platform's padding. Pictures beyond the
// limits are refused before anything is allocated.
class PixelBuffer
{
public:
    static constexpr int64 kMaxDimension = 16384;
    static constexpr int64 kMaxBytes = 64 * 1024 * 1024;

    // B_OK, B_ILLEGAL_DATA for an empty picture, B_NO_TRANSLATOR beyond the limits.
    static status_t CheckSize(int64 width, int64 height);

    // Zero-filled rows; B_NO_MEMORY when the allocation fails.
    status_t Allocate(int64 width, int64 height);

    int32 Width() const { return fWidth; }
    int32 Height() const { return fHeight; }
    int32 BytesPerRow() const { return fWidth * 4; }
    size_t Size() const { return (size_t)fWidth * 4 * (size_t)fHeight; }
    uint8* Bits() const { return fBits.get(); }
    uint8* Row(int32 y) const { return fBits.get() + (size_t)y * BytesPerRow(); }

private:
    std::unique_ptr<uint8[]> fBits;
    int32 fWidth = 0;
    int32 fHeight = 0;
};

} // namespace BPrivate

#endif
