#ifndef _TRANSLATION_TRANSLATORS_BMP_TRANSLATOR_H
#define _TRANSLATION_TRANSLATORS_BMP_TRANSLATOR_H

#include "translation/translators/ImageTranslator.h"

namespace BPrivate
{

// Windows and OS/2 bitmaps over SDL2's reader.
class BMPTranslator : public ImageTranslator
{
public:
    BMPTranslator();

protected:
    bool IsOwnFormat(const uint8* start, size_t length) const override;
    status_t Decode(const uint8* data, size_t length, PixelBuffer* pixels) const override;
};

} // namespace BPrivate

#endif
