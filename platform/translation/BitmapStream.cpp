#include <BitmapStream.h>

#include <Bitmap.h>

#include "interface/BitmapPixels.h"
#include "translation/BitmapHeader.h"
#include "translation/BitmapStreamFill.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>

using BPrivate::kBitmapHeaderSize;

namespace
{

constexpr uint32 kWholeHeader = 0xffffffff;

bool SameGeometry(const TranslatorBitmap& a, const TranslatorBitmap& b)
{
    return a.magic == b.magic && a.bounds.Width() == b.bounds.Width() &&
           a.bounds.Height() == b.bounds.Height() && a.rowBytes == b.rowBytes &&
           a.colors == b.colors && a.dataSize == b.dataSize;
}

} // namespace

BBitmapStream::BBitmapStream(BBitmap* bitmap)
    : fBitmap(bitmap), fPosition(0), fSize(0), fDetached(false), fHeaderBytesWritten(0)
{
    fHeader = TranslatorBitmap{};
    memset(fHeaderBytes, 0, sizeof(fHeaderBytes));
    if (bitmap == NULL || !bitmap->IsValid())
        return;
    fHeader.magic = B_TRANSLATOR_BITMAP;
    fHeader.bounds = bitmap->Bounds().OffsetToCopy(0, 0);
    fHeader.rowBytes = (uint32)bitmap->BytesPerRow();
    fHeader.colors = bitmap->ColorSpace();
    fHeader.dataSize = (uint32)bitmap->BitsLength();
    BPrivate::EncodeBitmapHeader(fHeader, fHeaderBytes);
    fHeaderBytesWritten = kWholeHeader;
    fSize = kBitmapHeaderSize + fHeader.dataSize;
}

BBitmapStream::~BBitmapStream()
{
    if (!fDetached)
        delete fBitmap;
}

ssize_t BBitmapStream::ReadAt(off_t position, void* buffer, size_t size)
{
    if (buffer == NULL || position < 0)
        return B_BAD_VALUE;
    if (fBitmap == NULL || fDetached || !fBitmap->IsValid())
        return B_ERROR;
    if (position >= fSize || size == 0)
        return 0;
    size_t count = (size_t)std::min<off_t>((off_t)size, fSize - position);
    uint8* target = static_cast<uint8*>(buffer);
    size_t done = 0;
    if (position < (off_t)kBitmapHeaderSize) {
        done = std::min(count, kBitmapHeaderSize - (size_t)position);
        memcpy(target, fHeaderBytes + position, done);
    }
    if (done < count) {
        size_t bitsOffset = (size_t)position + done - kBitmapHeaderSize;
        memcpy(target + done, BPrivate::BitmapPixels::Readable(fBitmap) + bitsOffset, count - done);
    }
    return (ssize_t)count;
}

ssize_t BBitmapStream::WriteAt(off_t position, const void* data, size_t size)
{
    if (data == NULL || position < 0 || size > (size_t)(INT64_MAX - position))
        return B_BAD_VALUE;
    if (fDetached)
        return B_ERROR;
    if (size == 0)
        return 0;
    const uint8* source = static_cast<const uint8*>(data);
    off_t end = position + (off_t)size;

    if (position < (off_t)kBitmapHeaderSize) {
        size_t count = std::min(size, kBitmapHeaderSize - (size_t)position);
        uint8 previous[kBitmapHeaderSize];
        memcpy(previous, fHeaderBytes, sizeof(previous));
        memcpy(fHeaderBytes + position, source, count);
        uint32 written = (count == 32 ? kWholeHeader : ((1u << count) - 1)) << position;
        bool wasWhole = fHeaderBytesWritten == kWholeHeader;
        fHeaderBytesWritten |= written;
        if (fHeaderBytesWritten == kWholeHeader) {
            status_t status = _HeaderWritten();
            if (status != B_OK) {
                // A header that contradicts the bitmap already made is not taken.
                if (wasWhole)
                    memcpy(fHeaderBytes, previous, sizeof(previous));
                return status;
            }
        }
        fSize = std::max(fSize, std::min(end, (off_t)kBitmapHeaderSize));
    }

    if (end > (off_t)kBitmapHeaderSize) {
        if (fBitmap == NULL)
            return B_ERROR;
        off_t start = std::max(position, (off_t)kBitmapHeaderSize);
        off_t bitsOffset = start - (off_t)kBitmapHeaderSize;
        off_t count = end - start;
        if (bitsOffset + count > (off_t)fHeader.dataSize)
            return B_MISMATCHED_VALUES;
        memcpy(BPrivate::BitmapPixels::Writable(fBitmap) + bitsOffset, source + (start - position),
               (size_t)count);
        fSize = std::max(fSize, end);
    }
    return (ssize_t)size;
}

