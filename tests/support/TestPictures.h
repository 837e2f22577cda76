#ifndef TEST_PICTURES_H
#define TEST_PICTURES_H

#include <stdint.h>

#include <string>
#include <vector>

// Picture files for tests, written with the real libraries.
namespace TestPictures
{

struct Color {
    uint8_t red, green, blue, alpha;
};

// A width x height PNG filled with one colour; the pixel at (0, 0) gets `corner`.
bool WritePng(const std::string& path, int width, int height, Color fill, Color corner);
inline bool WritePng(const std::string& path, int width, int height, Color fill)
{
    return WritePng(path, width, height, fill, fill);
}

// A width x height JPEG of one colour (quality 95).
bool WriteJpeg(const std::string& path, int width, int height, Color fill);

// Photo-like pictures: smooth shading, edges and noise in every channel, so
// that they compress as camera pictures do. RGB, written row by row.
bool WritePhotoJpeg(const std::string& path, int width, int height);
bool WritePhotoPng(const std::string& path, int width, int height);

// libjpeg-turbo's own decode of a file into `colorSpace` (a J_COLOR_SPACE, such
// as JCS_EXT_BGRA), rows without padding; empty when the file cannot be opened.
std::vector<uint8_t> DecodeJpeg(const std::string& path, int colorSpace, int* width, int* height);

bool WriteText(const std::string& path, const std::string& contents);

} // namespace TestPictures

#endif
