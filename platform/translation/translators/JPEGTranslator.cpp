#include "translation/translators/JPEGTranslator.h"

#include <TranslatorFormats.h>

#include <setjmp.h>
#include <stdio.h>
#include <string.h>

#include <jpeglib.h>
#include <jerror.h>

#include <vector>

namespace BPrivate
{

namespace
{

const ImageFormat kFormat = {
    "JPEG Images",
    "JPEG image translator (libjpeg-turbo)",
    100,
    B_JPEG_FORMAT,
    "image/jpeg",
    "JPEG image",
    0.8f,
    0.8f,
    3,
};

// Progressive pictures with more scans than this are hostile: each scan costs a
// pass over the whole picture.
constexpr int kMaxScans = 256;

struct ErrorManager {
    jpeg_error_mgr manager;
    jpeg_progress_mgr progress;
    jmp_buf jump;
    bool damaged;
};

ErrorManager* Manager(j_common_ptr info)
{
    return reinterpret_cast<ErrorManager*>(info->err);
}

[[noreturn]] void OnError(j_common_ptr info)
{
    longjmp(Manager(info)->jump, 1);
}

void OnOutputMessage(j_common_ptr) {}

// Warnings about missing or damaged data mean the picture is not whole;
// libjpeg would fill the gap with gray and carry on.
void OnMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION:
        Manager(info)->damaged = true;
        break;
    default:
        break;
    }
}

void OnProgress(j_common_ptr info)
{
    if (info->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans)
        longjmp(Manager(info)->jump, 1);
}

void ConvertCMYK(const uint8* cmyk, uint8* bgra, int32 width, bool inverted)
{
    for (int32 x = 0; x < width; x++, cmyk += 4, bgra += 4) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgra[0] = (uint8)(y * k / 255);
        bgra[1] = (uint8)(m * k / 255);
        bgra[2] = (uint8)(c * k / 255);
        bgra[3] = 255;
    }
}

} // namespace

JPEGTranslator::JPEGTranslator() : ImageTranslator(kFormat) {}

bool JPEGTranslator::IsOwnFormat(const uint8* start, size_t length) const
{
    return length >= 3 && start[0] == 0xff && start[1] == 0xd8 && start[2] == 0xff;
}

status_t JPEGTranslator::Decode(const uint8* data, size_t length, PixelBuffer* pixels) const
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    memset(&info, 0, sizeof(info));
    memset(&errors, 0, sizeof(errors));
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnError;
    errors.manager.output_message = OnOutputMessage;
    errors.manager.emit_message = OnMessage;
    errors.progress.progress_monitor = OnProgress;
    std::vector<uint8> cmykRow;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return B_ILLEGAL_DATA;
    }
    jpeg_create_decompress(&info);
    info.progress = &errors.progress;
    jpeg_mem_src(&info, data, (unsigned long)length);
    jpeg_read_header(&info, TRUE);

    status_t status = pixels->Allocate(info.image_width, info.image_height);
    if (status != B_OK) {
        jpeg_destroy_decompress(&info);
        return status;
    }
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    if (info.output_width != info.image_width || info.output_height != info.image_height ||
        info.output_components != 4) {
        jpeg_destroy_decompress(&info);
        return B_ILLEGAL_DATA;
    }
    if (cmyk)
        cmykRow.resize((size_t)pixels->BytesPerRow());
    while (info.output_scanline < info.output_height) {
        int32 y = (int32)info.output_scanline;
        JSAMPROW row = cmyk ? cmykRow.data() : pixels->Row(y);
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            break;
        if (cmyk)
            ConvertCMYK(cmykRow.data(), pixels->Row(y), pixels->Width(), info.saw_Adobe_marker);
    }
    bool whole = info.output_scanline == info.output_height;
    if (whole)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return whole && !errors.damaged ? B_OK : B_ILLEGAL_DATA;
}

} // namespace BPrivate
