#include "TestPictures.h"

#include <SDL.h>
#include <jpeglib.h>
#include <webp/encode.h>

#include <stdio.h>
#include <stdlib.h>

namespace TestPictures
{

namespace
{

// One colour a pixel, in `components` bytes (3 RGB, 4 RGBA), with `corner` at (0, 0).
Bytes Filled(int width, int height, int components, Color fill, Color corner)
{
    Bytes pixels;
    pixels.reserve((size_t)width * height * components);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            Color c = x == 0 && y == 0 ? corner : fill;
            const uint8_t channels[4] = {c.red, c.green, c.blue, c.alpha};
            pixels.insert(pixels.end(), channels, channels + components);
        }
    }
    return pixels;
}

// R, G, B a pixel: a disc on shading, with noise in every channel.
Bytes Photo(int width, int height)
{
    Bytes pixels((size_t)width * height * 3);
    uint32_t noise = 1;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            bool inDisc = (x - width / 3) * (x - width / 3) + (y - height / 2) * (y - height / 2) <
                          (height / 4) * (height / 4);
            for (int c = 0; c < 3; c++) {
                noise = noise * 1103515245u + 12345u;
                int value = inDisc ? 40 + c * 70 : (x * 200 / width + y * 55 / height + c * 30);
                value += (int)((noise >> 27) & 15) - 8;
                pixels[((size_t)y * width + x) * 3 + c] = (uint8_t)(value < 0     ? 0
                                                                    : value > 255 ? 255
                                                                                  : value);
            }
        }
    }
    return pixels;
}

} // namespace

Bytes EncodePng(int width, int height, int colorType, int bitDepth, bool interlaced,
                const Bytes& rows, const std::vector<png_color>& palette, const Bytes& paletteAlpha,
                int compressionLevel)
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
    if (compressionLevel >= 0)
        png_set_compression_level(png, compressionLevel);
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

Bytes EncodeJpeg(int width, int height, int components, const Bytes& pixels, bool progressive,
                 int quality)
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
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(pixels.data() + (size_t)cinfo.next_scanline * width * components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

Bytes EncodeGif(int screenWidth, int screenHeight, const std::vector<GifColorType>& colors,
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

Bytes EncodeWebp(int width, int height, const Bytes& bgra, bool lossless)
{
    uint8_t* output = nullptr;
    size_t size = lossless ? WebPEncodeLosslessBGRA(bgra.data(), width, height, width * 4, &output)
                           : WebPEncodeBGRA(bgra.data(), width, height, width * 4, 95, &output);
    Bytes out(output, output + size);
    WebPFree(output);
    return out;
}

Bytes EncodeBmp(SDL_Surface* surface)
{
    Bytes buffer((size_t)surface->pitch * surface->h * 2 + 4096);
    SDL_RWops* stream = SDL_RWFromMem(buffer.data(), (int)buffer.size());
    SDL_SaveBMP_RW(surface, stream, 0);
    buffer.resize((size_t)SDL_RWtell(stream));
    SDL_RWclose(stream);
    return buffer;
}

uint32_t Crc32(const uint8_t* data, size_t length)
{
    uint32_t crc = 0xffffffff;
    for (size_t i = 0; i < length; i++) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; bit++)
            crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

bool WriteFile(const std::string& path, const Bytes& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written && !bytes.empty();
}

bool WriteText(const std::string& path, const std::string& contents)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    return fclose(file) == 0 && written;
}

bool WritePng(const std::string& path, int width, int height, Color fill, Color corner)
{
    return WriteFile(path, EncodePng(width, height, PNG_COLOR_TYPE_RGBA, 8, false,
                                     Filled(width, height, 4, fill, corner)));
}

bool WriteJpeg(const std::string& path, int width, int height, Color fill)
{
    return WriteFile(path,
                     EncodeJpeg(width, height, 3, Filled(width, height, 3, fill, fill), false, 95));
}

bool WritePhotoJpeg(const std::string& path, int width, int height)
{
    return WriteFile(path, EncodeJpeg(width, height, 3, Photo(width, height), false, 90));
}

bool WritePhotoPng(const std::string& path, int width, int height)
{
    return WriteFile(path, EncodePng(width, height, PNG_COLOR_TYPE_RGB, 8, false,
                                     Photo(width, height), {}, {}, 3));
}

std::vector<uint8_t> DecodeJpeg(const std::string& path, int colorSpace, int* width, int* height)
{
    std::vector<uint8_t> pixels;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr)
        return pixels;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = (J_COLOR_SPACE)colorSpace;
    jpeg_start_decompress(&cinfo);
    size_t rowBytes = (size_t)cinfo.output_width * cinfo.output_components;
    pixels.resize(rowBytes * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &pixels[(size_t)cinfo.output_scanline * rowBytes];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    *width = (int)cinfo.output_width;
    *height = (int)cinfo.output_height;
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    fclose(file);
    return pixels;
}

} // namespace TestPictures
