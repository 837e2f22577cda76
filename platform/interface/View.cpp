// One file for BView: its tree, geometry and drawing share one private state.

#include <View.h>

#include <AppDefs.h>
#include <Bitmap.h>
#include <Message.h>
#include <ScrollBar.h>
#include <Window.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "interface/BitmapViews.h"
#include "interface/FontEngine.h"
#include "interface/Painter.h"
#include "interface/ViewBitmap.h"
#include "interface/WindowCanvas.h"

using BPrivate::Canvas;
using BPrivate::PixelImage;
using BPrivate::ViewBitmap;

namespace
{

// How far an edge moves when the parent's size changes by `delta`, by one
// 4-bit rule of a resizing mode.
float horizontal_shift(uint32 rule, float delta)
{
    switch (rule) {
    case _VIEW_RIGHT_:
        return delta;
    case _VIEW_CENTER_:
        return delta / 2;
    default:
        return 0;
    }
}

float vertical_shift(uint32 rule, float delta)
{
    switch (rule) {
    case _VIEW_BOTTOM_:
        return delta;
    case _VIEW_CENTER_:
        return delta / 2;
    default:
        return 0;
    }
}

BRect follow(BRect rect, uint32 mode, float dx, float dy)
{
    rect.left += horizontal_shift((mode >> 8) & 0xf, dx);
    rect.right += horizontal_shift(mode & 0xf, dx);
    rect.top += vertical_shift((mode >> 12) & 0xf, dy);
    rect.bottom += vertical_shift((mode >> 4) & 0xf, dy);
    return rect;
}

bool same_pattern(const pattern& a, const pattern& b)
{
    return memcmp(a.data, b.data, sizeof(a.data)) == 0;
}

// Source rectangles of a bitmap are in its bounds' coordinates; images start at 0, 0.
BRect in_image(const BBitmap* bitmap, BRect rect)
{
    BRect bounds = bitmap->Bounds();
    return rect.OffsetByCopy(-bounds.left, -bounds.top);
}

} // namespace

BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    : BHandler(name), fFrame(frame), fResizingMode(resizingMode), fFlags(flags),
      fViewColor(make_color(255, 255, 255)), fHighColor(make_color(0, 0, 0)),
      fLowColor(make_color(255, 255, 255)), fFont(be_plain_font != NULL ? *be_plain_font : BFont())
{
}

BView::~BView()
{
    if (fVerScroller != nullptr)
        fVerScroller->SetTarget(static_cast<BView*>(nullptr));
    if (fHorScroller != nullptr)
        fHorScroller->SetTarget(static_cast<BView*>(nullptr));
    if (fParent != nullptr)
        fParent->RemoveChild(this);
    while (!fChildren.empty()) {
        BView* child = fChildren.back();
        RemoveChild(child);
        delete child;
    }
    if (fWindow != nullptr)
        DetachFromWindow();
}

void BView::AttachedToWindow() {}

void BView::AllAttached() {}

void BView::DetachedFromWindow() {}

void BView::AllDetached() {}

void BView::Draw(BRect updateRect) {}

void BView::WindowActivated(bool active) {}

void BView::Pulse() {}

void BView::FrameMoved(BPoint newPosition) {}

void BView::FrameResized(float newWidth, float newHeight) {}

// Messages a view leaves alone go to its parent, and from the top to the window:
// BHandler passes them along the next-handler chain that AttachTo() sets up.
void BView::MessageReceived(BMessage* message)
{
    BHandler::MessageReceived(message);
}

BMessage* BView::CurrentInput(uint32 what) const
{
    if (fWindow == nullptr)
        return nullptr;
    BMessage* message = fWindow->CurrentMessage();
    return message != nullptr && message->what == what ? message : nullptr;
}

void BView::MouseDown(BPoint where)
{
    BMessage* message = CurrentInput(B_MOUSE_DOWN);
    if (BView* parent = Parent()) {
        BPoint inParent = ConvertToParent(where);
        if (message != nullptr)
            message->ReplacePoint("where", inParent);
        parent->MouseDown(inParent);
    } else if (message != nullptr) {
        fWindow->MessageReceived(message);
    }
}

