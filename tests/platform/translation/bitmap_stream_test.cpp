#include <Bitmap.h>
#include <BitmapStream.h>
#include <TranslatorFormats.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <vector>

namespace
{

using Bytes = std::vector<uint8>;

void PutWord(Bytes& bytes, size_t at, uint32 word)
{
    for (int i = 0; i < 4; i++)
        bytes[at + i] = (uint8)(word >> (24 - 8 * i));
}

void PutFloat(Bytes& bytes, size_t at, float value)
{
    uint32 word;
    memcpy(&word, &value, 4);
    PutWord(bytes, at, word);
}

// The interchange header, big-endian as it lies in a stream.
Bytes Header(float right, float bottom, uint32 rowBytes, uint32 colors, uint32 dataSize,
             uint32 magic = B_TRANSLATOR_BITMAP)
{
    Bytes header(32);
    PutWord(header, 0, magic);
    PutFloat(header, 4, 0);
    PutFloat(header, 8, 0);
    PutFloat(header, 12, right);
    PutFloat(header, 16, bottom);
    PutWord(header, 20, rowBytes);
    PutWord(header, 24, colors);
    PutWord(header, 28, dataSize);
    return header;
}

} // namespace

TEST(BitmapStreamTest, MakesTheBitmapOnceTheHeaderIsWhole)
{
    // 3 × 2 pixels of B_RGBA32: 12 bytes a row.
    Bytes header = Header(2, 1, 12, B_RGBA32, 24);
    BBitmapStream stream;
    BBitmap* bitmap = nullptr;
    EXPECT_EQ(stream.DetachBitmap(&bitmap), B_ERROR) << "no bitmap before the header";

    // Written in pieces, out of order.
    EXPECT_EQ(stream.WriteAt(16, header.data() + 16, 16), 16);
    EXPECT_EQ(stream.DetachBitmap(&bitmap), B_ERROR);
    EXPECT_EQ(stream.WriteAt(0, header.data(), 5), 5);
    EXPECT_EQ(stream.WriteAt(5, header.data() + 5, 11), 11);
    EXPECT_EQ(stream.Size(), 32);

    Bytes rows(24);
    for (size_t i = 0; i < rows.size(); i++)
        rows[i] = (uint8)(i + 1);
    EXPECT_EQ(stream.Seek(32, SEEK_SET), 32);
    EXPECT_EQ(stream.Write(rows.data(), 10), 10);
    EXPECT_EQ(stream.Write(rows.data() + 10, 14), 14);
    EXPECT_EQ(stream.Position(), 56);
    EXPECT_EQ(stream.Size(), 56);

    // Read back through the stream: the header as written, then the rows.
    Bytes back(60);
    EXPECT_EQ(stream.ReadAt(0, back.data(), back.size()), 56);
    EXPECT_EQ(memcmp(back.data(), header.data(), 32), 0);
    EXPECT_EQ(memcmp(back.data() + 32, rows.data(), 24), 0);

    ASSERT_EQ(stream.DetachBitmap(&bitmap), B_OK);
    std::unique_ptr<BBitmap> owned(bitmap);
    EXPECT_EQ(bitmap->Bounds(), BRect(0, 0, 2, 1));
    EXPECT_EQ(bitmap->ColorSpace(), B_RGBA32);
    EXPECT_EQ(bitmap->BytesPerRow(), 12);
    EXPECT_EQ(memcmp(bitmap->Bits(), rows.data(), 24), 0);

    BBitmap* again = nullptr;
    EXPECT_EQ(stream.DetachBitmap(&again), B_ERROR);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(stream.DetachBitmap(nullptr), B_BAD_VALUE);
    EXPECT_LT(stream.WriteAt(32, rows.data(), 4), 0) << "nothing to write into once detached";
    EXPECT_LT(stream.ReadAt(0, back.data(), 4), 0);
}

