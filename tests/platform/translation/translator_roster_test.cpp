#include "platform/translation/RosterDecode.h"

#include <File.h>
#include <Translator.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>

using namespace TestPictures;

namespace
{

Bytes SmallPng()
{
    return EncodePng(2, 2, PNG_COLOR_TYPE_GRAY, 8, false, {10, 20, 30, 40});
}

// Claims every stream that starts with its letter, with the given quality and capability,
// and writes its letter as the translation.
class LetterTranslator : public BTranslator
{
public:
    LetterTranslator(char letter, float quality, float capability)
        : fLetter(letter), fQuality(quality), fCapability(capability)
    {
        memset(&fFormat, 0, sizeof(fFormat));
        fFormat.type = (uint32)letter;
    }
    const char* TranslatorName() const override { return "letters"; }
    const char* TranslatorInfo() const override { return "test translator"; }
    int32 TranslatorVersion() const override { return 1; }
    const translation_format* InputFormats(int32* count) const override
    {
        *count = 1;
        return &fFormat;
    }
    const translation_format* OutputFormats(int32* count) const override
    {
        *count = 1;
        return &fFormat;
    }
    status_t Identify(BPositionIO* source, const translation_format*, BMessage*,
                      translator_info* info, uint32) override
    {
        char first = 0;
        if (source->Read(&first, 1) != 1 || first != fLetter)
            return B_NO_TRANSLATOR;
        info->type = (uint32)fLetter;
        info->quality = fQuality;
        info->capability = fCapability;
        return B_OK;
    }
    status_t Translate(BPositionIO* source, const translator_info*, BMessage*, uint32,
                       BPositionIO* destination) override
    {
        char marker[2] = {fLetter, (char)('0' + (int)(fQuality * 10))};
        return destination->Write(marker, 2) == 2 ? B_OK : B_IO_ERROR;
    }

private:
    char fLetter;
    float fQuality;
    float fCapability;
    translation_format fFormat;
};

} // namespace

TEST(TranslatorRosterTest, DefaultHoldsTheBuiltInPictureTranslators)
{
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    ASSERT_NE(roster, nullptr);
    EXPECT_EQ(BTranslatorRoster::Default(), roster);

    translator_id* ids = nullptr;
    int32 count = 0;
    ASSERT_EQ(roster->GetAllTranslators(&ids, &count), B_OK);
    std::vector<uint32> inputTypes;
    for (int32 i = 0; i < count; i++) {
        const char* name = nullptr;
        const char* info = nullptr;
        int32 version = 0;
        ASSERT_EQ(roster->GetTranslatorInfo(ids[i], &name, &info, &version), B_OK);
        EXPECT_NE(strlen(name), 0u);
        const translation_format* formats = nullptr;
        int32 formatCount = 0;
        ASSERT_EQ(roster->GetInputFormats(ids[i], &formats, &formatCount), B_OK);
        ASSERT_EQ(formatCount, 1);
        inputTypes.push_back(formats[0].type);
        EXPECT_EQ(formats[0].group, (uint32)B_TRANSLATOR_BITMAP);
        ASSERT_EQ(roster->GetOutputFormats(ids[i], &formats, &formatCount), B_OK);
        EXPECT_EQ(formats[0].type, (uint32)B_TRANSLATOR_BITMAP);
    }
    delete[] ids;
    EXPECT_EQ(inputTypes, std::vector<uint32>({B_PNG_FORMAT, B_JPEG_FORMAT, B_GIF_FORMAT,
                                               B_WEBP_FORMAT, B_BMP_FORMAT}));

    const char* name = nullptr;
    const char* info = nullptr;
    int32 version = 0;
    EXPECT_EQ(roster->GetTranslatorInfo(0, &name, &info, &version), B_NO_TRANSLATOR);
    EXPECT_EQ(roster->GetTranslatorInfo(99, &name, &info, &version), B_NO_TRANSLATOR);
    EXPECT_EQ(roster->GetTranslatorInfo(1, nullptr, &info, &version), B_BAD_VALUE);
    EXPECT_EQ(roster->GetAllTranslators(nullptr, &count), B_BAD_VALUE);
}

