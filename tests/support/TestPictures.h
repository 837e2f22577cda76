#ifndef TEST_PICTURES_H
#define TEST_PICTURES_H

#include <stdint.h>

#include <string>

// Picture files for tests, written with the real libraries.
namespace TestPictures {

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

bool WriteText(const std::string& path, const std::string& contents);

} // namespace TestPictures

#endif
