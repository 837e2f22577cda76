#ifndef PICTURE_WRITERS_H
#define PICTURE_WRITERS_H

// Pictures written in memory with the formats' own libraries, for the
// translation tests; and the decode step every test needs.

#include <Bitmap.h>
#include <BitmapStream.h>
#include <DataIO.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <SDL.h>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/encode.h>

#include <stdint.h>
#include <string.h>

#include <memory>
#include <vector>

namespace PictureWriters
{

using Bytes = std::vector<uint8_t>;

// `rows` are in libpng's layout for the colour type and depth.
inline Bytes WritePng(int width, int height, int colorType, int bitDepth, bool interlaced,
                      const Bytes& rows, const std::vector<png_color>& palette = {},
                      const Bytes& paletteAlpha = {})
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            auto* target = static_cast<Bytes*>(png_get_io_ptr(p));
            target->insert(target->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, bitDepth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), (int)palette.size());
    if (!paletteAlpha.empty())
        png_set_tRNS(png, info, paletteAlpha.data(), (int)paletteAlpha.size(), nullptr);
    png_write_info(png, info);
    size_t rowBytes = rows.size() / height;
    std::vector<png_bytep> pointers(height);
    for (int y = 0; y < height; y++)
        pointers[y] = const_cast<png_bytep>(rows.data() + y * rowBytes);
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// `pixels` holds `components` bytes a pixel: 1 gray, 3 RGB, 4 CMYK.
inline Bytes WriteJpeg(int width, int height, int components, const Bytes& pixels,
                       bool progressive = false)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 98, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(pixels.data() + cinfo.next_scanline * width * components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

struct GifFrame {
    int left, top, width, height;
    bool interlaced;
    int transparentIndex; // NO_TRANSPARENT_COLOR for none
    Bytes indices;        // width × height, top to bottom
};

inline Bytes WriteGif(int screenWidth, int screenHeight, const std::vector<GifColorType>& colors,
                      const std::vector<GifFrame>& frames)
{
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* g, const GifByteType* data, int length) {
            auto* target = static_cast<Bytes*>(g->UserData);
            target->insert(target->end(), data, data + length);
            return length;
        },
        &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject((int)colors.size(), colors.data());
    EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, map);
    for (const GifFrame& frame : frames) {
        GraphicsControlBlock control = {};
        control.TransparentColor = frame.transparentIndex;
        GifByteType extension[4];
        size_t length = EGifGCBToExtension(&control, extension);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, (int)length, extension);
        EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced,
                         nullptr);
        static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < (frame.interlaced ? 4 : 1); pass++) {
            int start = frame.interlaced ? kStart[pass] : 0;
            int step = frame.interlaced ? kStep[pass] : 1;
            for (int y = start; y < frame.height; y += step) {
                EGifPutLine(gif, const_cast<GifPixelType*>(&frame.indices[y * frame.width]),
                            frame.width);
            }
        }
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    return out;
}

// `bgra` is B, G, R, A a pixel.
inline Bytes WriteWebp(int width, int height, const Bytes& bgra, bool lossless)
{
    uint8_t* output = nullptr;
    size_t size = lossless ? WebPEncodeLosslessBGRA(bgra.data(), width, height, width * 4, &output)
                           : WebPEncodeBGRA(bgra.data(), width, height, width * 4, 95, &output);
    Bytes out(output, output + size);
    WebPFree(output);
    return out;
}

inline Bytes WriteBmp(SDL_Surface* surface)
{
    Bytes buffer((size_t)surface->pitch * surface->h * 2 + 4096);
    SDL_RWops* stream = SDL_RWFromMem(buffer.data(), (int)buffer.size());
    SDL_SaveBMP_RW(surface, stream, 0);
    buffer.resize((size_t)SDL_RWtell(stream));
    SDL_RWclose(stream);
    return buffer;
}

// The CRC of PNG chunks (ISO 3309).
inline uint32_t Crc32(const uint8_t* data, size_t length)
{
    uint32_t crc = 0xffffffff;
    for (size_t i = 0; i < length; i++) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; bit++)
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

// Decodes through the default roster into a bitmap; the status of Translate.
inline status_t Decode(const Bytes& data, std::unique_ptr<BBitmap>* bitmap)
{
    BMemoryIO source(data.data(), data.size());
    BBitmapStream stream;
    status_t status = BTranslatorRoster::Default()->Translate(&source, nullptr, nullptr, &stream,
                                                              B_TRANSLATOR_BITMAP);
    if (status != B_OK)
        return status;
    BBitmap* result = nullptr;
    status = stream.DetachBitmap(&result);
    bitmap->reset(result);
    return status;
}

// B, G, R, A of a pixel of a B_RGBA32 bitmap.
inline std::vector<int> PixelAt(const BBitmap& bitmap, int x, int y)
{
    const uint8_t* pixel =
        static_cast<const uint8_t*>(bitmap.Bits()) + y * bitmap.BytesPerRow() + x * 4;
    return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

} // namespace PictureWriters

#endif
