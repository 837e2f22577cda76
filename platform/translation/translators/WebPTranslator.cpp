#include "translation/translators/WebPTranslator.h"

#include <TranslatorFormats.h>

#include <string.h>
#include <webp/decode.h>

namespace BPrivate
{

namespace
{

const ImageFormat kFormat = {
    "WebP Images",
    "WebP image translator (libwebp)",
    100,
    B_WEBP_FORMAT,
    "image/webp",
    "WebP image",
    0.8f,
    0.8f,
    12,
};

} // namespace

WebPTranslator::WebPTranslator() : ImageTranslator(kFormat) {}

bool WebPTranslator::IsOwnFormat(const uint8* start, size_t length) const
{
    return length >= 12 && memcmp(start, "RIFF", 4) == 0 && memcmp(start + 8, "WEBP", 4) == 0;
}

status_t WebPTranslator::Decode(const uint8* data, size_t length, PixelBuffer* pixels) const
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, length, &features) != VP8_STATUS_OK)
        return B_ILLEGAL_DATA;
    if (features.has_animation)
        return B_NO_TRANSLATOR;
    status_t status = pixels->Allocate(features.width, features.height);
    if (status != B_OK)
        return status;
    if (WebPDecodeBGRAInto(data, length, pixels->Bits(), pixels->Size(), pixels->BytesPerRow()) ==
        NULL)
        return B_ILLEGAL_DATA;
    return B_OK;
}

} // namespace BPrivate
