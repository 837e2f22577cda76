#include "platform/translation/RosterDecode.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <jpeglib.h>

#include <algorithm>
#include <string>

using namespace TestPictures;

namespace
{

using Pixel = std::vector<int>;

// A 5 × 3 RGBA picture with a different colour and alpha in every pixel.
Bytes GradientRgba()
{
    Bytes rows;
    for (int y = 0; y < 3; y++) {
        for (int x = 0; x < 5; x++) {
            rows.insert(rows.end(),
                        {(uint8_t)(x * 50), (uint8_t)(y * 100), 7, (uint8_t)(255 - x * 60)});
        }
    }
    return rows;
}

void ExpectSize(const BBitmap& bitmap, int width, int height)
{
    EXPECT_EQ(bitmap.Bounds(), BRect(0, 0, width - 1, height - 1));
    EXPECT_EQ(bitmap.ColorSpace(), B_RGBA32);
    EXPECT_EQ(bitmap.BytesPerRow(), width * 4);
}

void ExpectNear(const Pixel& actual, const Pixel& expected, int tolerance)
{
    ASSERT_EQ(actual.size(), 4u);
    for (int i = 0; i < 4; i++)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "channel " << i;
}

// A small valid picture of each format, for damage tests.
std::vector<std::pair<const char*, Bytes>> OnePerFormat()
{
    Bytes gray(16 * 16, 90);
    Bytes rgb(16 * 16 * 3, 200);
    Bytes bgra(16 * 16 * 4, 120);
    GifFrame frame = {0, 0, 16, 16, false, NO_TRANSPARENT_COLOR, Bytes(256, 1)};
    for (int i = 0; i < 256; i++)
        frame.indices[i] = (uint8_t)(i % 4);
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 16, 16, 24, SDL_PIXELFORMAT_BGR24);
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 10, 20, 30));
    Bytes bmp = EncodeBmp(surface);
    SDL_FreeSurface(surface);
    return {
        {"png", EncodePng(16, 16, PNG_COLOR_TYPE_GRAY, 8, false, gray)},
        {"jpeg", EncodeJpeg(16, 16, 3, rgb)},
        {"gif", EncodeGif(16, 16, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {frame})},
        {"webp", EncodeWebp(16, 16, bgra, true)},
        {"bmp", bmp},
    };
}

} // namespace