TEST(TranslatorRosterTest, IdentifiesByContentNotByName)
{
    char folder[] = "/tmp/roster-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string path = std::string(folder) + "/picture.jpg";
    Bytes png = SmallPng();
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fwrite(png.data(), 1, png.size(), file);
    fclose(file);

    BFile source(path.c_str(), B_READ_ONLY);
    ASSERT_EQ(source.InitCheck(), B_OK);
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    translator_info info;
    ASSERT_EQ(roster->Identify(&source, nullptr, &info, B_JPEG_FORMAT, "image/jpeg"), B_OK);
    EXPECT_EQ(info.type, (uint32)B_PNG_FORMAT);
    EXPECT_STREQ(info.MIME, "image/png");
    EXPECT_EQ(info.group, (uint32)B_TRANSLATOR_BITMAP);

    // As the program does it: from the file into a bitmap stream, no translator chosen.
    BBitmapStream stream;
    ASSERT_EQ(roster->Translate(&source, nullptr, nullptr, &stream, B_TRANSLATOR_BITMAP), B_OK);
    BBitmap* bitmap = nullptr;
    ASSERT_EQ(stream.DetachBitmap(&bitmap), B_OK);
    std::unique_ptr<BBitmap> owned(bitmap);
    EXPECT_EQ(bitmap->Bounds(), BRect(0, 0, 1, 1));
    EXPECT_EQ(PixelAt(*bitmap, 1, 1), std::vector<int>({40, 40, 40, 255}));

    translator_info* all = nullptr;
    int32 count = 0;
    ASSERT_EQ(roster->GetTranslators(&source, nullptr, &all, &count), B_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(all[0].type, (uint32)B_PNG_FORMAT);
    delete[] all;

    unlink(path.c_str());
    rmdir(folder);
}

TEST(TranslatorRosterTest, RefusesWhatNoTranslatorReads)
{
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    BBitmapStream stream;
    BMallocIO empty;
    EXPECT_EQ(roster->Translate(&empty, nullptr, nullptr, &stream, B_TRANSLATOR_BITMAP),
              B_NO_TRANSLATOR);
    const char text[] = "Hello !\nthis is no picture, though it is long enough to be one\n";
    BMemoryIO textSource(text, sizeof(text) - 1);
    EXPECT_EQ(roster->Translate(&textSource, nullptr, nullptr, &stream, B_TRANSLATOR_BITMAP),
              B_NO_TRANSLATOR);
    translator_info info;
    EXPECT_EQ(roster->Identify(&textSource, nullptr, &info), B_NO_TRANSLATOR);
    translator_info* all = nullptr;
    int32 count = 5;
    EXPECT_EQ(roster->GetTranslators(&textSource, nullptr, &all, &count), B_NO_TRANSLATOR);
    EXPECT_EQ(all, nullptr);
    EXPECT_EQ(count, 0);

    Bytes png = SmallPng();
    BMemoryIO source(png.data(), png.size());
    EXPECT_EQ(roster->Translate(nullptr, nullptr, nullptr, &stream, B_TRANSLATOR_BITMAP),
              B_BAD_VALUE);
    EXPECT_EQ(roster->Translate(&source, nullptr, nullptr, nullptr, B_TRANSLATOR_BITMAP),
              B_BAD_VALUE);
    EXPECT_EQ(roster->Identify(nullptr, nullptr, &info), B_BAD_VALUE);
    EXPECT_EQ(roster->Translate(&source, nullptr, nullptr, &stream, B_TRANSLATOR_TEXT),
              B_NO_TRANSLATOR);

    // A chosen translator that cannot read the source, or one that does not exist.
    translator_info jpeg = {};
    jpeg.translator = 2;
    EXPECT_EQ(roster->Translate(&source, &jpeg, nullptr, &stream, B_TRANSLATOR_BITMAP),
              B_NO_TRANSLATOR);
    jpeg.translator = 77;
    EXPECT_EQ(roster->Translate(&source, &jpeg, nullptr, &stream, B_TRANSLATOR_BITMAP),
              B_NO_TRANSLATOR);
    EXPECT_EQ(roster->Translate((translator_id)2, &source, nullptr, &stream, B_TRANSLATOR_BITMAP),
              B_NO_TRANSLATOR);
    BBitmap* bitmap = nullptr;
    EXPECT_EQ(stream.DetachBitmap(&bitmap), B_ERROR) << "no failed attempt left a bitmap";
}

TEST(TranslatorRosterTest, TranslatesFromTheStartWhateverThePosition)
{
    BTranslatorRoster* roster = BTranslatorRoster::Default();
    Bytes png = SmallPng();
    BMemoryIO source(png.data(), png.size());

    source.Seek(0, SEEK_END);
    translator_info info;
    ASSERT_EQ(roster->Identify(&source, nullptr, &info), B_OK);
    source.Seek(5, SEEK_SET);
    BBitmapStream first;
    ASSERT_EQ(roster->Translate(&source, &info, nullptr, &first, B_TRANSLATOR_BITMAP), B_OK);
    EXPECT_EQ(first.Size(), 32 + 16);

    source.Seek(9, SEEK_SET);
    BBitmapStream second;
    ASSERT_EQ(roster->Translate(info.translator, &source, nullptr, &second, 0), B_OK);
    EXPECT_EQ(second.Size(), 32 + 16);
}

namespace
{

// A stream that hands out at most a few bytes a read and cannot tell its size,
// as a pipe-like source does.
class TrickleIO : public BPositionIO
{
public:
    explicit TrickleIO(const Bytes& data) : fData(data) {}
    ssize_t ReadAt(off_t position, void* buffer, size_t size) override
    {
        if (position >= (off_t)fData.size())
            return 0;
        size_t count = std::min({size, (size_t)7, fData.size() - (size_t)position});
        memcpy(buffer, fData.data() + position, count);
        return (ssize_t)count;
    }
    ssize_t WriteAt(off_t, const void*, size_t) override { return B_NOT_ALLOWED; }
    off_t Seek(off_t position, uint32 mode) override
    {
        if (mode != SEEK_SET && mode != SEEK_CUR)
            return B_NOT_ALLOWED;
        fPosition = mode == SEEK_SET ? position : fPosition + position;
        return fPosition;
    }
    off_t Position() const override { return fPosition; }
    status_t GetSize(off_t*) const override { return B_NOT_ALLOWED; }

private:
    Bytes fData;
    off_t fPosition = 0;
};

} // namespace

TEST(TranslatorRosterTest, ShortReadsAndUnknownSizesStillGiveTheWholePicture)
{
    // Larger than what the roster reads ahead for the translators.
    Bytes rows;
    uint32_t noise = 1;
    for (int i = 0; i < 120 * 90 * 3; i++) {
        noise = noise * 1103515245u + 12345u;
        rows.push_back((uint8_t)(noise >> 24));
    }
    Bytes png = EncodePng(120, 90, PNG_COLOR_TYPE_RGB, 8, false, rows);
    ASSERT_GT(png.size(), 8192u);
    std::unique_ptr<BBitmap> expected;
    ASSERT_EQ(Decode(png, &expected), B_OK);

    TrickleIO source(png);
    BBitmapStream stream;
    ASSERT_EQ(BTranslatorRoster::Default()->Translate(&source, nullptr, nullptr, &stream,
                                                      B_TRANSLATOR_BITMAP),
              B_OK);
    BBitmap* bitmap = nullptr;
    ASSERT_EQ(stream.DetachBitmap(&bitmap), B_OK);
    std::unique_ptr<BBitmap> owned(bitmap);
    ASSERT_EQ(owned->BitsLength(), expected->BitsLength());
    EXPECT_EQ(0, memcmp(owned->Bits(), expected->Bits(), (size_t)owned->BitsLength()));
    EXPECT_EQ(source.Position(), (off_t)png.size()) << "left where the translator stopped";
}

TEST(TranslatorRosterTest, TheBestQualityTimesCapabilityWins)
{
    BTranslatorRoster roster;
    BMallocIO destination;
    const char data[] = "x marks the spot";
    BMemoryIO source(data, sizeof(data));
    EXPECT_EQ(roster.Translate(&source, nullptr, nullptr, &destination, 0), B_NO_TRANSLATOR)
        << "a roster made by hand starts empty";

    EXPECT_EQ(roster.AddTranslator(nullptr), B_BAD_VALUE);
    roster.AddTranslator(new LetterTranslator('x', 0.5f, 0.5f));
    roster.AddTranslator(new LetterTranslator('x', 0.9f, 0.0f));
    roster.AddTranslator(new LetterTranslator('x', 0.3f, 1.0f));
    roster.AddTranslator(new LetterTranslator('y', 1.0f, 1.0f));
    roster.AddTranslator(new LetterTranslator('x', 0.4f, 0.7f));

    translator_info info;
    ASSERT_EQ(roster.Identify(&source, nullptr, &info), B_OK);
    EXPECT_EQ(info.translator, 3u) << "0.3 x 1.0 beats 0.5 x 0.5 and 0.4 x 0.7; 0 never wins";
    ASSERT_EQ(roster.Translate(&source, nullptr, nullptr, &destination, 0), B_OK);
    ASSERT_EQ(destination.BufferLength(), 2u);
    EXPECT_EQ(memcmp(destination.Buffer(), "x3", 2), 0);

    translator_info* all = nullptr;
    int32 count = 0;
    ASSERT_EQ(roster.GetTranslators(&source, nullptr, &all, &count), B_OK);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(all[0].translator, 3u);
    EXPECT_EQ(all[1].translator, 5u);
    EXPECT_EQ(all[2].translator, 1u);
    delete[] all;
}
