#include "translation/translators/PixelBuffer.h"

#include "translation/BitmapStreamFill.h"

#include <stdlib.h>

namespace BPrivate
{

void PixelBuffer::Free::operator()(uint8* bits) const
{
    free(bits);
}

status_t PixelBuffer::CheckSize(int64 width, int64 height)
{
    if (width <= 0 || height <= 0)
        return B_ILLEGAL_DATA;
    if (width > kMaxDimension || height > kMaxDimension || width * height * 4 > kMaxBytes)
        return B_NO_TRANSLATOR;
    return B_OK;
}

PixelBuffer::~PixelBuffer()
{
    if (fInTarget && !fFinished)
        BitmapStreamFill::Abandon(fTarget);
}

status_t PixelBuffer::Allocate(int64 width, int64 height)
{
    status_t status = CheckSize(width, height);
    if (status != B_OK)
        return status;
    if (fBits != nullptr)
        return B_ERROR;
    fBits = BitmapStreamFill::Begin(fTarget, (int32)width, (int32)height);
    fInTarget = fBits != nullptr;
    if (!fInTarget) {
        // calloc leaves fresh pages from the system as they are.
        fOwn.reset(static_cast<uint8*>(calloc((size_t)(width * height * 4), 1)));
        if (!fOwn)
            return B_NO_MEMORY;
        fBits = fOwn.get();
    }
    fWidth = (int32)width;
    fHeight = (int32)height;
    return B_OK;
}

} // namespace BPrivate