TEST(TranslatorsTest, PngKeepsAlphaAndExpandsEveryColourType)
{
    std::unique_ptr<BBitmap> bitmap;
    for (bool interlaced : {false, true}) {
        ASSERT_EQ(
            Decode(EncodePng(5, 3, PNG_COLOR_TYPE_RGBA, 8, interlaced, GradientRgba()), &bitmap),
            B_OK);
        ExpectSize(*bitmap, 5, 3);
        EXPECT_EQ(PixelAt(*bitmap, 0, 0), Pixel({7, 0, 0, 255}));
        EXPECT_EQ(PixelAt(*bitmap, 4, 2), Pixel({7, 200, 200, 15})) << interlaced;
        EXPECT_EQ(PixelAt(*bitmap, 2, 1), Pixel({7, 100, 100, 135})) << interlaced;
    }

    // Palette with a transparent entry.
    Bytes indices = {0, 1, 2, 2, 1, 0};
    ASSERT_EQ(Decode(EncodePng(3, 2, PNG_COLOR_TYPE_PALETTE, 8, false, indices,
                               {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {255, 128, 0}),
                     &bitmap),
              B_OK);
    ExpectSize(*bitmap, 3, 2);
    EXPECT_EQ(PixelAt(*bitmap, 0, 0), Pixel({0, 0, 255, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 1, 0), Pixel({0, 255, 0, 128}));
    EXPECT_EQ(PixelAt(*bitmap, 2, 0)[3], 0);
    EXPECT_EQ(PixelAt(*bitmap, 2, 1), Pixel({0, 0, 255, 255}));

    // 16-bit gray, big-endian samples, scaled down to 8 bits; opaque.
    Bytes gray16 = {0xff, 0xff, 0x80, 0x00, 0x00, 0x00};
    ASSERT_EQ(Decode(EncodePng(3, 1, PNG_COLOR_TYPE_GRAY, 16, false, gray16), &bitmap), B_OK);
    EXPECT_EQ(PixelAt(*bitmap, 0, 0), Pixel({255, 255, 255, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 1, 0), Pixel({128, 128, 128, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 2, 0), Pixel({0, 0, 0, 255}));

    // 1-bit gray: eight pixels in one byte.
    ASSERT_EQ(Decode(EncodePng(8, 1, PNG_COLOR_TYPE_GRAY, 1, false, {0xa5}), &bitmap), B_OK);
    EXPECT_EQ(PixelAt(*bitmap, 0, 0), Pixel({255, 255, 255, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 1, 0), Pixel({0, 0, 0, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 7, 0), Pixel({255, 255, 255, 255}));
}

TEST(TranslatorsTest, JpegDecodesColourGrayAndProgressive)
{
    std::unique_ptr<BBitmap> bitmap;
    // Left half red, right half blue, in whole 8 × 8 blocks so that the colours stay clean.
    Bytes rgb;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 32; x++)
            rgb.insert(rgb.end(), x < 16 ? std::initializer_list<uint8_t>{230, 20, 10}
                                         : std::initializer_list<uint8_t>{10, 20, 230});
    for (bool progressive : {false, true}) {
        ASSERT_EQ(Decode(EncodeJpeg(32, 16, 3, rgb, progressive), &bitmap), B_OK);
        ExpectSize(*bitmap, 32, 16);
        ExpectNear(PixelAt(*bitmap, 3, 3), {10, 20, 230, 255}, 12);
        ExpectNear(PixelAt(*bitmap, 28, 12), {230, 20, 10, 255}, 12);
        EXPECT_EQ(PixelAt(*bitmap, 28, 12)[3], 255);
    }

    ASSERT_EQ(Decode(EncodeJpeg(9, 7, 1, Bytes(63, 77)), &bitmap), B_OK);
    ExpectSize(*bitmap, 9, 7);
    ExpectNear(PixelAt(*bitmap, 8, 6), {77, 77, 77, 255}, 2);

    // CMYK with the Adobe marker libjpeg writes, stored inverted as Adobe's programs do:
    // full cyan ink over no black is (0, 255, 255).
    Bytes cmyk;
    for (int i = 0; i < 64; i++)
        cmyk.insert(cmyk.end(), {0, 255, 255, 255});
    ASSERT_EQ(Decode(EncodeJpeg(8, 8, 4, cmyk), &bitmap), B_OK);
    ExpectNear(PixelAt(*bitmap, 4, 4), {255, 255, 0, 255}, 6);
}

TEST(TranslatorsTest, GifDecodesTheFirstFrameWithTransparencyAndInterlace)
{
    std::vector<GifColorType> colors = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    std::unique_ptr<BBitmap> bitmap;
    for (bool interlaced : {false, true}) {
        // A 4 × 10 frame at (2, 1) on a 7 × 12 screen; each row its own colour.
        GifFrame first = {2, 1, 4, 10, interlaced, 0, {}};
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < 4; x++)
                first.indices.push_back((uint8_t)(x == 3 ? 0 : y % 3 + 1));
        GifFrame second = {0, 0, 7, 12, false, NO_TRANSPARENT_COLOR, Bytes(84, 3)};
        ASSERT_EQ(Decode(EncodeGif(7, 12, colors, {first, second}), &bitmap), B_OK);
        ExpectSize(*bitmap, 7, 12);
        EXPECT_EQ(PixelAt(*bitmap, 0, 0), Pixel({0, 0, 0, 0})) << "outside the frame";
        EXPECT_EQ(PixelAt(*bitmap, 2, 1), Pixel({0, 0, 255, 255})) << interlaced;
        EXPECT_EQ(PixelAt(*bitmap, 3, 2), Pixel({0, 255, 0, 255})) << interlaced;
        EXPECT_EQ(PixelAt(*bitmap, 4, 3), Pixel({255, 0, 0, 255})) << interlaced;
        EXPECT_EQ(PixelAt(*bitmap, 2, 10), Pixel({0, 0, 255, 255})) << interlaced;
        EXPECT_EQ(PixelAt(*bitmap, 5, 5)[3], 0) << "transparent index";
        EXPECT_EQ(PixelAt(*bitmap, 6, 11)[3], 0) << "the second frame is not drawn";
    }
}

TEST(TranslatorsTest, WebpDecodesLosslessWithAlphaAndLossy)
{
    Bytes bgra;
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++)
            bgra.insert(bgra.end(), {(uint8_t)(x * 40), (uint8_t)(y * 60), 33,
                                     (uint8_t)(x == 5 ? 0 : 200 + x)});
    std::unique_ptr<BBitmap> bitmap;
    ASSERT_EQ(Decode(EncodeWebp(6, 4, bgra, true), &bitmap), B_OK);
    ExpectSize(*bitmap, 6, 4);
    EXPECT_EQ(PixelAt(*bitmap, 1, 2), Pixel({40, 120, 33, 201}));
    EXPECT_EQ(PixelAt(*bitmap, 4, 3), Pixel({160, 180, 33, 204}));
    EXPECT_EQ(PixelAt(*bitmap, 5, 0)[3], 0);

    Bytes flat;
    for (int i = 0; i < 16 * 16; i++)
        flat.insert(flat.end(), {200, 100, 50, 255});
    ASSERT_EQ(Decode(EncodeWebp(16, 16, flat, false), &bitmap), B_OK);
    ExpectSize(*bitmap, 16, 16);
    ExpectNear(PixelAt(*bitmap, 8, 8), {200, 100, 50, 255}, 8);
}

TEST(TranslatorsTest, BmpDecodesTrueColourAlphaAndPalette)
{
    std::unique_ptr<BBitmap> bitmap;
    SDL_Surface* rgb = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 24, SDL_PIXELFORMAT_BGR24);
    SDL_FillRect(rgb, nullptr, SDL_MapRGB(rgb->format, 10, 20, 30));
    SDL_Rect corner = {2, 1, 1, 1};
    SDL_FillRect(rgb, &corner, SDL_MapRGB(rgb->format, 250, 0, 5));
    ASSERT_EQ(Decode(EncodeBmp(rgb), &bitmap), B_OK);
    SDL_FreeSurface(rgb);
    ExpectSize(*bitmap, 3, 2);
    EXPECT_EQ(PixelAt(*bitmap, 0, 0), Pixel({30, 20, 10, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 2, 1), Pixel({5, 0, 250, 255}));

    SDL_Surface* rgba = SDL_CreateRGBSurfaceWithFormat(0, 2, 2, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(rgba, nullptr, SDL_MapRGBA(rgba->format, 1, 2, 3, 77));
    ASSERT_EQ(Decode(EncodeBmp(rgba), &bitmap), B_OK);
    SDL_FreeSurface(rgba);
    EXPECT_EQ(PixelAt(*bitmap, 1, 1), Pixel({3, 2, 1, 77}));

    SDL_Surface* indexed = SDL_CreateRGBSurfaceWithFormat(0, 5, 1, 8, SDL_PIXELFORMAT_INDEX8);
    SDL_Color colors[2] = {{0, 0, 0, 255}, {40, 80, 160, 255}};
    SDL_SetPaletteColors(indexed->format->palette, colors, 0, 2);
    memset(indexed->pixels, 0, 5);
    static_cast<uint8_t*>(indexed->pixels)[4] = 1;
    ASSERT_EQ(Decode(EncodeBmp(indexed), &bitmap), B_OK);
    SDL_FreeSurface(indexed);
    ExpectSize(*bitmap, 5, 1);
    EXPECT_EQ(PixelAt(*bitmap, 4, 0), Pixel({160, 80, 40, 255}));
    EXPECT_EQ(PixelAt(*bitmap, 3, 0), Pixel({0, 0, 0, 255}));
}

TEST(TranslatorsTest, TruncatedAndCorruptPicturesFailCleanly)
{
    struct Result {
        std::string what;
        status_t status;
    };
    std::vector<Result> results;
    // The libraries' own diagnostics would go to standard error or output.
    fflush(stdout);
    fflush(stderr);
    FILE* sink = tmpfile();
    ASSERT_NE(sink, nullptr);
    int savedOut = dup(1), savedErr = dup(2);
    dup2(fileno(sink), 1);
    dup2(fileno(sink), 2);
    for (const auto& [name, picture] : OnePerFormat()) {
        std::unique_ptr<BBitmap> bitmap;
        results.push_back({std::string(name) + " whole", Decode(picture, &bitmap)});
        for (size_t keep : {picture.size() - 2, picture.size() * 2 / 3, picture.size() / 2,
                            (size_t)20, (size_t)8}) {
            Bytes cut(picture.begin(), picture.begin() + keep);
            results.push_back(
                {std::string(name) + " cut to " + std::to_string(keep), Decode(cut, &bitmap)});
        }
        // Damage past the first bytes, where each format keeps its header and data.
        Bytes damaged = picture;
        for (size_t i = 12; i < damaged.size(); i += 3)
            damaged[i] ^= 0x5a;
        results.push_back({std::string(name) + " damaged", Decode(damaged, &bitmap)});
    }
    fflush(stdout);
    fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    off_t printed = lseek(fileno(sink), 0, SEEK_END);
    fclose(sink);

    EXPECT_EQ(printed, 0) << "a translator printed";
    for (const Result& result : results) {
        if (result.what.find("whole") != std::string::npos) {
            EXPECT_EQ(result.status, B_OK) << result.what;
            continue;
        }
        EXPECT_TRUE(result.status == B_ILLEGAL_DATA || result.status == B_NO_TRANSLATOR)
            << result.what << ": " << result.status;
    }
}

TEST(TranslatorsTest, HugePicturesAreRefusedBeforeAllocating)
{
    auto check = [](const char* name, const Bytes& picture) {
        std::unique_ptr<BBitmap> bitmap;
        EXPECT_EQ(Decode(picture, &bitmap), B_NO_TRANSLATOR) << name;
    };
    auto putBig32 = [](Bytes& bytes, size_t at, uint32_t value) {
        for (int i = 0; i < 4; i++)
            bytes[at + i] = (uint8_t)(value >> (24 - 8 * i));
    };
    std::vector<std::pair<const char*, Bytes>> pictures = OnePerFormat();

    // PNG: IHDR claims 100000 × 100000, with its checksum put right.
    Bytes png = pictures[0].second;
    putBig32(png, 16, 100000);
    putBig32(png, 20, 100000);
    putBig32(png, 29, Crc32(png.data() + 12, 17));
    check("png", png);
    // Inside the dimension limit but over the pixel limit.
    putBig32(png, 16, 16384);
    putBig32(png, 20, 16384);
    putBig32(png, 29, Crc32(png.data() + 12, 17));
    check("png 16384", png);

    // JPEG: the frame header's height and width.
    Bytes jpeg = pictures[1].second;
    for (size_t i = 2; i + 9 < jpeg.size(); i++) {
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) {
            jpeg[i + 5] = jpeg[i + 6] = jpeg[i + 7] = jpeg[i + 8] = 0xfe;
            break;
        }
    }
    check("jpeg", jpeg);

    // GIF: a 65535 × 65535 screen.
    Bytes gif = pictures[2].second;
    gif[6] = gif[7] = gif[8] = gif[9] = 0xff;
    check("gif", gif);

    // WebP lossless: 16384 × 16384 in the 14-bit size fields after the 0x2f signature.
    Bytes webp = pictures[3].second;
    ASSERT_EQ(webp[20], 0x2f);
    webp[21] = 0xff;
    webp[22] = 0xff;
    webp[23] = 0xff;
    webp[24] = (uint8_t)((webp[24] & 0xf0) | 0x0f);
    check("webp", webp);

    // BMP: 100000 × -100000 (top-down).
    Bytes bmp = pictures[4].second;
    int32_t width = 100000, height = -100000;
    memcpy(&bmp[18], &width, 4);
    memcpy(&bmp[22], &height, 4);
    check("bmp", bmp);
}

namespace
{

// Rows of photo-like content: smooth shading with noise in every channel.
Bytes Photo(int width, int height, int components)
{
    Bytes pixels;
    uint32_t noise = 12345;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            for (int c = 0; c < components; c++) {
                noise = noise * 1103515245 + 12345;
                int value = (x * 255 / width + y * 128 / height + c * 40) % 256;
                pixels.push_back((uint8_t)std::clamp(value + (int)(noise >> 28) - 8, 0, 255));
            }
        }
    }
    return pixels;
}

// What libjpeg-turbo itself decodes, as B, G, R, A rows.
Bytes LibjpegBgra(const Bytes& file, int* width, int* height)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), file.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);
    *width = (int)cinfo.output_width;
    *height = (int)cinfo.output_height;
    Bytes pixels((size_t)*width * *height * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &pixels[(size_t)cinfo.output_scanline * *width * 4];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

// What libpng's own reader gives as B, G, R, A rows.
Bytes LibpngBgra(const Bytes& file)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, file.data(), file.size());
    image.format = PNG_FORMAT_BGRA;
    Bytes pixels(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
    return pixels;
}

