#include <Bitmap.h>
#include <GraphicsDefs.h>

#include <gtest/gtest.h>

#include <string.h>

#include <vector>

namespace
{

const uint8* PixelAt(const BBitmap& bitmap, int32 x, int32 y)
{
    return static_cast<const uint8*>(bitmap.Bits()) + y * bitmap.BytesPerRow() + x * 4;
}

} // namespace

TEST(BitmapTest, RowsArePaddedToFourBytes)
{
    struct Case {
        float right;
        color_space space;
        int32 rowBytes;
    } cases[] = {
        {0, B_CMAP8, 4},   {2, B_CMAP8, 4}, {4, B_CMAP8, 8},  {4, B_RGB24, 16},
        {9, B_RGBA32, 40}, {2, B_RGB16, 8}, {40, B_GRAY1, 8}, {31, B_GRAY1, 4},
    };
    for (const Case& c : cases) {
        BBitmap bitmap(BRect(0, 0, c.right, 2), c.space);
        ASSERT_EQ(bitmap.InitCheck(), B_OK) << c.right;
        EXPECT_EQ(bitmap.BytesPerRow(), c.rowBytes) << c.right << " " << c.space;
        EXPECT_EQ(bitmap.BitsLength(), c.rowBytes * 3);
        EXPECT_EQ(bitmap.ColorSpace(), c.space);
        EXPECT_NE(bitmap.Bits(), nullptr);
    }

    BBitmap offset(BRect(10, 20, 41, 51), B_RGBA32);
    EXPECT_EQ(offset.Bounds(), BRect(10, 20, 41, 51));
    EXPECT_EQ(offset.BytesPerRow(), 128);
    EXPECT_EQ(offset.BitsLength(), 128 * 32);

    BBitmap wide(BRect(0, 0, 9, 9), 0, B_RGBA32, 64);
    EXPECT_EQ(wide.BytesPerRow(), 64);
    EXPECT_EQ(wide.BitsLength(), 640);
}

TEST(BitmapTest, RefusesBadArgumentsAndAbsurdSizes)
{
    BBitmap inverted(BRect(0, 0, -1, 10), B_RGBA32);
    EXPECT_EQ(inverted.InitCheck(), B_BAD_VALUE);
    EXPECT_FALSE(inverted.IsValid());
    EXPECT_EQ(inverted.Bits(), nullptr);
    EXPECT_EQ(inverted.BitsLength(), 0);

    BBitmap notANumber(BRect(0, 0, NAN, 10), B_RGBA32);
    EXPECT_EQ(notANumber.InitCheck(), B_BAD_VALUE);
    BBitmap infinite(BRect(0, 0, 10, INFINITY), B_RGBA32);
    EXPECT_NE(infinite.InitCheck(), B_OK);

    BBitmap unknownSpace(BRect(0, 0, 9, 9), (color_space)0x7777);
    EXPECT_EQ(unknownSpace.InitCheck(), B_BAD_VALUE);

    BBitmap tooNarrowRows(BRect(0, 0, 9, 9), 0, B_RGBA32, 39);
    EXPECT_EQ(tooNarrowRows.InitCheck(), B_BAD_VALUE);

    BBitmap huge(BRect(0, 0, 99999, 99999), B_RGBA32);
    EXPECT_EQ(huge.InitCheck(), B_NO_MEMORY);
    EXPECT_EQ(huge.Bits(), nullptr);
    BBitmap tooLong(BRect(0, 0, 30000, 30000), B_RGBA32);
    EXPECT_EQ(tooLong.InitCheck(), B_NO_MEMORY);

    BBitmap copyOfNothing(static_cast<const BBitmap*>(nullptr));
    EXPECT_EQ(copyOfNothing.InitCheck(), B_BAD_VALUE);
    BBitmap copyOfInvalid(&inverted);
    EXPECT_EQ(copyOfInvalid.InitCheck(), B_BAD_VALUE);

    BBitmap target(BRect(0, 0, 3, 3), B_RGBA32);
    uint8 data[64] = {};
    EXPECT_EQ(target.ImportBits(nullptr, 64, B_ANY_BYTES_PER_ROW, 0, B_RGBA32), B_BAD_VALUE);
    EXPECT_EQ(target.ImportBits(data, -1, B_ANY_BYTES_PER_ROW, 0, B_RGBA32), B_BAD_VALUE);
    EXPECT_EQ(target.ImportBits(data, 64, B_ANY_BYTES_PER_ROW, -4, B_RGBA32), B_BAD_VALUE);
    EXPECT_EQ(target.ImportBits(data, 64, B_ANY_BYTES_PER_ROW, 64, B_RGBA32), B_BAD_VALUE);
    EXPECT_EQ(target.ImportBits(data, 64, 8, 0, B_RGBA32), B_BAD_VALUE);
    EXPECT_EQ(target.ImportBits(data, 64, B_ANY_BYTES_PER_ROW, 0, B_GRAY1), B_BAD_VALUE);
    EXPECT_EQ(inverted.ImportBits(data, 64, B_ANY_BYTES_PER_ROW, 0, B_RGBA32), B_NO_INIT);
    inverted.SetBits(data, 64, 0, B_RGBA32);
}

