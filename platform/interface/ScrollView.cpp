#include <ScrollView.h>

#include <ScrollBar.h>

namespace
{

const rgb_color kPanelColor = {216, 216, 216, 255};
const rgb_color kPlainBorderColor = {128, 128, 128, 255};
const rgb_color kShadowColor = {152, 152, 152, 255};
const rgb_color kLightColor = {255, 255, 255, 255};
const rgb_color kInnerFrameColor = {96, 96, 96, 255};

} // namespace

float BScrollView::BorderSize(border_style border)
{
    switch (border) {
    case B_PLAIN_BORDER:
        return 1;
    case B_FANCY_BORDER:
        return 2;
    default:
        return 0;
    }
}

BRect BScrollView::FrameFor(const BView* target, bool horizontal, bool vertical,
                            border_style border)
{
    BRect frame = target != nullptr ? target->Frame() : BRect(0, 0, 0, 0);
    if (vertical)
        frame.right += B_V_SCROLL_BAR_WIDTH;
    if (horizontal)
        frame.bottom += B_H_SCROLL_BAR_HEIGHT;
    float size = BorderSize(border);
    frame.InsetBy(-size, -size);
    return frame;
}

BScrollView::BScrollView(const char* name, BView* target, uint32 resizingMode, uint32 flags,
                         bool horizontal, bool vertical, border_style border)
    : BView(FrameFor(target, horizontal, vertical, border), name, resizingMode,
            flags | B_WILL_DRAW | B_FRAME_EVENTS),
      fTarget(target), fBorder(border)
{
    SetViewColor(kPanelColor);
    float size = BorderSize(border);
    BRect bounds = Bounds();
    BRect inside = target != nullptr ? target->Frame().OffsetToCopy(size, size)
                                     : BRect(size, size, size, size);
    if (target != nullptr) {
        target->MoveTo(size, size);
        AddChild(target);
    }
    if (vertical) {
        BRect frame(inside.right + 1, size, bounds.right - size, inside.bottom);
        fVerticalBar = new BScrollBar(frame, "_VSB_", target, 0, 1000, B_VERTICAL);
        fVerticalBar->SetResizingMode(B_FOLLOW_RIGHT | B_FOLLOW_TOP_BOTTOM);
        AddChild(fVerticalBar);
    }
    if (horizontal) {
        BRect frame(size, inside.bottom + 1, inside.right, bounds.bottom - size);
        fHorizontalBar = new BScrollBar(frame, "_HSB_", target, 0, 1000, B_HORIZONTAL);
        fHorizontalBar->SetResizingMode(B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM);
        AddChild(fHorizontalBar);
    }
}

BScrollView::~BScrollView() = default;

void BScrollView::Draw(BRect updateRect)
{
    BRect bounds = Bounds();
    switch (fBorder) {
    case B_PLAIN_BORDER:
        SetHighColor(kPlainBorderColor);
        StrokeRect(bounds);
        break;
    case B_FANCY_BORDER:
        // Sunken: shadow above and left, light below and right, a dark frame inside.
        SetHighColor(kShadowColor);
        StrokeLine(bounds.LeftBottom(), bounds.LeftTop());
        StrokeLine(bounds.LeftTop(), bounds.RightTop());
        SetHighColor(kLightColor);
        StrokeLine(bounds.RightTop(), bounds.RightBottom());
        StrokeLine(bounds.RightBottom(), bounds.LeftBottom());
        SetHighColor(kInnerFrameColor);
        StrokeRect(bounds.InsetByCopy(1, 1));
        break;
    default:
        break;
    }
}

BScrollBar* BScrollView::ScrollBar(orientation direction) const
{
    return direction == B_VERTICAL ? fVerticalBar : fHorizontalBar;
}

BView* BScrollView::Target() const
{
    return fTarget;
}

border_style BScrollView::Border() const
{
    return fBorder;
}
