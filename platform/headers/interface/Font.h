#ifndef _FONT_H
#define _FONT_H

#include <InterfaceDefs.h>
#include <SupportDefs.h>

#define B_FONT_FAMILY_LENGTH 63
#define B_FONT_STYLE_LENGTH 63

typedef char font_family[B_FONT_FAMILY_LENGTH + 1];
typedef char font_style[B_FONT_STYLE_LENGTH + 1];

struct font_height {
    float ascent;
    float descent;
    float leading;
};

// Extra room DrawString puts after each character (space: after blanks).
struct escapement_delta {
    float nonspace;
    float space;
};

// Which attributes SetFontAndColor and friends copy.
enum {
    B_FONT_FAMILY_AND_STYLE = 0x00000001,
    B_FONT_SIZE = 0x00000002,
    B_FONT_SHEAR = 0x00000004,
    B_FONT_ROTATION = 0x00000008,
    B_FONT_SPACING = 0x00000010,
    B_FONT_ENCODING = 0x00000020,
    B_FONT_FACE = 0x00000040,
    B_FONT_FLAGS = 0x00000080,
#ifdef B_ZETA_VERSION
    B_FONT_FALSE_BOLD_WIDTH = 0x00000100,
    B_FONT_ALL = 0x000001FF,
#else
    B_FONT_ALL = 0x000000FF,
#endif
};

// Faces.
enum {
    B_ITALIC_FACE = 0x0001,
    B_UNDERSCORE_FACE = 0x0002,
    B_NEGATIVE_FACE = 0x0004,
    B_OUTLINED_FACE = 0x0008,
    B_STRIKEOUT_FACE = 0x0010,
    B_BOLD_FACE = 0x0020,
    B_REGULAR_FACE = 0x0040,
};

// Spacing modes.
enum {
    B_CHAR_SPACING = 0,
    B_STRING_SPACING = 1,
    B_BITMAP_SPACING = 2,
    B_FIXED_SPACING = 3,
};

// Encodings.
enum {
    B_UNICODE_UTF8 = 0,
    B_ISO_8859_1 = 1,
};

// Flags.
enum {
    B_DISABLE_ANTIALIASING = 0x00000001,
    B_FORCE_ANTIALIASING = 0x00000002,
};

// A font as a value: family, style, size in points (one point one pixel) and
// the rendering attributes. Faces are looked up with fontconfig when drawn.
class BFont
{
public:
    BFont();
    BFont(const BFont& font) = default;
    BFont(const BFont* font);
    BFont& operator=(const BFont& font) = default;

    // For the system fonts, which must be usable before any constructor ran.
    constexpr BFont(const char* family, const char* style, uint16 face, float size)
        : fFamily(), fStyle(), fSize(size), fFace(face)
    {
        copy_name(fFamily, family);
        copy_name(fStyle, style);
    }

    status_t SetFamilyAndStyle(const font_family family, const font_style style);
    void GetFamilyAndStyle(font_family* family, font_style* style) const;
    status_t SetFamilyAndFace(const font_family family, uint16 face);

    void SetSize(float size);
    float Size() const { return fSize; }
    void SetShear(float shear);
    float Shear() const { return fShear; }
    void SetRotation(float rotation);
    float Rotation() const { return fRotation; }
    void SetSpacing(uint8 spacing) { fSpacing = spacing; }
    uint8 Spacing() const { return fSpacing; }
    void SetEncoding(uint8 encoding) { fEncoding = encoding; }
    uint8 Encoding() const { return fEncoding; }
    void SetFace(uint16 face);
    uint16 Face() const { return fFace; }
    void SetFlags(uint32 flags) { fFlags = flags; }
    uint32 Flags() const { return fFlags; }
#ifdef B_ZETA_VERSION
    void SetFalseBoldWidth(float width);
    float FalseBoldWidth() const
    {
        return fFalseBoldWidth;
    }
#endif

    bool IsFixed() const;
    float StringWidth(const char* string) const;
    float StringWidth(const char* string, int32 length) const;
    void GetStringWidths(const char* stringArray[], const int32 lengthArray[], int32 numStrings,
                         float widthArray[]) const;
    void GetHeight(font_height* height) const;

    bool operator==(const BFont& font) const;
    bool operator!=(const BFont& font) const
    {
        return !(*this == font);
    }

    void PrintToStream() const;

private:
    static constexpr void copy_name(char* to, const char* from)
    {
        int32 i = 0;
        for (; from != nullptr && from[i] != '\0' && i < B_FONT_FAMILY_LENGTH; i++)
            to[i] = from[i];
        to[i] = '\0';
    }

    font_family fFamily;
    font_style fStyle;
    float fSize = 12.0f;
    float fShear = 90.0f;
    float fRotation = 0.0f;
    float fFalseBoldWidth = 0.0f;
    uint32 fFlags = 0;
    uint16 fFace = B_REGULAR_FACE;
    uint8 fSpacing = B_CHAR_SPACING;
    uint8 fEncoding = B_UNICODE_UTF8;
};

extern const BFont* be_plain_font;
extern const BFont* be_bold_font;
extern const BFont* be_fixed_font;

#endif
