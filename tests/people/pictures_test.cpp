// Pictures given to vek-people: any format the client reads, upright by their
// EXIF orientation, scaled down to fit beside the log, written as PNG; a
// picture made from the name when none is given; a bad file changes nothing.

#include "PeopleHarness.h"

#include <jpeglib.h>
#include <libexif/exif-data.h>
#include <png.h>

#include <stdio.h>

namespace
{

struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    const uint8_t* At(int x, int y) const { return &pixels[(y * width + x) * 4]; }
    bool IsRed(int x, int y) const { return At(x, y)[0] > 180 && At(x, y)[2] < 80; }
};

Rgba ReadPng(const std::string& path)
{
    Rgba result;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return result;
    image.format = PNG_FORMAT_RGBA;
    result.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.pixels.data(), 0, nullptr)) {
        result.pixels.clear();
        return result;
    }
    result.width = image.width;
    result.height = image.height;
    return result;
}

// A camera's picture: stored lying on its side with a red top-left corner
// and the EXIF orientation that says so.
bool WriteSidewaysJpeg(const std::string& path, int width, int height, int orientation)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);

    ExifData* exif = exif_data_new();
    exif_data_set_byte_order(exif, EXIF_BYTE_ORDER_INTEL);
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(exif->ifd[EXIF_IFD_0], entry);
    exif_entry_initialize(entry, EXIF_TAG_ORIENTATION);
    exif_set_short(entry->data, EXIF_BYTE_ORDER_INTEL, orientation);
    unsigned char* data = nullptr;
    unsigned int size = 0;
    exif_data_save_data(exif, &data, &size);
    jpeg_write_marker(&info, JPEG_APP0 + 1, data, size);
    free(data);
    exif_entry_unref(entry);
    exif_data_unref(exif);

    std::vector<uint8_t> row(width * 3);
    while (info.next_scanline < info.image_height) {
        int y = info.next_scanline;
        for (int x = 0; x < width; x++) {
            bool corner = x < width / 4 && y < height / 4;
            row[x * 3] = corner ? 230 : 20;
            row[x * 3 + 1] = 20;
            row[x * 3 + 2] = corner ? 20 : 200;
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return fclose(file) == 0;
}

} // namespace

TEST_F(PeopleTest, APhotoBecomesUprightAndSmall)
{
    std::string photo = fRoot / "photo.jpg";
    // 4000 x 3000 stored; orientation 6: to be turned a quarter clockwise.
    ASSERT_TRUE(WriteSidewaysJpeg(photo, 4000, 3000, 6));
    std::string err;
    ASSERT_EQ(0, People({"add", "carol", "--tag", "04C0FFEE", "--picture", photo}, nullptr, &err))
        << err;
    Rgba picture = ReadPng(Avatar("carol"));
    ASSERT_FALSE(picture.pixels.empty());
    EXPECT_EQ(picture.width, 72);
    EXPECT_EQ(picture.height, 96);
    // The stored top-left corner is the upright picture's top-right one.
    EXPECT_TRUE(picture.IsRed(picture.width - 5, 5));
    EXPECT_FALSE(picture.IsRed(4, 4));
    EXPECT_FALSE(picture.IsRed(picture.width - 5, picture.height - 5));

    // Never scaled up; the size chosen, but never wider than 112 nor taller than 190.
    std::string small = fRoot / "small.png";
    ASSERT_TRUE(TestPictures::WritePng(small, 40, 30, {200, 0, 0, 255}));
    ASSERT_EQ(0, People({"picture", "carol", small}, nullptr, &err)) << err;
    picture = ReadPng(Avatar("carol"));
    EXPECT_EQ(picture.width, 40);
    EXPECT_EQ(picture.height, 30);
    std::string tall = fRoot / "tall.png";
    ASSERT_TRUE(TestPictures::WritePng(tall, 400, 1000, {200, 0, 0, 255}));
    ASSERT_EQ(0, People({"picture", "carol", tall, "--size", "190"}, nullptr, &err)) << err;
    picture = ReadPng(Avatar("carol"));
    EXPECT_EQ(picture.width, 76);
    EXPECT_EQ(picture.height, 190);
    EXPECT_EQ(2, People({"picture", "carol", tall, "--size", "191"}, nullptr, &err));
}

TEST_F(PeopleTest, EveryFormatTheClientReadsIsImported)
{
    std::string source = fRoot / "source.png";
    ASSERT_TRUE(TestPictures::WritePng(source, 300, 150, {200, 0, 0, 255}));
    int n = 0;
    for (const char* format : {"gif", "webp", "bmp"}) {
        std::string file = fRoot / (std::string("picture.") + format);
        ASSERT_EQ(0, Process::Run("/usr/bin/convert", {source, file}, 60000)) << format;
        std::string name = std::string("p") + format;
        char tag[16];
        snprintf(tag, sizeof(tag), "04AA%04d", ++n);
        std::string err;
        ASSERT_EQ(0, People({"add", name, "--tag", tag, "--picture", file}, nullptr, &err))
            << format << ": " << err;
        Rgba picture = ReadPng(Avatar(name));
        EXPECT_EQ(picture.width, 96) << format;
        EXPECT_EQ(picture.height, 48) << format;
        EXPECT_TRUE(picture.IsRed(48, 24)) << format;
    }
}

TEST_F(PeopleTest, ABadPictureChangesNothing)
{
    WriteList("alice|04A1B2C3\n");
    Picture("alice");
    std::string corrupt = fRoot / "corrupt.jpg";
    std::string photo = fRoot / "photo.jpg";
    ASSERT_TRUE(WriteSidewaysJpeg(photo, 64, 64, 1));
    std::string bytes = fRoot.ReadFile("photo.jpg");
    fRoot.WriteFile("corrupt.jpg", bytes.substr(0, 200) + std::string(300, '\x55'));
    std::string before = Snapshot(fApp);
    for (auto arguments :
         {std::vector<std::string>{"add", "bob", "--tag", "0455AA12", "--picture", corrupt},
          std::vector<std::string>{"picture", "alice", corrupt}}) {
        std::string err;
        EXPECT_EQ(1, People(arguments, nullptr, &err));
        EXPECT_NE(err.find("no picture that can be read"), std::string::npos) << err;
        EXPECT_EQ(Snapshot(fApp), before);
    }
}

TEST_F(PeopleTest, APersonWithoutAPhotoGetsTheInitials)
{
    std::string err;
    ASSERT_EQ(0, People({"add", "Eve Adams", "--tag", "04EE1122"}, nullptr, &err)) << err;
    Rgba picture = ReadPng(Avatar("Eve Adams"));
    ASSERT_EQ(picture.width, 96);
    ASSERT_EQ(picture.height, 96);
    // Text in white over the colour: the initials above, the name on the band.
    auto whiteIn = [&](int top, int bottom) {
        int count = 0;
        for (int y = top; y < bottom; y++) {
            for (int x = 0; x < picture.width; x++)
                count += picture.At(x, y)[0] > 230 && picture.At(x, y)[1] > 230;
        }
        return count;
    };
    EXPECT_GT(whiteIn(10, 70), 200);
    EXPECT_GT(whiteIn(82, 96), 30);
    // The background is the same colour each time for the same name.
    std::string first = fRoot.ReadFile("app/avatars/Eve Adams");
    ASSERT_EQ(0, People({"remove", "Eve Adams"}, nullptr, &err)) << err;
    ASSERT_EQ(0, People({"add", "Eve Adams", "--tag", "04EE1122"}, nullptr, &err)) << err;
    EXPECT_EQ(fRoot.ReadFile("app/avatars/Eve Adams"), first);
}
