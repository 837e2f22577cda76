#include "translation/translators/GIFTranslator.h"

#include <TranslatorFormats.h>

#include <gif_lib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace BPrivate
{

namespace
{

const ImageFormat kFormat = {
    "GIF Images",
    "GIF image translator (giflib)",
    100,
    B_GIF_FORMAT,
    "image/gif",
    "GIF image",
    0.8f,
    0.8f,
    6,
};

struct MemorySource {
    const uint8* data;
    size_t length;
    size_t offset;
};

int ReadFromMemory(GifFileType* gif, GifByteType* target, int count)
{
    auto* source = static_cast<MemorySource*>(gif->UserData);
    if (count <= 0)
        return 0;
    size_t copied = std::min((size_t)count, source->length - source->offset);
    memcpy(target, source->data + source->offset, copied);
    source->offset += copied;
    return (int)copied;
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// Skips an extension's sub-blocks; keeps the transparent index of a graphics control block.
bool ReadExtension(GifFileType* gif, int* transparentIndex)
{
    int code = 0;
    GifByteType* block = NULL;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
        return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block != NULL && block[0] >= 4) {
        GraphicsControlBlock control;
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
            *transparentIndex = control.TransparentColor;
    }
    while (block != NULL) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            return false;
    }
    return true;
}

status_t ReadFirstFrame(GifFileType* gif, int transparentIndex, PixelBuffer* pixels)
{
    if (DGifGetImageDesc(gif) == GIF_ERROR)
        return B_ILLEGAL_DATA;
    const GifImageDesc& frame = gif->Image;
    if (frame.Left < 0 || frame.Top < 0 || frame.Width <= 0 || frame.Height <= 0)
        return B_ILLEGAL_DATA;
    // A frame reaching past the logical screen widens the picture rather than being cut.
    int64 width = std::max<int64>(gif->SWidth, (int64)frame.Left + frame.Width);
    int64 height = std::max<int64>(gif->SHeight, (int64)frame.Top + frame.Height);
    status_t status = pixels->Allocate(width, height);
    if (status != B_OK)
        return status;

    const ColorMapObject* colors = frame.ColorMap != NULL ? frame.ColorMap : gif->SColorMap;
    if (colors == NULL || colors->Colors == NULL)
        return B_ILLEGAL_DATA;

    static const int kPassStart[] = {0, 4, 2, 1};
    static const int kPassStep[] = {8, 8, 4, 2};
    int passes = frame.Interlace ? 4 : 1;
    std::vector<GifPixelType> line((size_t)frame.Width);
    for (int pass = 0; pass < passes; pass++) {
        int start = frame.Interlace ? kPassStart[pass] : 0;
        int step = frame.Interlace ? kPassStep[pass] : 1;
        for (int y = start; y < frame.Height; y += step) {
            if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR)
                return B_ILLEGAL_DATA;
            uint8* target = pixels->Row(frame.Top + y) + (size_t)frame.Left * 4;
            for (int x = 0; x < frame.Width; x++, target += 4) {
                int index = line[(size_t)x];
                if (index == transparentIndex)
                    continue;
                if (index < colors->ColorCount) {
                    const GifColorType& color = colors->Colors[index];
                    target[0] = color.Blue;
                    target[1] = color.Green;
                    target[2] = color.Red;
                }
                target[3] = 255;
            }
        }
    }
    return B_OK;
}

} // namespace

GIFTranslator::GIFTranslator() : ImageTranslator(kFormat) {}

bool GIFTranslator::IsOwnFormat(const uint8* start, size_t length) const
{
    return length >= 6 && (memcmp(start, "GIF87a", 6) == 0 || memcmp(start, "GIF89a", 6) == 0);
}

status_t GIFTranslator::Decode(const uint8* data, size_t length, PixelBuffer* pixels) const
{
    // The logical screen is checked before giflib reads further.
    if (length < 10)
        return B_ILLEGAL_DATA;
    status_t status = PixelBuffer::CheckSize(data[6] | data[7] << 8, data[8] | data[9] << 8);
    if (status == B_NO_TRANSLATOR)
        return status;

    MemorySource source = {data, length, 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadFromMemory, &error));
    if (!gif)
        return error == D_GIF_ERR_NOT_ENOUGH_MEM ? B_NO_MEMORY : B_ILLEGAL_DATA;

    int transparentIndex = NO_TRANSPARENT_COLOR;
    while (true) {
        GifRecordType record;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR)
            return B_ILLEGAL_DATA;
        switch (record) {
        case EXTENSION_RECORD_TYPE:
            if (!ReadExtension(gif.get(), &transparentIndex))
                return B_ILLEGAL_DATA;
            break;
        case IMAGE_DESC_RECORD_TYPE:
            return ReadFirstFrame(gif.get(), transparentIndex, pixels);
        default:
            // The trailer before any frame, or a record giflib does not know.
            return B_ILLEGAL_DATA;
        }
    }
}

} // namespace BPrivate
