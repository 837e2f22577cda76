#ifndef VEK_TESTS_SUPPORT_TEST_PICTURES_H
#define VEK_TESTS_SUPPORT_TEST_PICTURES_H

// Pictures for tests and benchmarks, written with the formats' own libraries: in memory,
// with the format's options at hand, or as files of one colour or of photo-like content.

#include <gif_lib.h>
#include <png.h>

#include <stdint.h>

#include <string>
#include <vector>

struct SDL_Surface;

namespace TestPictures
{

using Bytes = std::vector<uint8_t>;

struct Color {
    uint8_t red, green, blue, alpha;
};

// `rows` are in libpng's layout for the colour type and depth; a compression level
// below 0 is libpng's default.
Bytes EncodePng(int width, int height, int colorType, int bitDepth, bool interlaced,
                const Bytes& rows, const std::vector<png_color>& palette = {},
                const Bytes& paletteAlpha = {}, int compressionLevel = -1);

// `pixels` holds `components` bytes a pixel: 1 gray, 3 RGB, 4 CMYK.
Bytes EncodeJpeg(int width, int height, int components, const Bytes& pixels,
                 bool progressive = false, int quality = 98);

struct GifFrame {
    int left, top, width, height;
    bool interlaced;
    int transparentIndex; // NO_TRANSPARENT_COLOR for none
    Bytes indices;        // width × height, top to bottom
};

Bytes EncodeGif(int screenWidth, int screenHeight, const std::vector<GifColorType>& colors,
                const std::vector<GifFrame>& frames);

// `bgra` is B, G, R, A a pixel.
Bytes EncodeWebp(int width, int height, const Bytes& bgra, bool lossless);

// SDL's own BMP writer.
Bytes EncodeBmp(SDL_Surface* surface);

// The CRC of PNG chunks (ISO 3309), for tests that change a chunk.
uint32_t Crc32(const uint8_t* data, size_t length);

bool WriteFile(const std::string& path, const Bytes& bytes);
bool WriteText(const std::string& path, const std::string& contents);

// A width x height PNG filled with one colour; the pixel at (0, 0) gets `corner`.
bool WritePng(const std::string& path, int width, int height, Color fill, Color corner);
inline bool WritePng(const std::string& path, int width, int height, Color fill)
{
    return WritePng(path, width, height, fill, fill);
}

// A width x height JPEG of one colour (quality 95).
bool WriteJpeg(const std::string& path, int width, int height, Color fill);

// Photo-like pictures: smooth shading, edges and noise in every channel, so
// that they compress as camera pictures do. RGB.
bool WritePhotoJpeg(const std::string& path, int width, int height);
bool WritePhotoPng(const std::string& path, int width, int height);

// libjpeg-turbo's own decode of a file into `colorSpace` (a J_COLOR_SPACE, such
// as JCS_EXT_BGRA), rows without padding; empty when the file cannot be opened.
std::vector<uint8_t> DecodeJpeg(const std::string& path, int colorSpace, int* width, int* height);

} // namespace TestPictures

#endif