void BView::MouseUp(BPoint where)
{
    BMessage* message = CurrentInput(B_MOUSE_UP);
    if (BView* parent = Parent()) {
        BPoint inParent = ConvertToParent(where);
        if (message != nullptr)
            message->ReplacePoint("where", inParent);
        parent->MouseUp(inParent);
    } else if (message != nullptr) {
        fWindow->MessageReceived(message);
    }
}

void BView::MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage)
{
    // A view left behind hears of it, but the move itself goes up once, from
    // the view it entered.
    if (fWindow == nullptr || fWindow->fNotifyingExit)
        return;
    BMessage* message = CurrentInput(B_MOUSE_MOVED);
    if (BView* parent = Parent()) {
        BPoint inParent = ConvertToParent(where);
        if (message != nullptr)
            message->ReplacePoint("where", inParent);
        parent->MouseMoved(inParent, transit, dragMessage);
    } else if (message != nullptr) {
        fWindow->MessageReceived(message);
    }
}

void BView::KeyDown(const char* bytes, int32 numBytes)
{
    if (BView* parent = Parent())
        parent->KeyDown(bytes, numBytes);
    else if (BMessage* message = CurrentInput(B_KEY_DOWN))
        fWindow->MessageReceived(message);
}

void BView::KeyUp(const char* bytes, int32 numBytes)
{
    if (BView* parent = Parent())
        parent->KeyUp(bytes, numBytes);
    else if (BMessage* message = CurrentInput(B_KEY_UP))
        fWindow->MessageReceived(message);
}

// The tree

bool BView::IsAncestorOf(const BView* view) const
{
    for (; view != nullptr; view = view->fParent) {
        if (view == this)
            return true;
    }
    return false;
}

void BView::AddChild(BView* child, BView* before)
{
    if (child == nullptr || child->fParent != nullptr || child->fWindow != nullptr ||
        child->IsAncestorOf(this)) {
        fprintf(stderr, "BView::AddChild: the view cannot be added here\n");
        return;
    }
    auto position = std::find(fChildren.begin(), fChildren.end(), before);
    fChildren.insert(before != nullptr ? position : fChildren.end(), child);
    child->fParent = this;
    if (fWindow == nullptr)
        return;
    child->AttachTo(fWindow);
    child->CallAllAttached();
    child->InvalidateCovered();
}

bool BView::RemoveChild(BView* child)
{
    if (child == nullptr || child->fParent != this)
        return false;
    // Whatever it covered shows what lies beneath it again.
    child->InvalidateCovered();
    if (child->fWindow != nullptr)
        child->DetachFromWindow();
    fChildren.erase(std::find(fChildren.begin(), fChildren.end(), child));
    child->fParent = nullptr;
    return true;
}

bool BView::RemoveSelf()
{
    if (fParent == nullptr)
        return false;
    return fParent->RemoveChild(this);
}

int32 BView::CountChildren() const
{
    return (int32)fChildren.size();
}

BView* BView::ChildAt(int32 index) const
{
    if (index < 0 || index >= (int32)fChildren.size())
        return NULL;
    return fChildren[index];
}

BView* BView::NextSibling() const
{
    if (fParent == nullptr)
        return NULL;
    auto& siblings = fParent->fChildren;
    auto self = std::find(siblings.begin(), siblings.end(), this);
    return self + 1 < siblings.end() ? *(self + 1) : NULL;
}

BView* BView::PreviousSibling() const
{
    if (fParent == nullptr)
        return NULL;
    auto& siblings = fParent->fChildren;
    auto self = std::find(siblings.begin(), siblings.end(), this);
    return self != siblings.begin() ? *(self - 1) : NULL;
}

