#ifndef _BITMAP_STREAM_H
#define _BITMAP_STREAM_H

#include <DataIO.h>
#include <TranslatorFormats.h>

class BBitmap;

namespace BPrivate
{
struct BitmapStreamFill;
}

// A stream in the bitmap interchange format over a BBitmap. Made without a
// bitmap, it makes one as soon as the whole header has been written; made with
// one, it reads out the header and the bitmap's rows. The stream owns its bitmap
// until DetachBitmap() hands it over.
class BBitmapStream : public BPositionIO
{
public:
    BBitmapStream(BBitmap* bitmap = NULL);
    virtual ~BBitmapStream();

    virtual ssize_t ReadAt(off_t position, void* buffer, size_t size);
    virtual ssize_t WriteAt(off_t position, const void* data, size_t size);
    virtual off_t Seek(off_t position, uint32 seekMode);
    virtual off_t Position() const;
    virtual off_t Size() const;
    virtual status_t SetSize(off_t size);

    status_t DetachBitmap(BBitmap** outBitmap);

protected:
    TranslatorBitmap fHeader;
    BBitmap* fBitmap;
    off_t fPosition;
    off_t fSize;
    bool fDetached;

private:
    friend struct BPrivate::BitmapStreamFill;

    status_t _HeaderWritten();

    uint8 fHeaderBytes[32];
    uint32 fHeaderBytesWritten;
};

#endif
