#include "translation/translators/ImageTranslator.h"

#include <TranslatorFormats.h>

#include "translation/BitmapHeader.h"

#include <BitmapStream.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace BPrivate
{

namespace
{

void FillFormat(translation_format* format, uint32 type, float quality, float capability,
                const char* mime, const char* name)
{
    memset(format, 0, sizeof(*format));
    format->type = type;
    format->group = B_TRANSLATOR_BITMAP;
    format->quality = quality;
    format->capability = capability;
    strncpy(format->MIME, mime, sizeof(format->MIME) - 1);
    strncpy(format->name, name, sizeof(format->name) - 1);
}

// Reads until `size` bytes or the end; a negative status on a read error.
ssize_t ReadFully(BPositionIO* source, uint8* buffer, size_t size)
{
    size_t done = 0;
    while (done < size) {
        ssize_t count = source->Read(buffer + done, size - done);
        if (count < 0)
            return count;
        if (count == 0)
            break;
        done += (size_t)count;
    }
    return (ssize_t)done;
}

struct FreeBytes {
    void operator()(uint8* bytes) const { free(bytes); }
};
using Bytes = std::unique_ptr<uint8, FreeBytes>;

// The rest of the source, in memory that is not cleared before it is read into.
status_t ReadAll(BPositionIO* source, Bytes* data, size_t* length)
{
    constexpr size_t kChunk = 64 * 1024;
    constexpr size_t kLimit = (size_t)ImageTranslator::kMaxSourceSize;
    off_t size = 0;
    off_t position = source->Position();
    size_t capacity = kChunk;
    if (source->GetSize(&size) == B_OK && position >= 0 && size > position) {
        if (size - position > ImageTranslator::kMaxSourceSize)
            return B_NO_TRANSLATOR;
        // One byte more than expected shows the end without another read.
        capacity = (size_t)(size - position) + 1;
    }
    Bytes bytes(static_cast<uint8*>(malloc(capacity)));
    if (!bytes)
        return B_NO_MEMORY;
    size_t used = 0;
    while (true) {
        ssize_t count = ReadFully(source, bytes.get() + used, capacity - used);
        if (count < 0)
            return (status_t)count;
        used += (size_t)count;
        if (used < capacity)
            break;
        if (used > kLimit)
            return B_NO_TRANSLATOR;
        capacity = std::min(capacity * 2, kLimit + 1);
        uint8* grown = static_cast<uint8*>(realloc(bytes.get(), capacity));
        if (grown == NULL)
            return B_NO_MEMORY;
        bytes.release();
        bytes.reset(grown);
    }
    *data = std::move(bytes);
    *length = used;
    return B_OK;
}

bool WantsBitmap(uint32 outType)
{
    return outType == 0 || outType == B_TRANSLATOR_BITMAP;
}

status_t WriteFully(BPositionIO* destination, const void* data, size_t size)
{
    ssize_t written = destination->Write(data, size);
    if (written < 0)
        return (status_t)written;
    return (size_t)written == size ? B_OK : B_IO_ERROR;
}

} // namespace

ImageTranslator::ImageTranslator(const ImageFormat& format) : fFormat(format)
{
    FillFormat(&fInput, format.type, format.quality, format.capability, format.mime, format.name);
    FillFormat(&fOutput, B_TRANSLATOR_BITMAP, 0.4f, 0.4f, "image/x-be-bitmap", "Be Bitmap Format");
}

const char* ImageTranslator::TranslatorName() const
{
    return fFormat.translatorName;
}

const char* ImageTranslator::TranslatorInfo() const
{
    return fFormat.translatorInfo;
}

int32 ImageTranslator::TranslatorVersion() const
{
    return fFormat.version;
}

const translation_format* ImageTranslator::InputFormats(int32* outCount) const
{
    if (outCount != NULL)
        *outCount = 1;
    return &fInput;
}

const translation_format* ImageTranslator::OutputFormats(int32* outCount) const
{
    if (outCount != NULL)
        *outCount = 1;
    return &fOutput;
}

status_t ImageTranslator::Identify(BPositionIO* source, const translation_format* format,
                                   BMessage* ioExtension, translator_info* outInfo, uint32 outType)
{
    if (source == NULL || outInfo == NULL)
        return B_BAD_VALUE;
    if (!WantsBitmap(outType))
        return B_NO_TRANSLATOR;
    std::vector<uint8> start(fFormat.signatureLength);
    ssize_t count = ReadFully(source, start.data(), start.size());
    if (count < 0)
        return (status_t)count;
    if (!IsOwnFormat(start.data(), (size_t)count))
        return B_NO_TRANSLATOR;

    outInfo->type = fInput.type;
    outInfo->group = B_TRANSLATOR_BITMAP;
    outInfo->quality = fInput.quality;
    outInfo->capability = fInput.capability;
    memcpy(outInfo->name, fInput.name, sizeof(outInfo->name));
    memcpy(outInfo->MIME, fInput.MIME, sizeof(outInfo->MIME));
    return B_OK;
}

status_t ImageTranslator::Translate(BPositionIO* source, const translator_info* info,
                                    BMessage* ioExtension, uint32 outType, BPositionIO* destination)
{
    if (source == NULL || destination == NULL)
        return B_BAD_VALUE;
    if (!WantsBitmap(outType))
        return B_NO_TRANSLATOR;

    Bytes data;
    size_t length = 0;
    status_t status = ReadAll(source, &data, &length);
    if (status != B_OK)
        return status;
    if (!IsOwnFormat(data.get(), length))
        return B_NO_TRANSLATOR;

    // A fresh bitmap stream gets the rows decoded straight into its bitmap.
    PixelBuffer pixels(dynamic_cast<BBitmapStream*>(destination));
    status = Decode(data.get(), length, &pixels);
    data.reset();
    if (status != B_OK)
        return status;
    if (pixels.Bits() == NULL)
        return B_ERROR;
    pixels.Finish();
    if (pixels.InTarget())
        return B_OK;

    TranslatorBitmap header;
    header.magic = B_TRANSLATOR_BITMAP;
    header.bounds.Set(0, 0, pixels.Width() - 1, pixels.Height() - 1);
    header.rowBytes = (uint32)pixels.BytesPerRow();
    header.colors = B_RGBA32;
    header.dataSize = (uint32)pixels.Size();
    uint8 headerBytes[kBitmapHeaderSize];
    EncodeBitmapHeader(header, headerBytes);
    status = WriteFully(destination, headerBytes, sizeof(headerBytes));
    if (status != B_OK)
        return status;
    return WriteFully(destination, pixels.Bits(), pixels.Size());
}

} // namespace BPrivate