status_t BBitmapStream::_HeaderWritten()
{
    TranslatorBitmap header;
    if (!BPrivate::DecodeBitmapHeader(fHeaderBytes, &header))
        return B_MISMATCHED_VALUES;
    if (header.magic != B_TRANSLATOR_BITMAP)
        return B_BAD_TYPE;
    if (fBitmap != NULL)
        return SameGeometry(header, fHeader) ? B_OK : B_MISMATCHED_VALUES;

    if (header.rowBytes > (uint32)INT32_MAX)
        return B_MISMATCHED_VALUES;
    auto bitmap =
        std::make_unique<BBitmap>(header.bounds, 0, header.colors, (int32)header.rowBytes);
    status_t status = bitmap->InitCheck();
    if (status == B_BAD_VALUE)
        return B_MISMATCHED_VALUES;
    if (status != B_OK)
        return status;
    if ((uint32)bitmap->BitsLength() != header.dataSize)
        return B_MISMATCHED_VALUES;
    fHeader = header;
    fBitmap = bitmap.release();
    return B_OK;
}

off_t BBitmapStream::Seek(off_t position, uint32 seekMode)
{
    off_t base;
    switch (seekMode) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = fPosition;
        break;
    case SEEK_END:
        base = fSize;
        break;
    default:
        return B_BAD_VALUE;
    }
    if (position < -base || position > INT64_MAX - base)
        return B_BAD_VALUE;
    fPosition = base + position;
    return fPosition;
}

off_t BBitmapStream::Position() const
{
    return fPosition;
}

off_t BBitmapStream::Size() const
{
    return fSize;
}

status_t BBitmapStream::SetSize(off_t size)
{
    if (size < 0)
        return B_BAD_VALUE;
    if (fDetached)
        return B_ERROR;
    off_t limit =
        fBitmap != NULL ? (off_t)kBitmapHeaderSize + fHeader.dataSize : (off_t)kBitmapHeaderSize;
    if (size > limit)
        return B_BAD_VALUE;
    fSize = size;
    return B_OK;
}

status_t BBitmapStream::DetachBitmap(BBitmap** outBitmap)
{
    if (outBitmap == NULL)
        return B_BAD_VALUE;
    if (fBitmap == NULL || fDetached)
        return B_ERROR;
    *outBitmap = fBitmap;
    fBitmap = NULL;
    fDetached = true;
    return B_OK;
}

namespace BPrivate
{

uint8* BitmapStreamFill::Begin(BBitmapStream* stream, int32 width, int32 height)
{
    if (stream == NULL || stream->fBitmap != NULL || stream->fDetached ||
        stream->fHeaderBytesWritten != 0 || stream->fSize != 0 || stream->fPosition != 0)
        return NULL;
    TranslatorBitmap header;
    header.magic = B_TRANSLATOR_BITMAP;
    header.bounds.Set(0, 0, width - 1, height - 1);
    header.rowBytes = (uint32)width * 4;
    header.colors = B_RGBA32;
    header.dataSize = header.rowBytes * (uint32)height;
    uint8 bytes[kBitmapHeaderSize];
    EncodeBitmapHeader(header, bytes);
    if (stream->WriteAt(0, bytes, sizeof(bytes)) != (ssize_t)sizeof(bytes) ||
        stream->fBitmap == NULL) {
        Abandon(stream);
        return NULL;
    }
    stream->fSize = (off_t)kBitmapHeaderSize + header.dataSize;
    stream->fPosition = stream->fSize;
    return BitmapPixels::Writable(stream->fBitmap);
}

void BitmapStreamFill::Abandon(BBitmapStream* stream)
{
    delete stream->fBitmap;
    stream->fBitmap = NULL;
    stream->fHeader = TranslatorBitmap{};
    memset(stream->fHeaderBytes, 0, sizeof(stream->fHeaderBytes));
    stream->fHeaderBytesWritten = 0;
    stream->fSize = 0;
    stream->fPosition = 0;
}

} // namespace BPrivate
