#include "TestPictures.h"

#include <jpeglib.h>
#include <png.h>
#include <stdio.h>

#include <vector>

namespace TestPictures {

bool WritePng(const std::string& path, int width, int height, Color fill, Color corner)
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
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row((size_t)width * 4);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            Color c = x == 0 && y == 0 ? corner : fill;
            uint8_t* p = &row[(size_t)x * 4];
            p[0] = c.red;
            p[1] = c.green;
            p[2] = c.blue;
            p[3] = c.alpha;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0;
}

bool WriteJpeg(const std::string& path, int width, int height, Color fill)
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
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row((size_t)width * 3);
    for (int x = 0; x < width; x++) {
        row[(size_t)x * 3] = fill.red;
        row[(size_t)x * 3 + 1] = fill.green;
        row[(size_t)x * 3 + 2] = fill.blue;
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return fclose(file) == 0;
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
