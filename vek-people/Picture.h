#ifndef VEK_PEOPLE_PICTURE_H
#define VEK_PEOPLE_PICTURE_H

// A person's picture as the client shows it: drawn at (4, 4) beside the log,
// which begins at x = 120, in a window at most 200 high.

#include <SupportDefs.h>

#include <string>

constexpr int32 kWidestPicture = 112;
constexpr int32 kTallestPicture = 190;
constexpr int32 kDefaultPictureSize = 96;

// A picture file in any format the client reads, turned upright by its EXIF
// orientation and scaled down to fit size x size (never up, never beyond
// the sizes above), with the name along its bottom edge if label; as PNG.
status_t ImportPicture(const char* path, const std::string& name, int32 size, bool label,
                       std::string* png, std::string* error);

// The person's initials on a colour taken from the name, the name along the
// bottom edge; size x size pixels, as PNG.
status_t MakePicture(const std::string& name, int32 size, std::string* png, std::string* error);

// A picture as the client finds it.
struct PictureState {
    bool exists = false;
    // The file's type, as the client reads it; the client shows only images.
    std::string type;
    bool isImage = false;
    bool decodes = false;
    int32 width = 0;
    int32 height = 0;
};

PictureState InspectPicture(const char* path);

// One line: "image/png 96 x 96", "missing", "not an image (text/plain)" …
std::string Describe(const PictureState& state);

#endif