Bytes BitmapBytes(const BBitmap& bitmap)
{
    const uint8_t* bits = static_cast<const uint8_t*>(bitmap.Bits());
    return Bytes(bits, bits + bitmap.BitsLength());
}

} // namespace

TEST(TranslatorsTest, PhotosDecodeToExactlyWhatTheLibrariesGive)
{
    std::unique_ptr<BBitmap> bitmap;
    // Odd sizes, not whole blocks, and both chroma layouts libjpeg writes.
    for (auto [width, height] :
         {std::pair{37, 23}, std::pair{1, 1}, std::pair{130, 9}, std::pair{201, 150}}) {
        for (bool progressive : {false, true}) {
            Bytes jpeg = EncodeJpeg(width, height, 3, Photo(width, height, 3), progressive);
            int libWidth = 0, libHeight = 0;
            Bytes expected = LibjpegBgra(jpeg, &libWidth, &libHeight);
            ASSERT_EQ(Decode(jpeg, &bitmap), B_OK) << width << "x" << height;
            ExpectSize(*bitmap, libWidth, libHeight);
            EXPECT_EQ(BitmapBytes(*bitmap), expected) << width << "x" << height;
        }
        Bytes gray = EncodeJpeg(width, height, 1, Photo(width, height, 1));
        int libWidth = 0, libHeight = 0;
        Bytes expected = LibjpegBgra(gray, &libWidth, &libHeight);
        ASSERT_EQ(Decode(gray, &bitmap), B_OK);
        EXPECT_EQ(BitmapBytes(*bitmap), expected) << "gray " << width << "x" << height;

        for (int colorType : {PNG_COLOR_TYPE_RGBA, PNG_COLOR_TYPE_RGB}) {
            int components = colorType == PNG_COLOR_TYPE_RGBA ? 4 : 3;
            for (bool interlaced : {false, true}) {
                Bytes png = EncodePng(width, height, colorType, 8, interlaced,
                                      Photo(width, height, components));
                ASSERT_EQ(Decode(png, &bitmap), B_OK);
                ExpectSize(*bitmap, width, height);
                EXPECT_EQ(BitmapBytes(*bitmap), LibpngBgra(png))
                    << components << " " << width << "x" << height << " " << interlaced;
            }
        }
    }
}

