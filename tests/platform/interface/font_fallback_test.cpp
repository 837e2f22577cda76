// With no fonts at all (fontconfig given an empty configuration before first
// use), text is measured by estimate, drawn as nothing, and nothing crashes.

#include <Font.h>
#include <TextView.h>

#include "server/DisplayProtocol.h"
#include "interface/FontEngine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

// Runs before any test measures text, so the engine starts without fonts.
const std::string kEmptyConfig = []() {
    std::string path = "/tmp/vek-empty-fonts-" + std::to_string(getpid()) + ".conf";
    FILE* file = fopen(path.c_str(), "w");
    if (file == nullptr)
        return std::string();
    fputs("<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n", file);
    fclose(file);
    setenv("FONTCONFIG_FILE", path.c_str(), 1);
    return path;
}();

TEST(FontFallback, EstimatesMetricsAndDrawsNothing)
{
    ASSERT_FALSE(kEmptyConfig.empty());
    BFont font(be_fixed_font);
    font.SetSize(10);
    // Read once, when the engine starts.
    EXPECT_TRUE(font.IsFixed());
    unlink(kEmptyConfig.c_str());
    EXPECT_FLOAT_EQ(font.StringWidth("abc"), 18.0f);
    EXPECT_FLOAT_EQ(font.StringWidth("\xc3\xa9"), 6.0f);
    EXPECT_TRUE(font.IsFixed());
    font_height height;
    font.GetHeight(&height);
    EXPECT_EQ(height.ascent, 8.0f);
    EXPECT_EQ(height.descent, 2.0f);

    std::vector<uint8> pixels(40 * 20 * 4, 255);
    BPrivate::Canvas canvas;
    canvas.bits = pixels.data();
    canvas.width = 40;
    canvas.height = 20;
    canvas.bytesPerRow = 160;
    canvas.clip = BRect(0, 0, 39, 19);
    BPrivate::draw_string(canvas, font, "WWW", 3, BPoint(2, 15), make_color(0, 0, 0));
    for (uint8 byte : pixels)
        ASSERT_EQ(byte, 255);

    // Families cannot be checked against nothing, except the generic ones.
    EXPECT_EQ(font.SetFamilyAndStyle("DejaVu Sans", "Book"), B_NAME_NOT_FOUND);
    EXPECT_EQ(font.SetFamilyAndStyle("monospace", "Bold"), B_OK);

    // A text view still lays out and wraps.
    BTextView view(BRect(0, 0, 99, 99), "text", BRect(0, 0, 40, 99), &font, nullptr, B_FOLLOW_ALL,
                   B_WILL_DRAW);
    view.SetText("aaaa bbbb cccc");
    EXPECT_EQ(view.CountLines(), 3);
    EXPECT_EQ(view.LineHeight(), 10.0f);
}

} // namespace