// The window's own top view is not shown to programs: views added to the
// window have no parent. Nor is a bitmap's.
BView* BView::Parent() const
{
    if (fParent != nullptr && fWindow != nullptr && fParent == fWindow->fTopView)
        return NULL;
    if (dynamic_cast<BPrivate::BitmapTopView*>(fParent) != nullptr)
        return NULL;
    return fParent;
}

BWindow* BView::Window() const
{
    return fWindow;
}

BView* BView::FindView(const char* name) const
{
    if (name == nullptr)
        return NULL;
    for (BView* child : fChildren) {
        if (child->Name() != nullptr && strcmp(child->Name(), name) == 0)
            return child;
        if (BView* found = child->FindView(name))
            return found;
    }
    return NULL;
}

void BView::AttachTo(BWindow* window)
{
    fWindow = window;
    window->AddHandler(this);
    bool topLevel = fParent == nullptr || fParent == window->fTopView;
    SetNextHandler(topLevel ? static_cast<BHandler*>(window) : fParent);
    AttachedToWindow();
    if ((fFlags & B_PULSE_NEEDED) != 0)
        window->UpdatePulse();
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->AttachTo(window);
}

void BView::CallAllAttached()
{
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->CallAllAttached();
    AllAttached();
}

void BView::DetachFromWindow()
{
    DetachedFromWindow();
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->DetachFromWindow();
    AllDetached();
    fWindow->ViewRemoved(this);
    fWindow->RemoveHandler(this);
    SetNextHandler(NULL);
    fWindow = nullptr;
}

// Geometry

BRect BView::Frame() const
{
    return fFrame;
}

BRect BView::Bounds() const
{
    return BRect(fScroll.x, fScroll.y, fScroll.x + fFrame.Width(), fScroll.y + fFrame.Height());
}

BPoint BView::LeftTop() const
{
    return fScroll;
}

BPoint BView::OriginInWindow() const
{
    BPoint origin = fFrame.LeftTop() - fScroll;
    return fParent != nullptr ? fParent->OriginInWindow() + origin : origin;
}

BRect BView::FrameInWindow() const
{
    BRect frame = fFrame;
    if (fParent != nullptr)
        frame.OffsetBy(fParent->OriginInWindow());
    return frame;
}

BRect BView::VisibleInWindow() const
{
    for (const BView* view = this; view != nullptr; view = view->fParent) {
        if (view->fHideLevel > 0)
            return BRect();
    }
    BRect visible = FrameInWindow();
    if (fParent != nullptr)
        visible = visible & fParent->VisibleInWindow();
    return visible;
}

void BView::InvalidateCovered() const
{
    if (fWindow == nullptr || fParent == nullptr)
        return;
    BRect covered = FrameInWindow() & fParent->VisibleInWindow();
    if (covered.IsValid())
        fWindow->InvalidateRect(covered);
}

void BView::MoveBy(float dx, float dy)
{
    MoveTo(fFrame.left + dx, fFrame.top + dy);
}

void BView::MoveTo(BPoint where)
{
    MoveTo(where.x, where.y);
}

void BView::MoveTo(float x, float y)
{
    if (fFrame.left == x && fFrame.top == y)
        return;
    InvalidateCovered();
    fFrame.OffsetTo(x, y);
    InvalidateCovered();
    if (fWindow != nullptr && (fFlags & B_FRAME_EVENTS) != 0)
        FrameMoved(fFrame.LeftTop());
}

void BView::ResizeBy(float dx, float dy)
{
    ResizeTo(fFrame.Width() + dx, fFrame.Height() + dy);
}

void BView::ResizeTo(float width, float height)
{
    float dx = width - fFrame.Width();
    float dy = height - fFrame.Height();
    if (dx == 0 && dy == 0)
        return;
    InvalidateCovered();
    fFrame.right = fFrame.left + width;
    fFrame.bottom = fFrame.top + height;
    ResizeChildren(dx, dy);
    InvalidateCovered();
    if (fWindow != nullptr && (fFlags & B_FRAME_EVENTS) != 0)
        FrameResized(width, height);
}