TEST(TranslatorsTest, BigPicturesDecodeToExactlyWhatTheLibrariesGive)
{
    // Bitmaps this size get memory of their own, not from the heap.
    std::unique_ptr<BBitmap> bitmap;
    Bytes jpeg = EncodeJpeg(1203, 901, 3, Photo(1203, 901, 3));
    int width = 0, height = 0;
    Bytes expected = LibjpegBgra(jpeg, &width, &height);
    ASSERT_EQ(Decode(jpeg, &bitmap), B_OK);
    ExpectSize(*bitmap, 1203, 901);
    EXPECT_TRUE(BitmapBytes(*bitmap) == expected);

    Bytes png = EncodePng(1101, 1001, PNG_COLOR_TYPE_RGBA, 8, false, Photo(1101, 1001, 4));
    ASSERT_EQ(Decode(png, &bitmap), B_OK);
    ExpectSize(*bitmap, 1101, 1001);
    EXPECT_TRUE(BitmapBytes(*bitmap) == LibpngBgra(png));
    // A copy is a bitmap of its own.
    BBitmap copy(bitmap.get());
    static_cast<uint8_t*>(copy.Bits())[0] ^= 0xff;
    EXPECT_NE(static_cast<const uint8_t*>(copy.Bits())[0],
              static_cast<const uint8_t*>(bitmap->Bits())[0]);
    EXPECT_EQ(0, memcmp(static_cast<const uint8_t*>(copy.Bits()) + 1,
                        static_cast<const uint8_t*>(bitmap->Bits()) + 1,
                        (size_t)copy.BitsLength() - 1));
}

