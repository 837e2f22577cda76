#include <Font.h>

#include "interface/FontEngine.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace
{

// The system fonts are constant-initialised, so that they are usable from any
// constructor, whatever the order in which globals are set up. Their generic
// family names are resolved by fontconfig when text is measured or drawn.
constinit const BFont kPlainFont("sans-serif", "Regular", B_REGULAR_FACE, 10.0f);
constinit const BFont kBoldFont("sans-serif", "Bold", B_BOLD_FACE, 12.0f);
constinit const BFont kFixedFont("monospace", "Regular", B_REGULAR_FACE, 12.0f);

constexpr float kMaxSize = 10000.0f;

bool contains_word(const char* style, const char* word)
{
    return strcasestr(style, word) != nullptr;
}

uint16 face_of_style(const char* style)
{
    uint16 face = 0;
    if (contains_word(style, "bold") || contains_word(style, "heavy") ||
        contains_word(style, "black")) {
        face |= B_BOLD_FACE;
    }
    if (contains_word(style, "italic") || contains_word(style, "oblique"))
        face |= B_ITALIC_FACE;
    return face == 0 ? static_cast<uint16>(B_REGULAR_FACE) : face;
}

const char* style_of_face(uint16 face)
{
    bool bold = (face & B_BOLD_FACE) != 0;
    bool italic = (face & B_ITALIC_FACE) != 0;
    if (bold && italic)
        return "Bold Italic";
    if (bold)
        return "Bold";
    if (italic)
        return "Italic";
    return "Regular";
}

} // namespace

const BFont* be_plain_font = &kPlainFont;
const BFont* be_bold_font = &kBoldFont;
const BFont* be_fixed_font = &kFixedFont;

BFont::BFont() : BFont(*be_plain_font) {}

BFont::BFont(const BFont* font) : BFont(font != nullptr ? *font : *be_plain_font) {}

status_t BFont::SetFamilyAndStyle(const font_family family, const font_style style)
{
    if (family != nullptr) {
        if (!BPrivate::font_family_exists(family))
            return B_NAME_NOT_FOUND;
        copy_name(fFamily, family);
    }
    const char* newStyle = style != nullptr && style[0] != '\0' ? style : "Regular";
    copy_name(fStyle, newStyle);
    fFace = face_of_style(fStyle);
    return B_OK;
}

void BFont::GetFamilyAndStyle(font_family* family, font_style* style) const
{
    if (family != nullptr)
        copy_name(*family, fFamily);
    if (style != nullptr)
        copy_name(*style, fStyle);
}

status_t BFont::SetFamilyAndFace(const font_family family, uint16 face)
{
    if (family != nullptr) {
        if (!BPrivate::font_family_exists(family))
            return B_NAME_NOT_FOUND;
        copy_name(fFamily, family);
    }
    SetFace(face);
    return B_OK;
}

void BFont::SetSize(float size)
{
    if (std::isnan(size))
        return;
    fSize = std::fmin(std::fmax(size, 0.0f), kMaxSize);
}

void BFont::SetShear(float shear)
{
    if (std::isnan(shear))
        return;
    fShear = std::fmin(std::fmax(shear, 45.0f), 135.0f);
}

void BFont::SetRotation(float rotation)
{
    if (std::isfinite(rotation))
        fRotation = rotation;
}

void BFont::SetFace(uint16 face)
{
    fFace = face == 0 ? static_cast<uint16>(B_REGULAR_FACE) : face;
    copy_name(fStyle, style_of_face(fFace));
}

void BFont::SetFalseBoldWidth(float width)
{
    if (std::isfinite(width))
        fFalseBoldWidth = std::fmax(width, 0.0f);
}

bool BFont::IsFixed() const
{
    return BPrivate::font_is_fixed(*this);
}

float BFont::StringWidth(const char* string) const
{
    if (string == nullptr)
        return 0.0f;
    return BPrivate::string_width(*this, string, static_cast<int32>(strlen(string)));
}

float BFont::StringWidth(const char* string, int32 length) const
{
    return BPrivate::string_width(*this, string, length);
}

void BFont::GetStringWidths(const char* stringArray[], const int32 lengthArray[], int32 numStrings,
                            float widthArray[]) const
{
    if (stringArray == nullptr || lengthArray == nullptr || widthArray == nullptr)
        return;
    for (int32 i = 0; i < numStrings; i++)
        widthArray[i] = BPrivate::string_width(*this, stringArray[i], lengthArray[i]);
}

void BFont::GetHeight(font_height* height) const
{
    BPrivate::font_metrics(*this, height);
}

bool BFont::operator==(const BFont& font) const
{
    return strcmp(fFamily, font.fFamily) == 0 && strcmp(fStyle, font.fStyle) == 0 &&
           fSize == font.fSize && fShear == font.fShear && fRotation == font.fRotation &&
           fFalseBoldWidth == font.fFalseBoldWidth && fFlags == font.fFlags &&
           fFace == font.fFace && fSpacing == font.fSpacing && fEncoding == font.fEncoding;
}

void BFont::PrintToStream() const
{
    font_height height;
    GetHeight(&height);
    printf("BFont { %s, %s, 0x%x, %.1f/%.1f, %.1fpt (%.1f %.1f %.1f), %d }\n", fFamily, fStyle,
           fFace, fShear, fRotation, fSize, height.ascent, height.descent, height.leading,
           fEncoding);
}
