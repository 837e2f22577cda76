#ifndef _TRANSLATOR_FORMATS_H
#define _TRANSLATOR_FORMATS_H

#include <GraphicsDefs.h>
#include <Rect.h>
#include <SupportDefs.h>

// Groups: the interchange formats every translator of a kind reads or writes.
enum TranslatorGroups {
    B_TRANSLATOR_BITMAP = 'bits',
    B_TRANSLATOR_PICTURE = 'pict',
    B_TRANSLATOR_TEXT = 'TEXT',
    B_TRANSLATOR_SOUND = 'nois',
    B_TRANSLATOR_MIDI = 'midi',
    B_TRANSLATOR_MEDIA = 'mhi!',
    B_TRANSLATOR_NONE = 'none',
    B_TRANSLATOR_ANY_TYPE = 0,
};

// Picture formats of the built-in translators.
enum {
    B_GIF_FORMAT = 'GIF ',
    B_JPEG_FORMAT = 'JPEG',
    B_PNG_FORMAT = 'PNG ',
    B_BMP_FORMAT = 'BMP ',
    B_WEBP_FORMAT = 'WebP',
};

// The header of the bitmap interchange format. In a stream every 32-bit word,
// the floats of the bounds included, is big-endian; the rows follow it.
struct TranslatorBitmap {
    uint32 magic;
    BRect bounds;
    uint32 rowBytes;
    color_space colors;
    uint32 dataSize;
};

#endif
