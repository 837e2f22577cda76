// Any bytes through the default roster into a bitmap stream: every built-in
// translator identifies them, the best one decodes them.
#include <Bitmap.h>
#include <BitmapStream.h>
#include <DataIO.h>
#include <TranslatorFormats.h>
#include <TranslatorRoster.h>

#include <stddef.h>
#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BMemoryIO source(data, size);
    BBitmapStream stream;
    status_t status =
        BTranslatorRoster::Default()->Translate(&source, NULL, NULL, &stream, B_TRANSLATOR_BITMAP);
    BBitmap* bitmap = NULL;
    if (status == B_OK && stream.DetachBitmap(&bitmap) == B_OK) {
        // Touch the last row: the stream must have made every row it announced.
        const uint8_t* bits = static_cast<const uint8_t*>(bitmap->Bits());
        volatile uint8_t last = bits[bitmap->BitsLength() - 1];
        (void)last;
        delete bitmap;
    }
    return 0;
}