void BView::ResizeChildren(float dx, float dy)
{
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->ParentResized(dx, dy);
}

void BView::ParentResized(float dx, float dy)
{
    BRect frame = follow(fFrame, fResizingMode, dx, dy);
    if (frame == fFrame)
        return;
    BRect old = fFrame;
    fFrame = frame;
    float childDx = frame.Width() - old.Width();
    float childDy = frame.Height() - old.Height();
    if (childDx != 0 || childDy != 0)
        ResizeChildren(childDx, childDy);
    if (fWindow == nullptr || (fFlags & B_FRAME_EVENTS) == 0)
        return;
    if (frame.LeftTop() != old.LeftTop())
        FrameMoved(frame.LeftTop());
    if (childDx != 0 || childDy != 0)
        FrameResized(frame.Width(), frame.Height());
}

void BView::ScrollTo(BPoint where)
{
    if (where == fScroll)
        return;
    fScroll = where;
    Invalidate();
    if (fVerScroller != nullptr)
        fVerScroller->SetValue(where.y);
    if (fHorScroller != nullptr)
        fHorScroller->SetValue(where.x);
}

void BView::ScrollTo(float x, float y)
{
    ScrollTo(BPoint(x, y));
}

void BView::ScrollBy(float dx, float dy)
{
    ScrollTo(BPoint(fScroll.x + dx, fScroll.y + dy));
}

void BView::ConvertToParent(BPoint* point) const
{
    *point = ConvertToParent(*point);
}

BPoint BView::ConvertToParent(BPoint point) const
{
    return point - fScroll + fFrame.LeftTop();
}

void BView::ConvertFromParent(BPoint* point) const
{
    *point = ConvertFromParent(*point);
}

BPoint BView::ConvertFromParent(BPoint point) const
{
    return point - fFrame.LeftTop() + fScroll;
}

void BView::ConvertToParent(BRect* rect) const
{
    *rect = ConvertToParent(*rect);
}

BRect BView::ConvertToParent(BRect rect) const
{
    BPoint offset = fFrame.LeftTop() - fScroll;
    return rect.OffsetByCopy(offset.x, offset.y);
}

void BView::ConvertFromParent(BRect* rect) const
{
    *rect = ConvertFromParent(*rect);
}

BRect BView::ConvertFromParent(BRect rect) const
{
    BPoint offset = fScroll - fFrame.LeftTop();
    return rect.OffsetByCopy(offset.x, offset.y);
}

BPoint BView::ScreenOffset() const
{
    BPoint offset = OriginInWindow();
    if (fWindow != nullptr)
        offset += fWindow->Frame().LeftTop();
    return offset;
}

void BView::ConvertToScreen(BPoint* point) const
{
    *point = ConvertToScreen(*point);
}

BPoint BView::ConvertToScreen(BPoint point) const
{
    return point + ScreenOffset();
}

void BView::ConvertFromScreen(BPoint* point) const
{
    *point = ConvertFromScreen(*point);
}

BPoint BView::ConvertFromScreen(BPoint point) const
{
    return point - ScreenOffset();
}

void BView::ConvertToScreen(BRect* rect) const
{
    *rect = ConvertToScreen(*rect);
}

BRect BView::ConvertToScreen(BRect rect) const
{
    BPoint offset = ScreenOffset();
    return rect.OffsetByCopy(offset.x, offset.y);
}

void BView::ConvertFromScreen(BRect* rect) const
{
    *rect = ConvertFromScreen(*rect);
}

BRect BView::ConvertFromScreen(BRect rect) const
{
    BPoint offset = ScreenOffset();
    return rect.OffsetByCopy(-offset.x, -offset.y);
}

void BView::SetResizingMode(uint32 mode)
{
    fResizingMode = mode;
}

uint32 BView::ResizingMode() const
{
    return fResizingMode;
}

