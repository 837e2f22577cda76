#ifndef _TRANSLATION_BITMAP_HEADER_H
#define _TRANSLATION_BITMAP_HEADER_H

#include <TranslatorFormats.h>

namespace BPrivate
{

// The bitmap interchange header as it lies in a stream: 32 bytes, every word big-endian.
constexpr size_t kBitmapHeaderSize = 32;

void EncodeBitmapHeader(const TranslatorBitmap& header, uint8 bytes[kBitmapHeaderSize]);
// False when the colour space word names no colour space of <GraphicsDefs.h>.
bool DecodeBitmapHeader(const uint8 bytes[kBitmapHeaderSize], TranslatorBitmap* header);

} // namespace BPrivate

#endif