TEST(BitmapTest, StartsClearedAndCopiesFromAnotherBitmap)
{
    BBitmap black(BRect(0, 0, 4, 4), B_RGBA32);
    std::vector<uint8> zeros(black.BitsLength(), 0);
    EXPECT_EQ(memcmp(black.Bits(), zeros.data(), zeros.size()), 0);

    BBitmap white(BRect(0, 0, 4, 4), B_BITMAP_CLEAR_TO_WHITE, B_RGB32);
    EXPECT_EQ(PixelAt(white, 4, 4)[0], 0xff);
    EXPECT_EQ(PixelAt(white, 0, 0)[2], 0xff);

    BBitmap source(BRect(0, 0, 6, 2), 0, B_RGBA32, 32);
    uint8* bits = static_cast<uint8*>(source.Bits());
    for (int32 i = 0; i < source.BitsLength(); i++)
        bits[i] = (uint8)(i * 7);
    BBitmap copy(&source);
    ASSERT_EQ(copy.InitCheck(), B_OK);
    EXPECT_EQ(copy.Bounds(), source.Bounds());
    EXPECT_EQ(copy.BytesPerRow(), 32);
    EXPECT_NE(copy.Bits(), source.Bits());
    EXPECT_EQ(memcmp(copy.Bits(), source.Bits(), source.BitsLength()), 0);

    BBitmap imported(BRect(0, 0, 6, 2), B_RGBA32);
    ASSERT_EQ(imported.BytesPerRow(), 28);
    ASSERT_EQ(imported.ImportBits(&source), B_OK);
    for (int32 y = 0; y < 3; y++)
        EXPECT_EQ(memcmp(PixelAt(imported, 0, y), PixelAt(source, 0, y), 28), 0) << y;
    BBitmap otherSize(BRect(0, 0, 5, 2), B_RGBA32);
    EXPECT_EQ(otherSize.ImportBits(&source), B_BAD_VALUE);
}

