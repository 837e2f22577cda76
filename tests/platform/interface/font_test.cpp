#include <Font.h>

#include "server/DisplayProtocol.h"
#include "interface/FontEngine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace
{

// Built while globals are set up: the system fonts must already be whole.
const BFont gEarlyFixedCopy(be_fixed_font);

struct TestCanvas {
    std::vector<uint8> pixels;
    BPrivate::Canvas canvas;

    TestCanvas(int32 width, int32 height) : pixels(static_cast<size_t>(width) * height * 4, 255)
    {
        canvas.bits = pixels.data();
        canvas.width = width;
        canvas.height = height;
        canvas.bytesPerRow = width * 4;
        canvas.clip = BRect(0, 0, width - 1, height - 1);
    }

    const uint8* At(int32 x, int32 y) const
    {
        return pixels.data() + static_cast<size_t>(y) * canvas.bytesPerRow + x * 4;
    }

    bool IsDark(int32 x, int32 y) const
    {
        const uint8* p = At(x, y);
        return p[0] < 128 && p[1] < 128 && p[2] < 128;
    }

    // The bounding box of dark pixels; invalid when there are none.
    BRect DarkBox() const
    {
        BRect box(1e9, 1e9, -1e9, -1e9);
        for (int32 y = 0; y < canvas.height; y++) {
            for (int32 x = 0; x < canvas.width; x++) {
                if (IsDark(x, y))
                    box = box.IsValid() ? box | BRect(x, y, x, y) : BRect(x, y, x, y);
            }
        }
        return box;
    }
};

TEST(Font, SystemFontsAreUsableDuringStaticInitialisation)
{
    EXPECT_EQ(gEarlyFixedCopy, *be_fixed_font);
    EXPECT_GT(gEarlyFixedCopy.Size(), 0.0f);
    EXPECT_GT(gEarlyFixedCopy.StringWidth("abc"), 0.0f);
    BFont plain;
    EXPECT_EQ(plain, *be_plain_font);
    EXPECT_EQ(BFont(static_cast<const BFont*>(nullptr)), *be_plain_font);
    EXPECT_NE(*be_bold_font, *be_plain_font);
    EXPECT_TRUE(be_bold_font->Face() & B_BOLD_FACE);
}

TEST(Font, SizeIsClampedAndScalesMetrics)
{
    BFont font(be_fixed_font);
    font.SetSize(9);
    EXPECT_EQ(font.Size(), 9.0f);
    font.SetSize(-3);
    EXPECT_EQ(font.Size(), 0.0f);
    font.SetSize(NAN);
    EXPECT_EQ(font.Size(), 0.0f);
    font.SetSize(1e30f);
    EXPECT_EQ(font.Size(), 10000.0f);
    // A huge size is still measured and drawn without trouble.
    EXPECT_GT(font.StringWidth("W"), 0.0f);

    font.SetSize(0);
    EXPECT_EQ(font.StringWidth("abc"), 0.0f);

    font_height small;
    font_height large;
    font.SetSize(10);
    font.GetHeight(&small);
    font.SetSize(20);
    font.GetHeight(&large);
    EXPECT_GT(small.ascent, 5.0f);
    EXPECT_GT(small.descent, 0.0f);
    EXPECT_GE(small.leading, 0.0f);
    // One point is one pixel: a 10-point face's ascent and descent add up to
    // about ten pixels.
    EXPECT_NEAR(small.ascent + small.descent, 10.0f, 3.0f);
    EXPECT_NEAR(large.ascent, 2 * small.ascent, 2.0f);

    float width10 = BFont(font).StringWidth("Hello");
    font.SetSize(10);
    EXPECT_NEAR(font.StringWidth("Hello") * 2, width10, 3.0f);
}

TEST(Font, FixedFontGivesEveryGlyphTheSameAdvance)
{
    BFont fixed(be_fixed_font);
    fixed.SetSize(9);
    EXPECT_TRUE(fixed.IsFixed());
    float advance = fixed.StringWidth("M");
    ASSERT_GT(advance, 0.0f);
    for (char c = ' '; c < 0x7f; c++) {
        char text[2] = {c, '\0'};
        EXPECT_EQ(fixed.StringWidth(text), advance) << "character " << c;
    }
    EXPECT_EQ(fixed.StringWidth("[57] <A1B2>"), 11 * advance);

    BFont plain(be_plain_font);
    EXPECT_FALSE(plain.IsFixed());
    EXPECT_LT(plain.StringWidth("iiii"), plain.StringWidth("WWWW"));
}

TEST(Font, StringWidthCountsBytesUpToLengthOrNul)
{
    BFont font(be_plain_font);
    EXPECT_EQ(font.StringWidth(""), 0.0f);
    EXPECT_EQ(font.StringWidth(nullptr), 0.0f);
    EXPECT_EQ(font.StringWidth("abc", 0), 0.0f);
    EXPECT_EQ(font.StringWidth("abc", -5), 0.0f);
    EXPECT_EQ(font.StringWidth("abcdef", 3), font.StringWidth("abc"));
    EXPECT_EQ(font.StringWidth("ab\0cd", 5), font.StringWidth("ab"));
    EXPECT_FLOAT_EQ(font.StringWidth("ab"), font.StringWidth("a") + font.StringWidth("b"));

    // A multi-byte character counts once; cut or broken sequences are measured
    // as replacement characters, each byte once.
    EXPECT_EQ(font.StringWidth("\xc3\xa9"), font.StringWidth("\xc3\xa9", 2));
    EXPECT_GT(font.StringWidth("\xc3\xa9"), 0.0f);
    float broken = font.StringWidth("\xff\xfe\xc3");
    EXPECT_TRUE(std::isfinite(broken));
    EXPECT_GT(broken, 0.0f);

    const char* strings[] = {"a", "bb", "ccc"};
    const int32 lengths[] = {1, 2, 3};
    float widths[3] = {};
    font.GetStringWidths(strings, lengths, 3, widths);
    EXPECT_EQ(widths[2], font.StringWidth("ccc"));
}

TEST(Font, CharacterOffsetsFollowUtf8Characters)
{
    BFont font(be_plain_font);
    const char text[] = "a\xc3\xa9z";
    float offsets[5];
    BPrivate::character_offsets(font, text, 4, offsets);
    EXPECT_EQ(offsets[0], 0.0f);
    EXPECT_EQ(offsets[1], font.StringWidth("a"));
    EXPECT_EQ(offsets[2], offsets[1]); // inside the two-byte character
    EXPECT_EQ(offsets[3], font.StringWidth("a\xc3\xa9"));
    EXPECT_EQ(offsets[4], font.StringWidth(text));
}

TEST(Font, FamilyStyleAndFace)
{
    BFont font(be_plain_font);
    font_family family;
    font_style style;

    EXPECT_EQ(font.SetFamilyAndStyle("No Such Family Anywhere", "Regular"), B_NAME_NOT_FOUND);
    EXPECT_EQ(font, *be_plain_font);

    ASSERT_EQ(font.SetFamilyAndStyle("DejaVu Sans", "Bold"), B_OK);
    font.GetFamilyAndStyle(&family, &style);
    EXPECT_STREQ(family, "DejaVu Sans");
    EXPECT_STREQ(style, "Bold");
    EXPECT_EQ(font.Face(), B_BOLD_FACE);

    font.SetFace(B_ITALIC_FACE | B_BOLD_FACE);
    font.GetFamilyAndStyle(&family, &style);
    EXPECT_STREQ(style, "Bold Italic");
    font.SetFace(0);
    EXPECT_EQ(font.Face(), B_REGULAR_FACE);

    // Bold glyphs are wider than regular ones in the same family.
    BFont regular(be_plain_font);
    BFont bold(be_plain_font);
    bold.SetFace(B_BOLD_FACE);
    EXPECT_GT(bold.StringWidth("Wide words"), regular.StringWidth("Wide words"));

    // A family name longer than the field is cut, not overrun.
    std::string longName(200, 'x');
    font.SetFamilyAndStyle(nullptr, longName.c_str());
    font.GetFamilyAndStyle(&family, &style);
    EXPECT_EQ(strlen(style), static_cast<size_t>(B_FONT_STYLE_LENGTH));

    font.SetShear(10);
    EXPECT_EQ(font.Shear(), 45.0f);
    font.SetRotation(30);
    EXPECT_EQ(font.Rotation(), 30.0f);
    font.SetSpacing(B_FIXED_SPACING);
    font.SetEncoding(B_ISO_8859_1);
    font.SetFlags(B_DISABLE_ANTIALIASING);
    font.SetFalseBoldWidth(2);
    EXPECT_EQ(font.Spacing(), B_FIXED_SPACING);
    EXPECT_EQ(font.Encoding(), B_ISO_8859_1);
    EXPECT_EQ(font.Flags(), static_cast<uint32>(B_DISABLE_ANTIALIASING));
    EXPECT_EQ(font.FalseBoldWidth(), 2.0f);
}

TEST(Font, DrawStringPutsGlyphsOnTheBaselineInsideTheClip)
{
    BFont font(be_fixed_font);
    font.SetSize(12);
    font_height height;
    font.GetHeight(&height);

    TestCanvas target(120, 40);
    BPrivate::draw_string(target.canvas, font, "HHHH", 4, BPoint(10, 25), make_color(0, 0, 0));
    BRect box = target.DarkBox();
    ASSERT_TRUE(box.IsValid());
    // Capital H sits on the baseline and rises most of the ascent.
    EXPECT_EQ(box.bottom, 24.0f);
    EXPECT_GE(box.top, 25 - height.ascent - 1);
    EXPECT_LE(box.top, 25 - height.ascent / 2);
    EXPECT_GE(box.left, 10.0f);
    EXPECT_LE(box.right, 10 + font.StringWidth("HHHH"));
    EXPECT_GT(box.Width(), font.StringWidth("HHH"));

    // Clipped: only the left half gets ink, and the colour is blended in.
    TestCanvas clipped(120, 40);
    clipped.canvas.clip = BRect(0, 0, 29, 39);
    BPrivate::draw_string(clipped.canvas, font, "HHHHHHHH", 8, BPoint(10, 25),
                          make_color(200, 0, 0));
    bool redInside = false;
    for (int32 y = 0; y < 40; y++) {
        for (int32 x = 0; x < 120; x++) {
            const uint8* p = clipped.At(x, y);
            bool touched = p[0] != 255 || p[1] != 255 || p[2] != 255;
            if (x >= 30) {
                ASSERT_FALSE(touched) << x << "," << y;
            }
            if (touched && p[2] > p[0] + 40)
                redInside = true;
        }
    }
    EXPECT_TRUE(redInside);
}

TEST(Font, DrawStringSurvivesBadInputAndEdges)
{
    BFont font(be_plain_font);
    TestCanvas target(20, 10);
    const char broken[] = "\xff\xfe\xc3\x28\xe2\x82\x01\x02\x7f\x1b[0m";
    auto draw = [&](BPoint where) {
        BPrivate::draw_string(target.canvas, font, broken, sizeof(broken) - 1, where,
                              make_color(0, 0, 0));
    };
    for (BPoint where :
         {BPoint(-500, 5), BPoint(0, -30), BPoint(0, 60), BPoint(-1e9f, 1e9f), BPoint(1e9f, 5)})
        draw(where);
    EXPECT_FALSE(target.DarkBox().IsValid()) << "text wholly off the canvas leaves no ink";

    // The printable characters of broken text still show.
    draw(BPoint(3, 8));
    draw(BPoint(15, 5));
    BRect inked = target.DarkBox();
    ASSERT_TRUE(inked.IsValid());
    EXPECT_LE(inked.left, 8.0f);
    EXPECT_EQ(19.0f, inked.right) << "the text at x=15 runs to the canvas' edge";

    std::vector<uint8> drawn = target.pixels;
    BPrivate::draw_string(target.canvas, font, nullptr, 5, BPoint(0, 8), make_color(0, 0, 0));
    BPrivate::draw_string(target.canvas, font, "abc", -1, BPoint(0, 8), make_color(0, 0, 0));
    EXPECT_EQ(drawn, target.pixels) << "null text and negative lengths draw nothing";
    BPrivate::Canvas empty;
    BPrivate::draw_string(empty, font, "abc", 3, BPoint(0, 8), make_color(0, 0, 0));
}

} // namespace
