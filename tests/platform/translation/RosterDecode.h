#ifndef VEK_TESTS_PLATFORM_TRANSLATION_ROSTER_DECODE_H
#define VEK_TESTS_PLATFORM_TRANSLATION_ROSTER_DECODE_H

// The decode step every translation test needs, and the pixels it gives.

#include <Bitmap.h>
#include <BitmapStream.h>
#include <DataIO.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <memory>
#include <vector>

#include "support/TestPictures.h"

// Decodes through the default roster into a bitmap; the status of Translate.
inline status_t Decode(const TestPictures::Bytes& data, std::unique_ptr<BBitmap>* bitmap)
{
    BMemoryIO source(data.data(), data.size());
    BBitmapStream stream;
    status_t status = BTranslatorRoster::Default()->Translate(&source, nullptr, nullptr, &stream,
                                                              B_TRANSLATOR_BITMAP);
    if (status != B_OK)
        return status;
    BBitmap* result = nullptr;
    status = stream.DetachBitmap(&result);
    bitmap->reset(result);
    return status;
}

// B, G, R, A of a pixel of a B_RGBA32 bitmap.
inline std::vector<int> PixelAt(const BBitmap& bitmap, int x, int y)
{
    const uint8_t* pixel =
        static_cast<const uint8_t*>(bitmap.Bits()) + y * bitmap.BytesPerRow() + x * 4;
    return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

#endif
