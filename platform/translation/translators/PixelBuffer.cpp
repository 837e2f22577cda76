#include "translation/translators/PixelBuffer.h"

#include <new>

namespace BPrivate
{

status_t PixelBuffer::CheckSize(int64 width, int64 height)
{
    if (width <= 0 || height <= 0)
        return B_ILLEGAL_DATA;
    if (width > kMaxDimension || height > kMaxDimension || width * height * 4 > kMaxBytes)
        return B_NO_TRANSLATOR;
    return B_OK;
}

status_t PixelBuffer::Allocate(int64 width, int64 height)
{
    status_t status = CheckSize(width, height);
    if (status != B_OK)
        return status;
    fBits.reset(new (std::nothrow) uint8[(size_t)(width * height * 4)]());
    if (!fBits)
        return B_NO_MEMORY;
    fWidth = (int32)width;
    fHeight = (int32)height;
    return B_OK;
}

} // namespace BPrivate
