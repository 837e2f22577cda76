#include "translation/translators/BMPTranslator.h"

#include <TranslatorFormats.h>

#include <SDL.h>
#include <limits.h>
#include <string.h>

#include <memory>

namespace BPrivate
{

namespace
{

const ImageFormat kFormat = {
    "BMP Images", "BMP image translator (SDL2)",
    100,          B_BMP_FORMAT,
    "image/bmp",  "BMP image",
    0.8f,         0.8f,
    18,
};

constexpr size_t kFileHeaderSize = 14;

uint32 LittleEndian16(const uint8* bytes)
{
    return (uint32)bytes[0] | (uint32)bytes[1] << 8;
}

uint32 LittleEndian32(const uint8* bytes)
{
    return LittleEndian16(bytes) | LittleEndian16(bytes + 2) << 16;
}

bool IsInfoHeaderSize(uint32 size)
{
    // OS/2 1.x, OS/2 2.x (short and long), Windows 3.x, its two Adobe
    // extensions, Windows 4.x and 5.x.
    switch (size) {
    case 12:
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

} // namespace

BMPTranslator::BMPTranslator() : ImageTranslator(kFormat) {}

bool BMPTranslator::IsOwnFormat(const uint8* start, size_t length) const
{
    return length >= 18 && start[0] == 'B' && start[1] == 'M' &&
           IsInfoHeaderSize(LittleEndian32(start + kFileHeaderSize));
}

status_t BMPTranslator::Decode(const uint8* data, size_t length, PixelBuffer* pixels) const
{
    // SDL allocates the surface as soon as it has read the header: check the size first.
    uint32 infoSize = LittleEndian32(data + kFileHeaderSize);
    int64 width, height;
    if (infoSize == 12) {
        if (length < kFileHeaderSize + 12)
            return B_ILLEGAL_DATA;
        width = LittleEndian16(data + 18);
        height = LittleEndian16(data + 20);
    } else {
        if (length < kFileHeaderSize + 16)
            return B_ILLEGAL_DATA;
        width = (int32)LittleEndian32(data + 18);
        height = (int32)LittleEndian32(data + 22);
        if (height < 0)
            height = -height;
    }
    status_t status = PixelBuffer::CheckSize(width, height);
    if (status != B_OK)
        return status;
    if (length > INT_MAX)
        return B_NO_TRANSLATOR;

    SDL_RWops* stream = SDL_RWFromConstMem(data, (int)length);
    if (stream == NULL)
        return B_NO_MEMORY;
    Surface loaded(SDL_LoadBMP_RW(stream, 1));
    if (!loaded)
        return B_ILLEGAL_DATA;
    // ARGB8888 is B, G, R, A in memory on a little-endian host.
    static_assert(SDL_BYTEORDER == SDL_LIL_ENDIAN);
    Surface converted(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
    if (!converted)
        return B_NO_MEMORY;
    if (converted->w != width || converted->h != height)
        return B_ILLEGAL_DATA;

    status = pixels->Allocate(width, height);
    if (status != B_OK)
        return status;
    if (SDL_MUSTLOCK(converted.get()) && SDL_LockSurface(converted.get()) != 0)
        return B_ERROR;
    const uint8* source = static_cast<const uint8*>(converted->pixels);
    for (int32 y = 0; y < pixels->Height(); y++)
        memcpy(pixels->Row(y), source + (size_t)y * converted->pitch,
               (size_t)pixels->BytesPerRow());
    if (SDL_MUSTLOCK(converted.get()))
        SDL_UnlockSurface(converted.get());
    return B_OK;
}

} // namespace BPrivate
