#ifndef _TRANSLATION_TRANSLATORS_WEBP_TRANSLATOR_H
#define _TRANSLATION_TRANSLATORS_WEBP_TRANSLATOR_H

#include "translation/translators/ImageTranslator.h"

namespace BPrivate
{

// Still WebP pictures over libwebp, lossy and lossless, with alpha. Animations are refused.
class WebPTranslator : public ImageTranslator
{
public:
    WebPTranslator();

protected:
    bool IsOwnFormat(const uint8* start, size_t length) const override;
    status_t Decode(const uint8* data, size_t length, PixelBuffer* pixels) const override;
};

} // namespace BPrivate

#endif