TEST(TranslatorsTest, AStreamThatIsNotABitmapGetsTheSameHeaderAndRows)
{
    Bytes jpeg = EncodeJpeg(21, 13, 3, Photo(21, 13, 3));
    std::unique_ptr<BBitmap> bitmap;
    ASSERT_EQ(Decode(jpeg, &bitmap), B_OK);

    BMemoryIO source(jpeg.data(), jpeg.size());
    BMallocIO written;
    ASSERT_EQ(BTranslatorRoster::Default()->Translate(&source, nullptr, nullptr, &written,
                                                      B_TRANSLATOR_BITMAP),
              B_OK);
    ASSERT_EQ(written.BufferLength(), 32u + 21 * 13 * 4);
    const uint8_t* bytes = static_cast<const uint8_t*>(written.Buffer());
    EXPECT_EQ(Bytes(bytes + 32, bytes + written.BufferLength()), BitmapBytes(*bitmap));

    // Read back through a bitmap stream, as another program would.
    BBitmapStream stream;
    ASSERT_EQ(stream.Write(bytes, written.BufferLength()), (ssize_t)written.BufferLength());
    BBitmap* readBack = nullptr;
    ASSERT_EQ(stream.DetachBitmap(&readBack), B_OK);
    std::unique_ptr<BBitmap> owned(readBack);
    EXPECT_EQ(BitmapBytes(*owned), BitmapBytes(*bitmap));
    EXPECT_EQ(owned->Bounds(), bitmap->Bounds());
}