TEST(BitmapTest, SetBitsCopiesTheSameSpaceAtAnOffset)
{
    BBitmap bitmap(BRect(0, 0, 1, 1), B_RGBA32);
    const uint8 data[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    bitmap.SetBits(data, 8, 4, B_RGBA32);
    const uint8* bits = static_cast<const uint8*>(bitmap.Bits());
    const uint8 expected[] = {0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0};
    EXPECT_EQ(memcmp(bits, expected, 16), 0);

    // More data than room: the rest is dropped, nothing is written past the bits.
    bitmap.SetBits(data, sizeof(data), 8, B_RGBA32);
    EXPECT_EQ(bits[8], 1);
    EXPECT_EQ(bits[15], 8);
}

TEST(BitmapTest, ImportBitsHonoursTheSourceRowSize)
{
    // Three B_CMAP8 pixels a row: the bitmap pads to 4, the source to 6.
    BBitmap bitmap(BRect(0, 0, 2, 2), B_CMAP8);
    const uint8 source[] = {1, 2, 3, 90, 90, 90, 4, 5, 6, 90, 90, 90, 7, 8, 9};
    ASSERT_EQ(bitmap.ImportBits(source, sizeof(source), 6, 0, B_CMAP8), B_OK);
    const uint8* bits = static_cast<const uint8*>(bitmap.Bits());
    const uint8 expected[] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
    EXPECT_EQ(memcmp(bits, expected, sizeof(expected)), 0);

    // An offset into a row's padding starts with the next row.
    BBitmap padded(BRect(0, 0, 2, 2), B_CMAP8);
    ASSERT_EQ(padded.ImportBits(source, sizeof(source), 6, 3, B_CMAP8), B_OK);
    const uint8* paddedBits = static_cast<const uint8*>(padded.Bits());
    const uint8 shifted[] = {0, 0, 0, 0, 1, 2, 3, 0, 4, 5, 6, 0};
    EXPECT_EQ(memcmp(paddedBits, shifted, sizeof(shifted)), 0);

    // The same with a conversion: rows of 3 RGB24 pixels padded to 12 by the caller.
    BBitmap colour(BRect(0, 0, 1, 1), B_RGBA32);
    const uint8 rgb[] = {10, 20, 30, 40, 50, 60, 0, 0, 0, 0, 0, 0, 70, 80, 90, 11, 12, 13};
    ASSERT_EQ(colour.ImportBits(rgb, sizeof(rgb), 12, 0, B_RGB24), B_OK);
    const uint8 rgba[] = {10, 20, 30, 255, 40, 50, 60, 255, 70, 80, 90, 255, 11, 12, 13, 255};
    EXPECT_EQ(memcmp(colour.Bits(), rgba, sizeof(rgba)), 0);
}

TEST(BitmapTest, IndexedPicturesConvertThroughTheSystemColours)
{
    const color_map* map = system_colors();
    // Three pixels a row: the source rows are padded to four bytes.
    BBitmap bitmap(BRect(0, 0, 2, 1), B_RGBA32);
    const uint8 indices[] = {0, 63, B_TRANSPARENT_MAGIC_CMAP8, 99, 40, 10, 200, 77};
    bitmap.SetBits(indices, sizeof(indices), 0, B_CMAP8);

    auto expectColour = [&](int32 x, int32 y, uint8 index) {
        const uint8* pixel = PixelAt(bitmap, x, y);
        const rgb_color& colour = map->color_list[index];
        EXPECT_EQ(pixel[0], colour.blue) << x << "," << y;
        EXPECT_EQ(pixel[1], colour.green) << x << "," << y;
        EXPECT_EQ(pixel[2], colour.red) << x << "," << y;
        EXPECT_EQ(pixel[3], 255) << x << "," << y;
    };
    expectColour(0, 0, 0);
    expectColour(1, 0, 63);
    expectColour(0, 1, 40);
    expectColour(1, 1, 10);
    expectColour(2, 1, 200);
    EXPECT_EQ(PixelAt(bitmap, 1, 0)[0], 255);
    EXPECT_EQ(PixelAt(bitmap, 2, 0)[3], 0);

    // Starting at the second pixel and stopping short of the end.
    BBitmap partial(BRect(0, 0, 2, 1), B_RGB32);
    const uint8 two[] = {63, 63};
    partial.SetBits(two, 2, 4, B_CMAP8);
    EXPECT_EQ(PixelAt(partial, 0, 0)[0], 0);
    EXPECT_EQ(PixelAt(partial, 1, 0)[0], 255);
    EXPECT_EQ(PixelAt(partial, 2, 0)[0], 255);
    EXPECT_EQ(PixelAt(partial, 0, 1)[0], 0);
}

TEST(BitmapTest, ConvertsTrueColourToIndexedAndBack)
{
    BBitmap indexed(BRect(0, 0, 1, 0), B_CMAP8);
    const uint8 pixels[] = {255, 255, 255, 255, 10, 20, 30, 0};
    indexed.SetBits(pixels, sizeof(pixels), 0, B_RGBA32);
    const uint8* bits = static_cast<const uint8*>(indexed.Bits());
    const rgb_color& white = system_colors()->color_list[bits[0]];
    EXPECT_EQ(white, make_color(255, 255, 255));
    EXPECT_EQ(bits[1], B_TRANSPARENT_MAGIC_CMAP8);

    BBitmap gray(BRect(0, 0, 0, 0), B_RGBA32);
    const uint8 level = 77;
    gray.SetBits(&level, 1, 0, B_GRAY8);
    const uint8 expected[] = {77, 77, 77, 255};
    EXPECT_EQ(memcmp(gray.Bits(), expected, 4), 0);
}