void BView::SetFlags(uint32 flags)
{
    if (flags == fFlags)
        return;
    bool pulseChanged = ((flags ^ fFlags) & B_PULSE_NEEDED) != 0;
    fFlags = flags;
    if (pulseChanged && fWindow != nullptr)
        fWindow->UpdatePulse();
    Invalidate();
}

uint32 BView::Flags() const
{
    return fFlags;
}

void BView::Show()
{
    if (fHideLevel == 0)
        return;
    if (--fHideLevel == 0)
        InvalidateCovered();
}

void BView::Hide()
{
    if (fHideLevel++ == 0) {
        InvalidateCovered();
        if (IsFocus())
            MakeFocus(false);
    }
}

bool BView::IsHidden() const
{
    for (const BView* view = this; view != nullptr; view = view->fParent) {
        if (view->fHideLevel > 0)
            return true;
    }
    return false;
}

// Focus and input

void BView::MakeFocus(bool focus)
{
    if (fWindow == nullptr)
        return;
    if (!focus) {
        if (fWindow->fFocus == this)
            fWindow->fFocus = nullptr;
        return;
    }
    BView* previous = fWindow->fFocus;
    if (previous == this)
        return;
    fWindow->fFocus = this;
    if (previous != nullptr)
        previous->MakeFocus(false);
}

bool BView::IsFocus() const
{
    return fWindow != nullptr && fWindow->fFocus == this;
}

void BView::GetMouse(BPoint* location, uint32* buttons, bool checkMessageQueue)
{
    if (fWindow == nullptr) {
        if (location != nullptr)
            *location = B_ORIGIN;
        if (buttons != nullptr)
            *buttons = 0;
        return;
    }
    if (location != nullptr)
        *location = fWindow->fMouseWhere - OriginInWindow();
    if (buttons != nullptr)
        *buttons = fWindow->fMouseButtons;
}

// Updates

void BView::Invalidate()
{
    Invalidate(Bounds());
}

void BView::Invalidate(BRect rect)
{
    if (fWindow == nullptr || !rect.IsValid())
        return;
    BPoint origin = OriginInWindow();
    BRect area = rect.OffsetByCopy(origin.x, origin.y) & VisibleInWindow();
    if (area.IsValid())
        fWindow->InvalidateRect(area);
}

void BView::Flush() const
{
    if (fWindow != nullptr)
        fWindow->Flush();
}

void BView::Sync() const
{
    if (fWindow != nullptr)
        fWindow->Sync();
}

// Colours and state

void BView::SetViewColor(rgb_color color)
{
    if (color == fViewColor)
        return;
    fViewColor = color;
    Invalidate();
}

void BView::SetViewColor(uchar red, uchar green, uchar blue, uchar alpha)
{
    SetViewColor(make_color(red, green, blue, alpha));
}

rgb_color BView::ViewColor() const
{
    return fViewColor;
}

void BView::SetHighColor(rgb_color color)
{
    fHighColor = color;
}

void BView::SetHighColor(uchar red, uchar green, uchar blue, uchar alpha)
{
    SetHighColor(make_color(red, green, blue, alpha));
}

rgb_color BView::HighColor() const
{
    return fHighColor;
}

void BView::SetLowColor(rgb_color color)
{
    fLowColor = color;
}

void BView::SetLowColor(uchar red, uchar green, uchar blue, uchar alpha)
{
    SetLowColor(make_color(red, green, blue, alpha));
}

rgb_color BView::LowColor() const
{
    return fLowColor;
}

void BView::SetDrawingMode(drawing_mode mode)
{
    fDrawingMode = mode;
}

drawing_mode BView::DrawingMode() const
{
    return fDrawingMode;
}

void BView::SetPenSize(float size)
{
    fPenSize = std::max(0.0f, size);
}

float BView::PenSize() const
{
    return fPenSize;
}

void BView::MovePenTo(BPoint where)
{
    fPenLocation = where;
}

void BView::MovePenTo(float x, float y)
{
    fPenLocation.Set(x, y);
}

void BView::MovePenBy(float dx, float dy)
{
    fPenLocation += BPoint(dx, dy);
}

