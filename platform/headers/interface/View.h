#ifndef _VIEW_H
#define _VIEW_H

#include <Font.h>
#include <GraphicsDefs.h>
#include <Handler.h>
#include <InterfaceDefs.h>
#include <Message.h>
#include <Rect.h>

#include <memory>
#include <vector>

class BBitmap;
class BScrollBar;
class BMessage;
class BWindow;

// Resizing modes: how a view follows its parent's resizes, four 4-bit rules.
enum {
    _VIEW_TOP_ = 1,
    _VIEW_LEFT_ = 2,
    _VIEW_BOTTOM_ = 3,
    _VIEW_RIGHT_ = 4,
    _VIEW_CENTER_ = 5,
};

inline uint32 _rule_(uint32 top, uint32 left, uint32 bottom, uint32 right)
{
    return (top << 12) | (left << 8) | (bottom << 4) | right;
}

#define B_FOLLOW_NONE 0
#define B_FOLLOW_ALL_SIDES _rule_(_VIEW_TOP_, _VIEW_LEFT_, _VIEW_BOTTOM_, _VIEW_RIGHT_)
#define B_FOLLOW_ALL B_FOLLOW_ALL_SIDES
#define B_FOLLOW_LEFT _rule_(0, _VIEW_LEFT_, 0, _VIEW_LEFT_)
#define B_FOLLOW_RIGHT _rule_(0, _VIEW_RIGHT_, 0, _VIEW_RIGHT_)
#define B_FOLLOW_LEFT_RIGHT _rule_(0, _VIEW_LEFT_, 0, _VIEW_RIGHT_)
#define B_FOLLOW_H_CENTER _rule_(0, _VIEW_CENTER_, 0, _VIEW_CENTER_)
#define B_FOLLOW_TOP _rule_(_VIEW_TOP_, 0, _VIEW_TOP_, 0)
#define B_FOLLOW_BOTTOM _rule_(_VIEW_BOTTOM_, 0, _VIEW_BOTTOM_, 0)
#define B_FOLLOW_TOP_BOTTOM _rule_(_VIEW_TOP_, 0, _VIEW_BOTTOM_, 0)
#define B_FOLLOW_V_CENTER _rule_(_VIEW_CENTER_, 0, _VIEW_CENTER_, 0)

// View flags.
enum {
    B_FULL_UPDATE_ON_RESIZE = 0x80000000UL,
    B_WILL_DRAW = 0x20000000UL,
    B_PULSE_NEEDED = 0x10000000UL,
    B_NAVIGABLE_JUMP = 0x08000000UL,
    B_FRAME_EVENTS = 0x04000000UL,
    B_NAVIGABLE = 0x02000000UL,
    B_SUBPIXEL_PRECISE = 0x01000000UL,
    B_DRAW_ON_CHILDREN = 0x00800000UL,
    B_INPUT_METHOD_AWARE = 0x00400000UL,
};

// Placement of a view bitmap.
enum {
    B_TILE_BITMAP_X = 0x00000001,
    B_TILE_BITMAP_Y = 0x00000002,
    B_TILE_BITMAP = 0x00000003,
};

// The "be:transit" of a mouse-moved message.
enum {
    B_ENTERED_VIEW = 0,
    B_INSIDE_VIEW = 1,
    B_EXITED_VIEW = 2,
    B_OUTSIDE_VIEW = 3,
};

namespace BPrivate
{
struct Canvas;
class ViewBitmap;
} // namespace BPrivate

// A rectangle of a window that draws itself and takes input; views form a tree
// under the window.
class BView : public BHandler
{
public:
    BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    virtual ~BView();

