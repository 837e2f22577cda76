#include "TestPictures.h"

#include <jpeglib.h>
#include <png.h>
#include <stdio.h>

#include <functional>
#include <memory>
#include <vector>

namespace TestPictures
{

namespace
{

using RowMaker = std::function<void(std::vector<uint8_t>& row, int y)>;

// A PNG of `components` (3 RGB, 4 RGBA) bytes a pixel, its rows made one by one.
bool WritePngRows(const std::string& path, int width, int height, int components,
                  int compressionLevel, const RowMaker& makeRow)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8,
                 components == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (compressionLevel >= 0)
        png_set_compression_level(png, compressionLevel);
    png_write_info(png, info);
    std::vector<uint8_t> row((size_t)width * components);
    for (int y = 0; y < height; y++) {
        makeRow(row, y);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0;
}

// An RGB JPEG, its rows made one by one.
bool WriteJpegRows(const std::string& path, int width, int height, int quality,
                   const RowMaker& makeRow)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row((size_t)width * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        makeRow(row, (int)cinfo.next_scanline);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return fclose(file) == 0;
}

// Row y of the photo-like picture, R, G, B a pixel.
RowMaker PhotoRows(int width, int height)
{
    auto noise = std::make_shared<uint32_t>(1);
    return [=](std::vector<uint8_t>& row, int y) {
        for (int x = 0; x < width; x++) {
            bool inDisc = (x - width / 3) * (x - width / 3) + (y - height / 2) * (y - height / 2) <
                          (height / 4) * (height / 4);
            for (int c = 0; c < 3; c++) {
                *noise = *noise * 1103515245u + 12345u;
                int value = inDisc ? 40 + c * 70 : (x * 200 / width + y * 55 / height + c * 30);
                value += (int)((*noise >> 27) & 15) - 8;
                row[(size_t)x * 3 + c] = (uint8_t)(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    };
}

} // namespace

bool WritePng(const std::string& path, int width, int height, Color fill, Color corner)
{
    return WritePngRows(path, width, height, 4, -1, [&](std::vector<uint8_t>& row, int y) {
        for (int x = 0; x < width; x++) {
            Color c = x == 0 && y == 0 ? corner : fill;
            uint8_t* p = &row[(size_t)x * 4];
            p[0] = c.red;
            p[1] = c.green;
            p[2] = c.blue;
            p[3] = c.alpha;
        }
    });
}

bool WriteJpeg(const std::string& path, int width, int height, Color fill)
{
    return WriteJpegRows(path, width, height, 95, [&](std::vector<uint8_t>& row, int) {
        for (int x = 0; x < width; x++) {
            row[(size_t)x * 3] = fill.red;
            row[(size_t)x * 3 + 1] = fill.green;
            row[(size_t)x * 3 + 2] = fill.blue;
        }
    });
}

bool WritePhotoJpeg(const std::string& path, int width, int height)
{
    return WriteJpegRows(path, width, height, 90, PhotoRows(width, height));
}

bool WritePhotoPng(const std::string& path, int width, int height)
{
    return WritePngRows(path, width, height, 3, 3, PhotoRows(width, height));
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

bool WriteText(const std::string& path, const std::string& contents)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    return fclose(file) == 0 && written;
}

} // namespace TestPictures