BPoint BView::PenLocation() const
{
    return fPenLocation;
}

// The view bitmap

void BView::SetViewBitmap(const BBitmap* bitmap, BRect srcRect, BRect dstRect, uint32 followFlags,
                          uint32 options)
{
    if (bitmap == nullptr) {
        ClearViewBitmap();
        return;
    }
    auto viewBitmap = std::make_unique<ViewBitmap>();
    if (!BPrivate::image_from_bitmap(bitmap, &viewBitmap->image)) {
        fprintf(stderr, "BView::SetViewBitmap: the bitmap's colour space cannot be drawn\n");
        ClearViewBitmap();
        return;
    }
    viewBitmap->source = in_image(bitmap, srcRect);
    viewBitmap->destination = dstRect;
    viewBitmap->placedIn = Bounds();
    viewBitmap->follow = followFlags;
    viewBitmap->options = options;
    fViewBitmap = std::move(viewBitmap);
    Invalidate();
}

void BView::SetViewBitmap(const BBitmap* bitmap, uint32 followFlags, uint32 options)
{
    if (bitmap == nullptr) {
        ClearViewBitmap();
        return;
    }
    BRect bounds = bitmap->Bounds();
    SetViewBitmap(bitmap, bounds, bounds.OffsetToCopy(B_ORIGIN), followFlags, options);
}

void BView::ClearViewBitmap()
{
    if (!fViewBitmap)
        return;
    fViewBitmap.reset();
    Invalidate();
}

// Where the view bitmap lies in window coordinates, each tile blended over the
// view colour.
void BView::DrawViewBitmap(Canvas& canvas, BRect frameInWindow) const
{
    const ViewBitmap& bitmap = *fViewBitmap;
    BRect placed =
        follow(bitmap.destination, bitmap.follow, fFrame.Width() - bitmap.placedIn.Width(),
               fFrame.Height() - bitmap.placedIn.Height());
    placed.OffsetBy(frameInWindow.LeftTop());
    float stepX = placed.Width() + 1;
    float stepY = placed.Height() + 1;
    if (stepX < 1 || stepY < 1)
        return;
    BRect area = canvas.clip & frameInWindow;
    if (!area.IsValid())
        return;
    float firstX = placed.left;
    float lastX = placed.left;
    if ((bitmap.options & B_TILE_BITMAP_X) != 0) {
        firstX = placed.left - ceilf((placed.left - area.left) / stepX) * stepX;
        lastX = area.right;
    }
    float firstY = placed.top;
    float lastY = placed.top;
    if ((bitmap.options & B_TILE_BITMAP_Y) != 0) {
        firstY = placed.top - ceilf((placed.top - area.top) / stepY) * stepY;
        lastY = area.bottom;
    }
    for (float y = firstY; y <= lastY; y += stepY) {
        for (float x = firstX; x <= lastX; x += stepX) {
            BRect tile(x, y, x + placed.Width(), y + placed.Height());
            if (tile.Intersects(area))
                BPrivate::draw_image(canvas, bitmap.image, bitmap.source, tile, B_OP_ALPHA);
        }
    }
}

// Fonts

void BView::SetFont(const BFont* font, uint32 mask)
{
    if (font == nullptr)
        return;
    if ((mask & B_FONT_FAMILY_AND_STYLE) != 0) {
        font_family family;
        font_style style;
        font->GetFamilyAndStyle(&family, &style);
        fFont.SetFamilyAndStyle(family, style);
    }
    if ((mask & B_FONT_SIZE) != 0)
        fFont.SetSize(font->Size());
    if ((mask & B_FONT_SHEAR) != 0)
        fFont.SetShear(font->Shear());
    if ((mask & B_FONT_ROTATION) != 0)
        fFont.SetRotation(font->Rotation());
    if ((mask & B_FONT_SPACING) != 0)
        fFont.SetSpacing(font->Spacing());
    if ((mask & B_FONT_ENCODING) != 0)
        fFont.SetEncoding(font->Encoding());
    if ((mask & B_FONT_FACE) != 0)
        fFont.SetFace(font->Face());
    if ((mask & B_FONT_FLAGS) != 0)
        fFont.SetFlags(font->Flags());
#ifdef B_ZETA_VERSION
    if ((mask & B_FONT_FALSE_BOLD_WIDTH) != 0)
        fFont.SetFalseBoldWidth(font->FalseBoldWidth());
#endif
}

