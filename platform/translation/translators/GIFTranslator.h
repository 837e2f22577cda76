#ifndef _TRANSLATION_TRANSLATORS_GIF_TRANSLATOR_H
#define _TRANSLATION_TRANSLATORS_GIF_TRANSLATOR_H

#include "translation/translators/ImageTranslator.h"

namespace BPrivate
{

// GIF over giflib: the first frame on the logical screen, its transparent
// colour from the graphics control block, interlaced frames too. Screen pixels
// outside the frame stay transparent.
class GIFTranslator : public ImageTranslator
{
public:
    GIFTranslator();

protected:
    bool IsOwnFormat(const uint8* start, size_t length) const override;
    status_t Decode(const uint8* data, size_t length, PixelBuffer* pixels) const override;
};

} // namespace BPrivate

#endif
