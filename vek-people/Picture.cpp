#include "Picture.h"

#include <Bitmap.h>
#include <BitmapStream.h>
#include <Entry.h>
#include <File.h>
#include <Font.h>
#include <Node.h>
#include <NodeInfo.h>
#include <TranslatorRoster.h>
#include <View.h>

#include <libexif/exif-data.h>
#include <pixman.h>
#include <png.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace
{

struct PixmanImageDeleter {
    void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using PixmanImage = std::unique_ptr<pixman_image_t, PixmanImageDeleter>;

std::unique_ptr<BBitmap> Decode(const char* path)
{
    BFile file(path, B_READ_ONLY);
    if (file.InitCheck() != B_OK)
        return nullptr;
    BBitmapStream stream;
    if (BTranslatorRoster::Default()->Translate(&file, NULL, NULL, &stream, B_TRANSLATOR_BITMAP) <
        B_OK)
        return nullptr;
    BBitmap* bitmap = NULL;
    if (stream.DetachBitmap(&bitmap) != B_OK)
        return nullptr;
    return std::unique_ptr<BBitmap>(bitmap);
}

// EXIF orientation 1 to 8; 1 (upright) when the file says nothing.
int Orientation(const char* path)
{
    ExifData* data = exif_data_new_from_file(path);
    if (data == nullptr)
        return 1;
    int orientation = 1;
    if (ExifEntry* entry = exif_data_get_entry(data, EXIF_TAG_ORIENTATION)) {
        if (entry->format == EXIF_FORMAT_SHORT && entry->components == 1) {
            int value = exif_get_short(entry->data, exif_data_get_byte_order(data));
            if (value >= 1 && value <= 8)
                orientation = value;
        }
    }
    exif_data_unref(data);
    return orientation;
}

// Pixels as B, G, R, A bytes (little-endian a8r8g8b8, as pixman reads them),
// in a bitmap that views draw into. Its rows are exactly width * 4 bytes.
struct Pixels {
    std::unique_ptr<BBitmap> bitmap;
    int32 width = 0;
    int32 height = 0;

    // All zero; false without memory for them.
    bool Allocate(int32 newWidth, int32 newHeight)
    {
        bitmap = std::make_unique<BBitmap>(BRect(0, 0, newWidth - 1, newHeight - 1),
                                           B_BITMAP_ACCEPTS_VIEWS, B_RGBA32);
        if (bitmap->InitCheck() != B_OK) {
            bitmap.reset();
            return false;
        }
        width = newWidth;
        height = newHeight;
        return true;
    }
    uint8* Bytes() const { return static_cast<uint8*>(bitmap->Bits()); }
    uint32* Words() const { return static_cast<uint32*>(bitmap->Bits()); }
    size_t Count() const { return (size_t)width * height; }
};

bool ToPixels(const BBitmap& bitmap, Pixels* pixels)
{
    BRect bounds = bitmap.Bounds();
    if (!pixels->Allocate(bounds.IntegerWidth() + 1, bounds.IntegerHeight() + 1) ||
        pixels->bitmap->ImportBits(&bitmap) != B_OK)
        return false;
    bool hasAlpha = bitmap.ColorSpace() == B_RGBA32;
    // pixman blends premultiplied colours.
    uint8* bytes = pixels->Bytes();
    for (size_t i = 0; i < pixels->Count(); i++) {
        uint8* pixel = bytes + i * 4;
        if (!hasAlpha)
            pixel[3] = 255;
        else if (pixel[3] != 255) {
            for (int c = 0; c < 3; c++)
                pixel[c] = (pixel[c] * pixel[3] + 127) / 255;
        }
    }
    return true;
}

void Unpremultiply(Pixels* pixels)
{
    uint8* bytes = pixels->Bytes();
    for (size_t i = 0; i < pixels->Count(); i++) {
        uint8* pixel = bytes + i * 4;
        if (pixel[3] == 0 || pixel[3] == 255)
            continue;
        for (int c = 0; c < 3; c++) {
            int value = (pixel[c] * 255 + pixel[3] / 2) / pixel[3];
            pixel[c] = value > 255 ? 255 : value;
        }
    }
}

// Turns the picture upright and scales it down into a box of the given size
// with one pass of pixman's area filter; no pixels without memory for them. Where a destination
// pixel's centre comes from in the stored picture, for each EXIF orientation: x' = a x + b y + c w,
// y' = d x + e y + f h (x, y in the upright picture).
Pixels Arrange(Pixels& source, int orientation, int32 boxWidth, int32 boxHeight)
{
    static const int kMap[9][6] = {
        {1, 0, 0, 0, 1, 0},   {1, 0, 0, 0, 1, 0},   {-1, 0, 1, 0, 1, 0},
        {-1, 0, 1, 0, -1, 1}, {1, 0, 0, 0, -1, 1},  {0, 1, 0, 1, 0, 0},
        {0, 1, 0, -1, 0, 1},  {0, -1, 1, -1, 0, 1}, {0, -1, 1, 1, 0, 0},
    };
    const int* m = kMap[orientation];
    bool turned = orientation >= 5;
    double uprightWidth = turned ? source.height : source.width;
    double uprightHeight = turned ? source.width : source.height;

    double scale = std::min({1.0, boxWidth / uprightWidth, boxHeight / uprightHeight});
    Pixels result;
    if (!result.Allocate(std::max<int32>(1, lround(uprightWidth * scale)),
                         std::max<int32>(1, lround(uprightHeight * scale))))
        return result;
    double kx = uprightWidth / result.width;
    double ky = uprightHeight / result.height;

    struct pixman_f_transform f;
    pixman_f_transform_init_identity(&f);
    f.m[0][0] = m[0] * kx;
    f.m[0][1] = m[1] * ky;
    f.m[0][2] = m[2] * (double)source.width;
    f.m[1][0] = m[3] * kx;
    f.m[1][1] = m[4] * ky;
    f.m[1][2] = m[5] * (double)source.height;
    pixman_transform_t transform;
    pixman_transform_from_pixman_f_transform(&transform, &f);

    PixmanImage from(pixman_image_create_bits(PIXMAN_a8r8g8b8, source.width, source.height,
                                              source.Words(), source.width * 4));
    PixmanImage to(pixman_image_create_bits(PIXMAN_a8r8g8b8, result.width, result.height,
                                            result.Words(), result.width * 4));
    pixman_image_set_transform(from.get(), &transform);
    pixman_image_set_repeat(from.get(), PIXMAN_REPEAT_PAD);
    if (kx > 1.0 || ky > 1.0) {
        // The filter runs along the stored picture's axes.
        double alongX = turned ? ky : kx;
        double alongY = turned ? kx : ky;
        int count = 0;
        pixman_fixed_t* parameters = pixman_filter_create_separable_convolution(
            &count, pixman_double_to_fixed(alongX), pixman_double_to_fixed(alongY),
            PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 4, 4);
        pixman_image_set_filter(from.get(), PIXMAN_FILTER_SEPARABLE_CONVOLUTION, parameters, count);
        free(parameters);
    } else {
        // Only turned: every pixel lands on a pixel.
        pixman_image_set_filter(from.get(), PIXMAN_FILTER_NEAREST, NULL, 0);
    }
    pixman_image_composite32(PIXMAN_OP_SRC, from.get(), NULL, to.get(), 0, 0, 0, 0, 0, 0,
                             result.width, result.height);
    return result;
}

// Bytes of the UTF-8 character at text[at] (names are checked to be UTF-8).
int32 CharacterLength(const std::string& text, size_t at)
{
    size_t end = at + 1;
    while (end < text.size() && (text[end] & 0xC0) == 0x80)
        end++;
    return (int32)(end - at);
}

// Draws on the pixels through a view, as a program draws into a bitmap.
template <typename Drawing> void DrawOn(Pixels& pixels, Drawing draw)
{
    BBitmap& bitmap = *pixels.bitmap;
    BView view(bitmap.Bounds(), "picture", B_FOLLOW_NONE, 0);
    bitmap.Lock();
    bitmap.AddChild(&view);
    draw(&view);
    view.Sync();
    bitmap.RemoveChild(&view);
    bitmap.Unlock();
}

// text cut, at a character's end, with "…" so that it is at most width wide.
std::string Fitted(const BFont& font, const std::string& text, float width)
{
    if (font.StringWidth(text.c_str()) <= width)
        return text;
    std::string cut;
    for (size_t at = 0; at < text.size();) {
        int32 length = CharacterLength(text, at);
        std::string longer = text.substr(0, at + length) + "…";
        if (font.StringWidth(longer.c_str()) > width)
            break;
        cut = longer;
        at += length;
    }
    return cut;
}

// The name on a dark band along the bottom edge, in the system's plain font.
void DrawLabel(BView* view, const std::string& name)
{
    float width = view->Bounds().Width() + 1;
    float height = view->Bounds().Height() + 1;
    BFont font(be_plain_font);
    font.SetSize(width >= 64 ? 11 : 9);
    // A long name takes a smaller size before it is cut.
    while (font.StringWidth(name.c_str()) > width - 4 && font.Size() > 8)
        font.SetSize(font.Size() - 1);
    std::string text = Fitted(font, name, width - 4);
    view->SetFont(&font);
    font_height metrics;
    font.GetHeight(&metrics);
    float band = ceilf(metrics.ascent + metrics.descent) + 3;
    view->SetDrawingMode(B_OP_ALPHA);
    view->SetHighColor(0, 0, 0, 150);
    view->FillRect(BRect(0, height - band, width - 1, height - 1));
    view->SetHighColor(255, 255, 255);
    float x = floorf((width - view->StringWidth(text.c_str())) / 2);
    view->DrawString(text.c_str(), BPoint(x, height - 2 - ceilf(metrics.descent)));
}

void WritePng(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append((const char*)data, length);
}

void FlushPng(png_structp) {}

status_t EncodePng(Pixels& pixels, std::string* png, std::string* error)
{
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
    png_infop info = writer != NULL ? png_create_info_struct(writer) : NULL;
    if (info == NULL) {
        png_destroy_write_struct(&writer, NULL);
        *error = "out of memory";
        return B_NO_MEMORY;
    }
    png->clear();
    if (setjmp(png_jmpbuf(writer))) {
        png_destroy_write_struct(&writer, &info);
        *error = "cannot write the picture as PNG";
        return B_ERROR;
    }
    png_set_write_fn(writer, png, WritePng, FlushPng);
    png_set_IHDR(writer, info, pixels.width, pixels.height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer, info);
    png_set_bgr(writer);
    uint8* bytes = pixels.Bytes();
    for (int32 y = 0; y < pixels.height; y++)
        png_write_row(writer, bytes + (size_t)y * pixels.width * 4);
    png_write_end(writer, info);
    png_destroy_write_struct(&writer, &info);
    return B_OK;
}

int32 BoxWidth(int32 size)
{
    return std::min(size, kWidestPicture);
}

int32 BoxHeight(int32 size)
{
    return std::min(size, kTallestPicture);
}

// A colour of its own for each name: the hue from the name's bytes.
rgb_color ColourOf(const std::string& name)
{
    uint32 hash = 2166136261u;
    for (unsigned char c : name)
        hash = (hash ^ c) * 16777619u;
    double hue = (hash % 360) / 60.0;
    double value = 0.62, chroma = value * 0.55;
    double x = chroma * (1 - fabs(fmod(hue, 2) - 1));
    double r = 0, g = 0, b = 0;
    switch ((int)hue) {
    case 0:
        r = chroma, g = x;
        break;
    case 1:
        r = x, g = chroma;
        break;
    case 2:
        g = chroma, b = x;
        break;
    case 3:
        g = x, b = chroma;
        break;
    case 4:
        r = x, b = chroma;
        break;
    default:
        r = chroma, b = x;
        break;
    }
    double m = value - chroma;
    return rgb_color{(uint8)lround((r + m) * 255), (uint8)lround((g + m) * 255),
                     (uint8)lround((b + m) * 255), 255};
}

// The first character of the first and of the last word.
std::string Initials(const std::string& name)
{
    std::vector<size_t> starts;
    size_t first = name.find_first_not_of(' ');
    if (first != std::string::npos)
        starts.push_back(first);
    size_t last = name.rfind(' ');
    if (last != std::string::npos && last > first && last + 1 < name.size())
        starts.push_back(last + 1);
    std::string initials;
    for (size_t at : starts) {
        std::string character = name.substr(at, CharacterLength(name, at));
        if (character.size() == 1)
            character[0] = toupper((unsigned char)character[0]);
        initials += character;
    }
    return initials;
}

} // namespace

status_t ImportPicture(const char* path, const std::string& name, int32 size, bool label,
                       std::string* png, std::string* error)
{
    std::unique_ptr<BBitmap> bitmap = Decode(path);
    Pixels source;
    if (bitmap == nullptr || !ToPixels(*bitmap, &source)) {
        *error = std::string(path) + " is no picture that can be read (PNG, JPEG, GIF, WebP, BMP)";
        return B_NO_TRANSLATOR;
    }
    bitmap.reset();
    Pixels pixels = Arrange(source, Orientation(path), BoxWidth(size), BoxHeight(size));
    source = Pixels();
    if (!pixels.bitmap) {
        *error = "out of memory";
        return B_NO_MEMORY;
    }
    Unpremultiply(&pixels);
    if (label)
        DrawOn(pixels, [&](BView* view) { DrawLabel(view, name); });
    return EncodePng(pixels, png, error);
}

status_t MakePicture(const std::string& name, int32 size, std::string* png, std::string* error)
{
    Pixels pixels;
    if (!pixels.Allocate(BoxWidth(size), BoxHeight(size))) {
        *error = "out of memory";
        return B_NO_MEMORY;
    }
    DrawOn(pixels, [&](BView* view) {
        view->SetHighColor(ColourOf(name));
        view->FillRect(view->Bounds());
        BFont font(be_bold_font);
        font.SetSize(floorf(pixels.height * 0.38f));
        view->SetFont(&font);
        std::string initials = Initials(name);
        font_height height;
        font.GetHeight(&height);
        // Centred in the part above the label.
        float above = pixels.height - 16;
        float x = floorf((pixels.width - view->StringWidth(initials.c_str())) / 2);
        view->SetHighColor(255, 255, 255);
        view->DrawString(initials.c_str(),
                         BPoint(x, floorf((above + height.ascent - height.descent) / 2)));
        DrawLabel(view, name);
    });
    return EncodePng(pixels, png, error);
}

PictureState InspectPicture(const char* path)
{
    PictureState state;
    BEntry entry(path);
    state.exists = entry.Exists();
    if (!state.exists)
        return state;
    BNode node(path);
    BNodeInfo info(&node);
    char type[B_MIME_TYPE_LENGTH + 1] = "";
    if (node.InitCheck() == B_OK && info.GetType(type) == B_OK)
        state.type = type;
    state.isImage = strstr(type, "image") != NULL;
    if (!state.isImage)
        return state;
    std::unique_ptr<BBitmap> bitmap = Decode(path);
    state.decodes = bitmap != nullptr;
    if (state.decodes) {
        state.width = bitmap->Bounds().IntegerWidth() + 1;
        state.height = bitmap->Bounds().IntegerHeight() + 1;
    }
    return state;
}

std::string Describe(const PictureState& state)
{
    if (!state.exists)
        return "missing";
    if (!state.isImage)
        return "not an image (" + (state.type.empty() ? std::string("no type") : state.type) + ")";
    if (!state.decodes)
        return state.type + ", cannot be decoded";
    return state.type + " " + std::to_string(state.width) + " x " + std::to_string(state.height);
}
