#ifndef _TRANSLATION_TRANSLATORS_IMAGE_TRANSLATOR_H
#define _TRANSLATION_TRANSLATORS_IMAGE_TRANSLATOR_H

#include <Translator.h>

#include "translation/translators/PixelBuffer.h"

namespace BPrivate
{

// What distinguishes one picture format's translator from another.
struct ImageFormat {
    const char* translatorName;
    const char* translatorInfo;
    int32 version;
    uint32 type;
    const char* mime;
    const char* name;
    float quality;
    float capability;
    // Bytes at the start of a stream that IsOwnFormat() looks at.
    size_t signatureLength;
};

// A translator from one picture format to the bitmap interchange format. It
// identifies by content only, reads the whole source once and lets the format
// decode into B_RGBA32 rows: those of the bitmap itself when the destination is
// a bitmap stream nothing has been written to, else rows of its own that it
// writes out after the header.
class ImageTranslator : public BTranslator
{
public:
    explicit ImageTranslator(const ImageFormat& format);

    const char* TranslatorName() const override;
    const char* TranslatorInfo() const override;
    int32 TranslatorVersion() const override;
    const translation_format* InputFormats(int32* outCount) const override;
    const translation_format* OutputFormats(int32* outCount) const override;

    status_t Identify(BPositionIO* source, const translation_format* format, BMessage* ioExtension,
                      translator_info* outInfo, uint32 outType) final;
    status_t Translate(BPositionIO* source, const translator_info* info, BMessage* ioExtension,
                       uint32 outType, BPositionIO* destination) final;

    // Larger sources are refused unread.
    static constexpr off_t kMaxSourceSize = 128 * 1024 * 1024;

protected:
    // `length` may be shorter than the signature length for a short stream.
    virtual bool IsOwnFormat(const uint8* start, size_t length) const = 0;
    // B_ILLEGAL_DATA for a broken picture, B_NO_TRANSLATOR beyond the size limits.
    virtual status_t Decode(const uint8* data, size_t length, PixelBuffer* pixels) const = 0;

private:
    ImageFormat fFormat;
    translation_format fInput;
    translation_format fOutput;
};

} // namespace BPrivate

#endif
