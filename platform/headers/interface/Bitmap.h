#ifndef _BITMAP_H
#define _BITMAP_H

#include <GraphicsDefs.h>
#include <Rect.h>
#include <SupportDefs.h>

#include <memory>

enum {
    B_BITMAP_CLEAR_TO_WHITE = 0x00000001,
    B_BITMAP_ACCEPTS_VIEWS = 0x00000002,
    B_BITMAP_IS_AREA = 0x00000004,
    B_BITMAP_IS_LOCKED = 0x00000008 | B_BITMAP_IS_AREA,
    B_BITMAP_IS_CONTIGUOUS = 0x00000010 | B_BITMAP_IS_LOCKED,
    B_BITMAP_IS_OFFSCREEN = 0x00000020,
    B_BITMAP_WILL_OVERLAY = 0x00000040 | B_BITMAP_IS_OFFSCREEN,
    B_BITMAP_RESERVE_OVERLAY_CHANNEL = 0x00000080,
    B_BITMAP_NO_SERVER_LINK = 0x00000100,
};

#define B_ANY_BYTES_PER_ROW (-1)

class BView;

namespace BPrivate
{
struct BitmapPixels;
class BitmapTopView;
} // namespace BPrivate

// A rectangle of pixels in memory. The constructors never fail loudly: a bad
// size or colour space leaves the bitmap without bits and InitCheck() says why.
// One made with B_BITMAP_ACCEPTS_VIEWS takes views, which draw into its bits
// (32-bit colour spaces only); it deletes the views it still holds.
class BBitmap
{
public:
    BBitmap(BRect bounds, color_space colorSpace, bool acceptsViews = false,
            bool needsContiguous = false);
    BBitmap(BRect bounds, uint32 flags, color_space colorSpace,
            int32 bytesPerRow = B_ANY_BYTES_PER_ROW);
    BBitmap(const BBitmap* source, bool acceptsViews = false, bool needsContiguous = false);
    virtual ~BBitmap();

    status_t InitCheck() const;
    bool IsValid() const;

    BRect Bounds() const;
    void* Bits() const;
    int32 BitsLength() const;
    int32 BytesPerRow() const;
    color_space ColorSpace() const;
    uint32 Flags() const;

    // Copies `length` bytes of `data`, laid out in `colorSpace` with the
    // platform's row padding, into the bits from byte `offset` on, converting
    // between colour spaces where needed.
    void SetBits(const void* data, int32 length, int32 offset, color_space colorSpace);
    // The same with the source's row size given (B_ANY_BYTES_PER_ROW: the
    // platform's padding); returns B_BAD_VALUE for arguments it cannot honour.
    status_t ImportBits(const void* data, int32 length, int32 bytesPerRow, int32 offset,
                        color_space colorSpace);
    status_t ImportBits(const BBitmap* source);

    // Views drawing into the bitmap, at its top left corner. Window() is NULL
    // for them and the window hooks are not called; their drawing is done when
    // the call returns.
    virtual void AddChild(BView* view);
    virtual bool RemoveChild(BView* view);
    int32 CountChildren() const;
    BView* ChildAt(int32 index) const;
    BView* FindView(const char* name) const;
    BView* FindView(BPoint point) const;
    // False for a bitmap that takes no views.
    bool Lock();
    void Unlock();
    bool IsLocked() const;

private:
    friend struct BPrivate::BitmapPixels;

    BBitmap(const BBitmap&) = delete;
    BBitmap& operator=(const BBitmap&) = delete;

    void _Init(BRect bounds, uint32 flags, color_space colorSpace, int32 bytesPerRow);
    // Makes the bits the bitmap's alone again when a view still shares them.
    void _OwnBits() const;

    BRect fBounds;
    color_space fColorSpace = B_NO_COLOR_SPACE;
    uint32 fFlags = 0;
    int32 fBytesPerRow = 0;
    int32 fBitsLength = 0;
    // Shared with the views that show the bitmap until the bitmap is written to.
    mutable std::shared_ptr<uint8[]> fBits;
    // Bits() has handed out a pointer the owner may write through at any time.
    mutable bool fBitsExposed = false;
    status_t fInitStatus = B_NO_INIT;
    // Holds the views; only where the bitmap accepts them.
    std::unique_ptr<BPrivate::BitmapTopView> fTopView;
};

#endif