void BView::GetFont(BFont* font) const
{
    if (font != nullptr)
        *font = fFont;
}

void BView::SetFontSize(float size)
{
    fFont.SetSize(size);
}

float BView::StringWidth(const char* string) const
{
    return string != nullptr ? StringWidth(string, (int32)strlen(string)) : 0;
}

float BView::StringWidth(const char* string, int32 length) const
{
    if (string == nullptr || length <= 0)
        return 0;
    return BPrivate::string_width(fFont, string, length);
}

void BView::GetFontHeight(font_height* height) const
{
    if (height != nullptr)
        BPrivate::font_metrics(fFont, height);
}

// Drawing

// The canvas to draw on, clipped to what the view may touch now: during an
// update the part being redrawn, otherwise all of the view that shows. A view
// in a bitmap draws straight into the bitmap's bits.
Canvas* BView::DrawingCanvas()
{
    if (fWindow == nullptr) {
        BView* root = this;
        while (root->fParent != nullptr)
            root = root->fParent;
        auto* bitmap = dynamic_cast<BPrivate::BitmapTopView*>(root);
        BRect visible = VisibleInWindow();
        if (bitmap == nullptr || !visible.IsValid())
            return nullptr;
        return bitmap->DrawingCanvas(visible);
    }
    Canvas& canvas = fWindow->fCanvas->Get();
    if (fDrawing) {
        canvas.clip = fDrawClip;
        return &canvas;
    }
    BRect visible = VisibleInWindow();
    if (!visible.IsValid())
        return nullptr;
    canvas.clip = visible;
    fWindow->DrewOutsideUpdate(visible);
    return &canvas;
}

rgb_color BView::ColorOf(const pattern& p) const
{
    return same_pattern(p, B_SOLID_LOW) ? fLowColor : fHighColor;
}

void BView::StrokeLine(BPoint end, pattern p)
{
    StrokeLine(fPenLocation, end, p);
}

void BView::StrokeLine(BPoint start, BPoint end, pattern p)
{
    fPenLocation = end;
    Canvas* canvas = DrawingCanvas();
    if (canvas == nullptr)
        return;
    BPoint origin = OriginInWindow();
    BPrivate::stroke_line(*canvas, start + origin, end + origin, ColorOf(p), fPenSize,
                          fDrawingMode);
}

void BView::StrokeRect(BRect rect, pattern p)
{
    Canvas* canvas = DrawingCanvas();
    if (canvas == nullptr)
        return;
    BPoint origin = OriginInWindow();
    BPrivate::stroke_rect(*canvas, rect.OffsetByCopy(origin.x, origin.y), ColorOf(p), fPenSize,
                          fDrawingMode);
}

void BView::FillRect(BRect rect, pattern p)
{
    FillRect(rect, ColorOf(p));
}

void BView::FillRect(BRect rect, rgb_color color)
{
    Canvas* canvas = DrawingCanvas();
    if (canvas == nullptr)
        return;
    BPoint origin = OriginInWindow();
    BPrivate::fill_rect(*canvas, rect.OffsetByCopy(origin.x, origin.y), color, fDrawingMode);
}

void BView::DrawString(const char* string, escapement_delta* delta)
{
    DrawString(string, fPenLocation, delta);
}

void BView::DrawString(const char* string, BPoint where, escapement_delta* delta)
{
    if (string != nullptr)
        DrawString(string, (int32)strlen(string), where, delta);
}

void BView::DrawString(const char* string, int32 length, escapement_delta* delta)
{
    DrawString(string, length, fPenLocation, delta);
}

