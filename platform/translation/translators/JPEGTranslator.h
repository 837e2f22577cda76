#ifndef _TRANSLATION_TRANSLATORS_JPEG_TRANSLATOR_H
#define _TRANSLATION_TRANSLATORS_JPEG_TRANSLATOR_H

#include "translation/translators/ImageTranslator.h"

namespace BPrivate
{

// JPEG over libjpeg-turbo, which writes B, G, R, A rows itself; CMYK pictures are converted.
class JPEGTranslator : public ImageTranslator
{
public:
    JPEGTranslator();

protected:
    bool IsOwnFormat(const uint8* start, size_t length) const override;
    status_t Decode(const uint8* data, size_t length, PixelBuffer* pixels) const override;
};

} // namespace BPrivate

#endif
