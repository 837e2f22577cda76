#ifndef _TRANSLATION_TRANSLATORS_PNG_TRANSLATOR_H
#define _TRANSLATION_TRANSLATORS_PNG_TRANSLATOR_H

#include "translation/translators/ImageTranslator.h"

namespace BPrivate
{

// PNG over libpng: palette, gray and 16-bit pictures expanded, alpha kept, interlaced ones too.
class PNGTranslator : public ImageTranslator
{
public:
    PNGTranslator();

protected:
    bool IsOwnFormat(const uint8* start, size_t length) const override;
    status_t Decode(const uint8* data, size_t length, PixelBuffer* pixels) const override;
};

} // namespace BPrivate

#endif
