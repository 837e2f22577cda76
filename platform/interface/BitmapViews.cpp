// Views that draw into a bitmap: the bitmap holds them under a top view of its
// own, and their drawing calls reach the bitmap's bits through it.

#include <Bitmap.h>

#include "interface/BitmapPixels.h"
#include "interface/BitmapViews.h"

#include <math.h>
#include <stdio.h>

namespace BPrivate
{

BitmapTopView::BitmapTopView(BBitmap* bitmap)
    : BView(bitmap->Bounds().OffsetToCopy(B_ORIGIN), "top view", B_FOLLOW_NONE, 0), fBitmap(bitmap)
{
}

Canvas* BitmapTopView::DrawingCanvas(BRect clip)
{
    color_space space = fBitmap->ColorSpace();
    if (space != B_RGB32 && space != B_RGBA32)
        return nullptr;
    // Unshares the bits from any view that shows the bitmap as it was.
    fCanvas.bits = BitmapPixels::Writable(fBitmap);
    fCanvas.width = (int32)ceilf(fBitmap->Bounds().Width()) + 1;
    fCanvas.height = fBitmap->BitsLength() / fBitmap->BytesPerRow();
    fCanvas.bytesPerRow = fBitmap->BytesPerRow();
    fCanvas.clip = clip;
    return fCanvas.bits != nullptr ? &fCanvas : nullptr;
}

} // namespace BPrivate

void BBitmap::AddChild(BView* view)
{
    if (!fTopView) {
        fprintf(stderr, "BBitmap::AddChild: the bitmap does not accept views\n");
        return;
    }
    fTopView->AddChild(view);
}

bool BBitmap::RemoveChild(BView* view)
{
    return fTopView && fTopView->RemoveChild(view);
}

int32 BBitmap::CountChildren() const
{
    return fTopView ? fTopView->CountChildren() : 0;
}

BView* BBitmap::ChildAt(int32 index) const
{
    return fTopView ? fTopView->ChildAt(index) : NULL;
}

BView* BBitmap::FindView(const char* name) const
{
    return fTopView ? fTopView->FindView(name) : NULL;
}

// The deepest shown view at the point; later children lie on top.
BView* BBitmap::FindView(BPoint point) const
{
    BView* found = NULL;
    for (BView* parent = fTopView.get(); parent != NULL;) {
        BView* under = NULL;
        for (int32 i = parent->CountChildren() - 1; i >= 0 && under == NULL; i--) {
            BView* child = parent->ChildAt(i);
            if (!child->IsHidden() && child->Frame().Contains(point))
                under = child;
        }
        if (under != NULL) {
            point = under->ConvertFromParent(point);
            found = under;
        }
        parent = under;
    }
    return found;
}

bool BBitmap::Lock()
{
    return fTopView && fTopView->lock.Lock();
}

void BBitmap::Unlock()
{
    if (fTopView)
        fTopView->lock.Unlock();
}

bool BBitmap::IsLocked() const
{
    return fTopView && fTopView->lock.IsLocked();
}