TEST(BitmapStreamTest, RefusesRowsThatDoNotMatchTheHeader)
{
    struct Case {
        const char* what;
        Bytes header;
        status_t expected;
    } cases[] = {
        {"data size not rows × height", Header(2, 1, 12, B_RGBA32, 20), B_MISMATCHED_VALUES},
        {"rows shorter than the width", Header(2, 1, 8, B_RGBA32, 16), B_MISMATCHED_VALUES},
        {"unknown colour space", Header(2, 1, 12, 0x4321, 24), B_MISMATCHED_VALUES},
        {"inverted bounds", Header(-5, 1, 12, B_RGBA32, 24), B_MISMATCHED_VALUES},
        {"not a bitmap", Header(2, 1, 12, B_RGBA32, 24, 'PNG '), B_BAD_TYPE},
        {"absurd size", Header(59999, 59999, 240000, B_RGBA32, 0xffffffff), B_NO_MEMORY},
    };
    for (const Case& c : cases) {
        BBitmapStream stream;
        EXPECT_EQ(stream.WriteAt(0, c.header.data(), 32), c.expected) << c.what;
        uint8 row[12] = {};
        EXPECT_LT(stream.WriteAt(32, row, sizeof(row)), 0) << c.what;
        BBitmap* bitmap = nullptr;
        EXPECT_EQ(stream.DetachBitmap(&bitmap), B_ERROR) << c.what;
    }

    // More rows than the header announced; a stray header that disagrees.
    BBitmapStream stream;
    Bytes header = Header(0, 1, 4, B_RGBA32, 8);
    Bytes rows(12, 0xab);
    ASSERT_EQ(stream.Write(header.data(), 32), 32);
    EXPECT_EQ(stream.WriteAt(32, rows.data(), 12), B_MISMATCHED_VALUES);
    EXPECT_EQ(stream.WriteAt(40, rows.data(), 1), B_MISMATCHED_VALUES);
    EXPECT_EQ(stream.WriteAt(32, rows.data(), 8), 8);
    Bytes other = Header(1, 1, 8, B_RGBA32, 16);
    EXPECT_EQ(stream.WriteAt(0, other.data(), 32), B_MISMATCHED_VALUES);
    EXPECT_EQ(stream.WriteAt(0, header.data(), 32), 32) << "the same header again is fine";
    Bytes back(32);
    ASSERT_EQ(stream.ReadAt(0, back.data(), 32), 32);
    EXPECT_EQ(back, header) << "the refused header left no trace";
}

TEST(BitmapStreamTest, ReadsOutAGivenBitmapAndOwnsIt)
{
    // 5 B_CMAP8 pixels a row, padded to 8; the bounds do not start at 0, 0.
    auto* bitmap = new BBitmap(BRect(10, 20, 14, 22), B_CMAP8);
    auto* bits = static_cast<uint8*>(bitmap->Bits());
    for (int32 i = 0; i < bitmap->BitsLength(); i++)
        bits[i] = (uint8)(100 + i);
    BBitmapStream stream(bitmap);
    EXPECT_EQ(stream.Size(), 32 + 24);

    Bytes read(100);
    EXPECT_EQ(stream.Read(read.data(), 7), 7);
    EXPECT_EQ(stream.Read(read.data() + 7, 100 - 7), 56 - 7);
    EXPECT_EQ(stream.Read(read.data(), 1), 0);
    Bytes header(read.begin(), read.begin() + 32);
    EXPECT_EQ(header, Header(4, 2, 8, B_CMAP8, 24));
    EXPECT_EQ(read[32], 100);
    EXPECT_EQ(read[55], 123);

    // Seeking from each end; a negative position is refused.
    EXPECT_EQ(stream.Seek(-4, SEEK_END), 52);
    EXPECT_EQ(stream.Seek(2, SEEK_CUR), 54);
    EXPECT_EQ(stream.Seek(-100, SEEK_CUR), B_BAD_VALUE);
    EXPECT_EQ(stream.Position(), 54);
    EXPECT_EQ(stream.ReadAt(-1, read.data(), 1), B_BAD_VALUE);
    EXPECT_EQ(stream.ReadAt(0, nullptr, 1), B_BAD_VALUE);

    // Rows written into a given bitmap land in it.
    uint8 patch[2] = {1, 2};
    EXPECT_EQ(stream.WriteAt(33, patch, 2), 2);
    EXPECT_EQ(bits[1], 1);
    EXPECT_EQ(bits[2], 2);

    EXPECT_EQ(stream.SetSize(32 + 25), B_BAD_VALUE);
    EXPECT_EQ(stream.SetSize(40), B_OK);
    EXPECT_EQ(stream.ReadAt(0, read.data(), 100), 40);
    // The bitmap goes with the stream: the sanitizer build reports it otherwise.
}
