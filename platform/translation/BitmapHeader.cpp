#include "translation/BitmapHeader.h"

#include <string.h>

static_assert(sizeof(TranslatorBitmap) == BPrivate::kBitmapHeaderSize);

namespace BPrivate
{

namespace
{

void PutWord(uint8* bytes, uint32 word)
{
    bytes[0] = (uint8)(word >> 24);
    bytes[1] = (uint8)(word >> 16);
    bytes[2] = (uint8)(word >> 8);
    bytes[3] = (uint8)word;
}

uint32 GetWord(const uint8* bytes)
{
    return (uint32)bytes[0] << 24 | (uint32)bytes[1] << 16 | (uint32)bytes[2] << 8 | bytes[3];
}

void PutFloat(uint8* bytes, float value)
{
    uint32 word;
    memcpy(&word, &value, sizeof(word));
    PutWord(bytes, word);
}

float GetFloat(const uint8* bytes)
{
    uint32 word = GetWord(bytes);
    float value;
    memcpy(&value, &word, sizeof(value));
    return value;
}

bool IsColorSpace(uint32 word)
{
    switch (word) {
    case B_NO_COLOR_SPACE:
    case B_RGB32:
    case B_RGBA32:
    case B_RGB24:
    case B_RGB16:
    case B_RGB15:
    case B_RGBA15:
    case B_CMAP8:
    case B_GRAY8:
    case B_GRAY1:
    case B_RGB32_BIG:
    case B_RGBA32_BIG:
    case B_RGB24_BIG:
        return true;
    default:
        return false;
    }
}

} // namespace

void EncodeBitmapHeader(const TranslatorBitmap& header, uint8 bytes[kBitmapHeaderSize])
{
    PutWord(bytes, header.magic);
    PutFloat(bytes + 4, header.bounds.left);
    PutFloat(bytes + 8, header.bounds.top);
    PutFloat(bytes + 12, header.bounds.right);
    PutFloat(bytes + 16, header.bounds.bottom);
    PutWord(bytes + 20, header.rowBytes);
    PutWord(bytes + 24, (uint32)header.colors);
    PutWord(bytes + 28, header.dataSize);
}

bool DecodeBitmapHeader(const uint8 bytes[kBitmapHeaderSize], TranslatorBitmap* header)
{
    uint32 colors = GetWord(bytes + 24);
    if (!IsColorSpace(colors))
        return false;
    header->magic = GetWord(bytes);
    header->bounds.Set(GetFloat(bytes + 4), GetFloat(bytes + 8), GetFloat(bytes + 12),
                       GetFloat(bytes + 16));
    header->rowBytes = GetWord(bytes + 20);
    header->colors = (color_space)colors;
    header->dataSize = GetWord(bytes + 28);
    return true;
}

} // namespace BPrivate