TEST(TranslatorsTest, AFailedDecodeLeavesTheBitmapStreamEmpty)
{
    Bytes whole = EncodePng(40, 30, PNG_COLOR_TYPE_RGB, 8, false, Photo(40, 30, 3));
    Bytes cut(whole.begin(), whole.begin() + whole.size() * 2 / 3);
    Bytes jpeg = EncodeJpeg(40, 30, 3, Photo(40, 30, 3));
    Bytes cutJpeg(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
    BBitmapStream stream;
    for (const Bytes* broken : {&cut, &cutJpeg}) {
        BMemoryIO source(broken->data(), broken->size());
        EXPECT_EQ(BTranslatorRoster::Default()->Translate(&source, nullptr, nullptr, &stream,
                                                          B_TRANSLATOR_BITMAP),
                  B_ILLEGAL_DATA);
        EXPECT_EQ(stream.Size(), 0);
        EXPECT_EQ(stream.Position(), 0);
        BBitmap* nothing = nullptr;
        EXPECT_EQ(stream.DetachBitmap(&nothing), B_ERROR);
        EXPECT_EQ(nothing, nullptr);
    }

    // The same stream then takes a whole picture.
    BMemoryIO source(whole.data(), whole.size());
    ASSERT_EQ(BTranslatorRoster::Default()->Translate(&source, nullptr, nullptr, &stream,
                                                      B_TRANSLATOR_BITMAP),
              B_OK);
    EXPECT_EQ(stream.Size(), 32 + 40 * 30 * 4);
    BBitmap* result = nullptr;
    ASSERT_EQ(stream.DetachBitmap(&result), B_OK);
    std::unique_ptr<BBitmap> owned(result);
    EXPECT_EQ(BitmapBytes(*owned), LibpngBgra(whole));
}