    // Hooks
    virtual void AttachedToWindow();
    virtual void AllAttached();
    virtual void DetachedFromWindow();
    virtual void AllDetached();
    virtual void MessageReceived(BMessage* message);
    virtual void Draw(BRect updateRect);
    virtual void MouseDown(BPoint where);
    virtual void MouseUp(BPoint where);
    virtual void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage);
    virtual void KeyDown(const char* bytes, int32 numBytes);
    virtual void KeyUp(const char* bytes, int32 numBytes);
    virtual void WindowActivated(bool active);
    virtual void Pulse();
    virtual void FrameMoved(BPoint newPosition);
    virtual void FrameResized(float newWidth, float newHeight);

    // The tree
    void AddChild(BView* child, BView* before = NULL);
    bool RemoveChild(BView* child);
    bool RemoveSelf();
    int32 CountChildren() const;
    BView* ChildAt(int32 index) const;
    BView* NextSibling() const;
    BView* PreviousSibling() const;
    BView* Parent() const;
    BWindow* Window() const;
    BView* FindView(const char* name) const;

    // Geometry: Frame() in the parent's coordinates, Bounds() in the view's own,
    // whose origin moves when the view scrolls.
    BRect Frame() const;
    BRect Bounds() const;
    void MoveBy(float dx, float dy);
    void MoveTo(BPoint where);
    void MoveTo(float x, float y);
    void ResizeBy(float dx, float dy);
    void ResizeTo(float width, float height);
    virtual void ScrollTo(BPoint where);
    void ScrollTo(float x, float y);
    void ScrollBy(float dx, float dy);
    // The bar that scrolls this view, if any.
    BScrollBar* ScrollBar(orientation direction) const;
    BPoint LeftTop() const;

    void ConvertToParent(BPoint* point) const;
    BPoint ConvertToParent(BPoint point) const;
    void ConvertFromParent(BPoint* point) const;
    BPoint ConvertFromParent(BPoint point) const;
    void ConvertToParent(BRect* rect) const;
    BRect ConvertToParent(BRect rect) const;
    void ConvertFromParent(BRect* rect) const;
    BRect ConvertFromParent(BRect rect) const;
    void ConvertToScreen(BPoint* point) const;
    BPoint ConvertToScreen(BPoint point) const;
    void ConvertFromScreen(BPoint* point) const;
    BPoint ConvertFromScreen(BPoint point) const;
    void ConvertToScreen(BRect* rect) const;
    BRect ConvertToScreen(BRect rect) const;
    void ConvertFromScreen(BRect* rect) const;
    BRect ConvertFromScreen(BRect rect) const;

    void SetResizingMode(uint32 mode);
    uint32 ResizingMode() const;
    virtual void SetFlags(uint32 flags);
    uint32 Flags() const;

    virtual void Show();
    virtual void Hide();
    bool IsHidden() const;

    // Focus and input
    virtual void MakeFocus(bool focus = true);
    bool IsFocus() const;
    void GetMouse(BPoint* location, uint32* buttons, bool checkMessageQueue = true);

    // Updates
    void Invalidate();
    void Invalidate(BRect rect);
    void Flush() const;
    void Sync() const;

    // Colours and state
    virtual void SetViewColor(rgb_color color);
    void SetViewColor(uchar red, uchar green, uchar blue, uchar alpha = 255);
    rgb_color ViewColor() const;
    virtual void SetHighColor(rgb_color color);
    void SetHighColor(uchar red, uchar green, uchar blue, uchar alpha = 255);
    rgb_color HighColor() const;
    virtual void SetLowColor(rgb_color color);
    void SetLowColor(uchar red, uchar green, uchar blue, uchar alpha = 255);
    rgb_color LowColor() const;
    virtual void SetDrawingMode(drawing_mode mode);
    drawing_mode DrawingMode() const;
    virtual void SetPenSize(float size);
    float PenSize() const;
    void MovePenTo(BPoint where);
    void MovePenTo(float x, float y);
    void MovePenBy(float dx, float dy);
    BPoint PenLocation() const;

    // The view bitmap: drawn behind Draw(), over the view colour. The view keeps
    // its own copy.
    void SetViewBitmap(const BBitmap* bitmap, BRect srcRect, BRect dstRect,
                       uint32 followFlags = B_FOLLOW_TOP | B_FOLLOW_LEFT,
                       uint32 options = B_TILE_BITMAP);
    void SetViewBitmap(const BBitmap* bitmap, uint32 followFlags = B_FOLLOW_TOP | B_FOLLOW_LEFT,
                       uint32 options = B_TILE_BITMAP);
    void ClearViewBitmap();

    // Fonts
    virtual void SetFont(const BFont* font, uint32 mask = B_FONT_ALL);
    void GetFont(BFont* font) const;
    void SetFontSize(float size);
    float StringWidth(const char* string) const;
    float StringWidth(const char* string, int32 length) const;
    void GetFontHeight(font_height* height) const;

    // Drawing, in the view's coordinates, clipped to the view and its parents.
    void StrokeLine(BPoint end, pattern p = B_SOLID_HIGH);
    void StrokeLine(BPoint start, BPoint end, pattern p = B_SOLID_HIGH);
    void StrokeRect(BRect rect, pattern p = B_SOLID_HIGH);
    void FillRect(BRect rect, pattern p = B_SOLID_HIGH);
    void FillRect(BRect rect, rgb_color color);
    void DrawString(const char* string, escapement_delta* delta = NULL);
    void DrawString(const char* string, BPoint where, escapement_delta* delta = NULL);
    void DrawString(const char* string, int32 length, escapement_delta* delta = NULL);
    void DrawString(const char* string, int32 length, BPoint where, escapement_delta* delta = NULL);
    void DrawBitmap(const BBitmap* bitmap, BRect srcRect, BRect dstRect);
    void DrawBitmap(const BBitmap* bitmap, BRect dstRect);
    void DrawBitmap(const BBitmap* bitmap, BPoint where);
    void DrawBitmap(const BBitmap* bitmap);

private:
    friend class BWindow;
    friend class BScrollBar;

    void AttachTo(BWindow* window);
    void DetachFromWindow();
    void CallAllAttached();
    bool IsAncestorOf(const BView* view) const;
    void ParentResized(float dx, float dy);
    void ResizeChildren(float dx, float dy);
    void DrawTree(BPrivate::Canvas& canvas, BRect updateRect, BRect parentClip);
    void DrawViewBitmap(BPrivate::Canvas& canvas, BRect frameInWindow) const;
    void NotifyActivated(bool active);
    void CallPulse();
    bool NeedsPulse() const;
    BView* ViewAt(BPoint where);
    BPoint OriginInWindow() const;
    BPoint ScreenOffset() const;
    BRect FrameInWindow() const;
    BRect VisibleInWindow() const;
    void InvalidateCovered() const;
    BMessage* CurrentInput(uint32 what) const;
    BPrivate::Canvas* DrawingCanvas();
    rgb_color ColorOf(const pattern& p) const;

    BRect fFrame;
    BPoint fScroll;
    uint32 fResizingMode;
    uint32 fFlags;
    int32 fHideLevel = 0;
    BView* fParent = nullptr;
    BWindow* fWindow = nullptr;
    std::vector<BView*> fChildren;
    rgb_color fViewColor;
    rgb_color fHighColor;
    rgb_color fLowColor;
    drawing_mode fDrawingMode = B_OP_COPY;
    float fPenSize = 1.0f;
    BPoint fPenLocation;
    BFont fFont;
    BScrollBar* fVerScroller = nullptr; // the bars targeting this view
    BScrollBar* fHorScroller = nullptr;
    std::unique_ptr<BPrivate::ViewBitmap> fViewBitmap;
    bool fDrawing = false; // inside Draw() during an update
    BRect fDrawClip;       // window coordinates, while fDrawing
};

#endif
