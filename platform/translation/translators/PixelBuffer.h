#ifndef _TRANSLATION_TRANSLATORS_PIXEL_BUFFER_H
#define _TRANSLATION_TRANSLATORS_PIXEL_BUFFER_H

#include <SupportDefs.h>

#include <memory>

class BBitmapStream;

namespace BPrivate
{

// The rows a translator decodes into: B_RGBA32 (bytes B, G, R, A), width × 4
// bytes a row, which is already the platform's padding. Given a bitmap stream
// that nothing has been written to, the rows are those of the stream's own
// bitmap; otherwise they are memory of the buffer's own. Pictures beyond the
// limits are refused before anything is allocated.
class PixelBuffer
{
public:
    static constexpr int64 kMaxDimension = 16384;
    static constexpr int64 kMaxBytes = 64 * 1024 * 1024;

    // B_OK, B_ILLEGAL_DATA for an empty picture, B_NO_TRANSLATOR beyond the limits.
    static status_t CheckSize(int64 width, int64 height);

    explicit PixelBuffer(BBitmapStream* target = NULL) : fTarget(target) {}
    // A picture left unfinished in the target is taken back out of it.
    ~PixelBuffer();

    // Zero-filled rows; B_NO_MEMORY when the allocation fails.
    status_t Allocate(int64 width, int64 height);
    // The rows are whole: the target keeps them.
    void Finish() { fFinished = true; }
    // Whether the rows are the target's bitmap, which then needs nothing written.
    bool InTarget() const { return fInTarget; }

    int32 Width() const { return fWidth; }
    int32 Height() const { return fHeight; }
    int32 BytesPerRow() const { return fWidth * 4; }
    size_t Size() const { return (size_t)fWidth * 4 * (size_t)fHeight; }
    uint8* Bits() const { return fBits; }
    uint8* Row(int32 y) const { return fBits + (size_t)y * BytesPerRow(); }

private:
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    struct Free {
        void operator()(uint8* bits) const;
    };

    BBitmapStream* fTarget;
    std::unique_ptr<uint8, Free> fOwn;
    uint8* fBits = nullptr;
    int32 fWidth = 0;
    int32 fHeight = 0;
    bool fInTarget = false;
    bool fFinished = false;
};

} // namespace BPrivate

#endif
