#include "translation/translators/PNGTranslator.h"

#include <TranslatorFormats.h>

#include <png.h>
#include <string.h>

#include <vector>

namespace BPrivate
{

namespace
{

const uint8 kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

const ImageFormat kFormat = {
    "PNG Images",
    "PNG image translator (libpng)",
    100,
    B_PNG_FORMAT,
    "image/png",
    "PNG image",
    0.8f,
    0.8f,
    sizeof(kSignature),
};

struct MemorySource {
    const uint8* data;
    size_t length;
    size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep target, size_t count)
{
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (count > source->length - source->offset)
        png_error(png, "truncated");
    memcpy(target, source->data + source->offset, count);
    source->offset += count;
}

[[noreturn]] void OnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

uint32 BigEndianWord(const uint8* bytes)
{
    return (uint32)bytes[0] << 24 | (uint32)bytes[1] << 16 | (uint32)bytes[2] << 8 | bytes[3];
}

} // namespace

PNGTranslator::PNGTranslator() : ImageTranslator(kFormat) {}

bool PNGTranslator::IsOwnFormat(const uint8* start, size_t length) const
{
    return length >= sizeof(kSignature) && memcmp(start, kSignature, sizeof(kSignature)) == 0;
}

status_t PNGTranslator::Decode(const uint8* data, size_t length, PixelBuffer* pixels) const
{
    // The size lies in the IHDR chunk, which must come first: check it before
    // libpng allocates anything for the picture.
    if (length < 33 || memcmp(data + 12, "IHDR", 4) != 0)
        return B_ILLEGAL_DATA;
    status_t status = PixelBuffer::CheckSize(BigEndianWord(data + 16), BigEndianWord(data + 20));
    if (status != B_OK)
        return status;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, OnError, OnWarning);
    if (png == NULL)
        return B_NO_MEMORY;
    png_infop info = png_create_info_struct(png);
    if (info == NULL) {
        png_destroy_read_struct(&png, NULL, NULL);
        return B_NO_MEMORY;
    }
    MemorySource source = {data, length, 0};
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, NULL);
        return B_ILLEGAL_DATA;
    }
    png_set_read_fn(png, &source, ReadFromMemory);
    // Every chunk's CRC is checked; zlib's second checksum over the same
    // inflated data only costs time.
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_read_info(png, info);

    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int colorType = png_get_color_type(png, info);
    bool hasAlpha =
        (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (!hasAlpha)
        png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    status = pixels->Allocate(width, height);
    if (status == B_OK && png_get_rowbytes(png, info) != (size_t)pixels->BytesPerRow())
        status = B_ILLEGAL_DATA;
    if (status != B_OK) {
        png_destroy_read_struct(&png, &info, NULL);
        return status;
    }
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; y++)
        rows[y] = pixels->Row((int32)y);
    png_read_image(png, rows.data());
    png_read_end(png, NULL);
    png_destroy_read_struct(&png, &info, NULL);
    return B_OK;
}

} // namespace BPrivate