void BView::DrawString(const char* string, int32 length, BPoint where, escapement_delta* delta)
{
    if (string == nullptr || length <= 0)
        return;
    length = (int32)strnlen(string, (size_t)length);
    fPenLocation = where + BPoint(StringWidth(string, length), 0);
    Canvas* canvas = DrawingCanvas();
    if (canvas == nullptr)
        return;
    BPrivate::draw_string(*canvas, fFont, string, length, where + OriginInWindow(), fHighColor);
}

void BView::DrawBitmap(const BBitmap* bitmap, BRect srcRect, BRect dstRect)
{
    if (bitmap == nullptr)
        return;
    Canvas* canvas = DrawingCanvas();
    if (canvas == nullptr)
        return;
    PixelImage image;
    if (!BPrivate::image_from_bitmap(bitmap, &image, true))
        return;
    BPoint origin = OriginInWindow();
    BPrivate::draw_image(*canvas, image, in_image(bitmap, srcRect),
                         dstRect.OffsetByCopy(origin.x, origin.y), fDrawingMode);
}

void BView::DrawBitmap(const BBitmap* bitmap, BRect dstRect)
{
    if (bitmap != nullptr)
        DrawBitmap(bitmap, bitmap->Bounds(), dstRect);
}

void BView::DrawBitmap(const BBitmap* bitmap, BPoint where)
{
    if (bitmap != nullptr)
        DrawBitmap(bitmap, bitmap->Bounds(), bitmap->Bounds().OffsetToCopy(where));
}

void BView::DrawBitmap(const BBitmap* bitmap)
{
    DrawBitmap(bitmap, fPenLocation);
}

// Drawing of the tree, during a window update: each view fills its view colour,
// then its view bitmap, then Draw(), then its children on top, each clipped to
// itself and its parents.
void BView::DrawTree(Canvas& canvas, BRect updateRect, BRect parentClip)
{
    if (fHideLevel > 0)
        return;
    BRect frame = FrameInWindow();
    BRect visible = frame & parentClip;
    BRect area = visible & updateRect;
    if (!area.IsValid())
        return;
    canvas.clip = area;
    // The platform draws view colours opaque; only B_TRANSPARENT_COLOR means none.
    if (fViewColor != B_TRANSPARENT_COLOR)
        BPrivate::fill_rect(canvas, frame, fViewColor, B_OP_COPY);
    if (fViewBitmap)
        DrawViewBitmap(canvas, frame);
    if ((fFlags & B_WILL_DRAW) != 0) {
        fDrawing = true;
        fDrawClip = area;
        BPoint origin = OriginInWindow();
        Draw(area.OffsetByCopy(-origin.x, -origin.y));
        fDrawing = false;
    }
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->DrawTree(canvas, updateRect, visible);
}

// The deepest shown view at a point in window coordinates; later children lie on top.
BView* BView::ViewAt(BPoint where)
{
    if (fHideLevel > 0 || !FrameInWindow().Contains(where))
        return nullptr;
    for (auto child = fChildren.rbegin(); child != fChildren.rend(); ++child) {
        if (BView* found = (*child)->ViewAt(where))
            return found;
    }
    return this;
}

void BView::CallPulse()
{
    if ((fFlags & B_PULSE_NEEDED) != 0)
        Pulse();
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->CallPulse();
}

bool BView::NeedsPulse() const
{
    if ((fFlags & B_PULSE_NEEDED) != 0)
        return true;
    return std::any_of(fChildren.begin(), fChildren.end(),
                       [](const BView* child) { return child->NeedsPulse(); });
}

void BView::NotifyActivated(bool active)
{
    WindowActivated(active);
    for (size_t i = 0; i < fChildren.size(); i++)
        fChildren[i]->NotifyActivated(active);
}

BScrollBar* BView::ScrollBar(orientation direction) const
{
    return direction == B_VERTICAL ? fVerScroller : fHorScroller;
}
