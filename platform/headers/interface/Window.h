#ifndef _WINDOW_H
#define _WINDOW_H

#include <GraphicsDefs.h>
#include <InterfaceDefs.h>
#include <Looper.h>
#include <Message.h>
#include <Rect.h>

#include <memory>
#include <string>

class BMessage;
class BView;

namespace BPrivate
{
class DisplayLink;
class PulseTimer;
class WindowCanvas;
struct WindowModel;
} // namespace BPrivate

enum window_type {
    B_UNTYPED_WINDOW = 0,
    B_TITLED_WINDOW = 1,
    B_MODAL_WINDOW = 3,
    B_DOCUMENT_WINDOW = 11,
    B_BORDERED_WINDOW = 20,
    B_FLOATING_WINDOW = 21,
};

enum window_look {
    B_BORDERED_WINDOW_LOOK = 20,
    B_NO_BORDER_WINDOW_LOOK = 19,
    B_TITLED_WINDOW_LOOK = 1,
    B_DOCUMENT_WINDOW_LOOK = 11,
    B_MODAL_WINDOW_LOOK = 3,
    B_FLOATING_WINDOW_LOOK = 7,
};

enum window_feel {
    B_NORMAL_WINDOW_FEEL = 0,
    B_MODAL_SUBSET_WINDOW_FEEL = 2,
    B_MODAL_APP_WINDOW_FEEL = 1,
    B_MODAL_ALL_WINDOW_FEEL = 3,
    B_FLOATING_SUBSET_WINDOW_FEEL = 5,
    B_FLOATING_APP_WINDOW_FEEL = 4,
    B_FLOATING_ALL_WINDOW_FEEL = 6,
};

// Window flags.
enum {
    B_NOT_MOVABLE = 0x00000001,
    B_NOT_CLOSABLE = 0x00000020,
    B_NOT_ZOOMABLE = 0x00000040,
    B_NOT_MINIMIZABLE = 0x00004000,
    B_NOT_RESIZABLE = 0x00000002,
    B_NOT_H_RESIZABLE = 0x00000004,
    B_NOT_V_RESIZABLE = 0x00000008,
    B_AVOID_FRONT = 0x00000080,
    B_AVOID_FOCUS = 0x00002000,
    B_WILL_ACCEPT_FIRST_CLICK = 0x00000010,
    B_OUTLINE_RESIZE = 0x00001000,
    B_NO_WORKSPACE_ACTIVATION = 0x00000100,
    B_NOT_ANCHORED_ON_ACTIVATE = 0x00020000,
    B_ASYNCHRONOUS_CONTROLS = 0x00080000,
    B_QUIT_ON_WINDOW_CLOSE = 0x00100000,
};

#define B_CURRENT_WORKSPACE 0
#define B_ALL_WORKSPACES 0xffffffff

// A window on screen: a looper whose thread starts with the first Show(), and
// the root of a tree of views that draw into it.
class BWindow : public BLooper
{
public:
    BWindow(BRect frame, const char* title, window_type type, uint32 flags,
            uint32 workspace = B_CURRENT_WORKSPACE);
    BWindow(BRect frame, const char* title, window_look look, window_feel feel, uint32 flags,
            uint32 workspace = B_CURRENT_WORKSPACE);
    virtual ~BWindow();

    // Hides the window and ends its looper; the window is deleted on its thread.
    virtual void Quit();
    void Close() { Quit(); }

    // Views
    void AddChild(BView* child, BView* before = NULL);
    bool RemoveChild(BView* child);
    int32 CountChildren() const;
    BView* ChildAt(int32 index) const;
    BView* FindView(const char* name) const;
    BView* FindView(BPoint point) const;
    BView* CurrentFocus() const;
    BView* LastMouseMovedView() const;

    // Messages and hooks
    virtual void DispatchMessage(BMessage* message, BHandler* target);
    virtual void MessageReceived(BMessage* message);
    virtual bool QuitRequested();
    virtual void FrameMoved(BPoint newPosition);
    virtual void FrameResized(float newWidth, float newHeight);
    virtual void WindowActivated(bool active);
    virtual void Minimize(bool minimize);
    virtual void Zoom(BPoint origin, float width, float height);
    void Zoom();
    void SetZoomLimits(float maxWidth, float maxHeight);
    virtual void WorkspacesChanged(uint32 oldWorkspaces, uint32 newWorkspaces);
    virtual void WorkspaceActivated(int32 workspace, bool active);
    virtual void ScreenChanged(BRect screenFrame, color_space depth);
    virtual thread_id Run();

    // Geometry: Frame() is the content area in screen coordinates, updated before
    // a move or resize returns; the hooks follow by message.
    BRect Frame() const;
    BRect Bounds() const;
    void MoveBy(float dx, float dy);
    void MoveTo(BPoint where);
    void MoveTo(float x, float y);
    void ResizeBy(float dx, float dy);
    void ResizeTo(float width, float height);
    void SetSizeLimits(float minWidth, float maxWidth, float minHeight, float maxHeight);
    void GetSizeLimits(float* minWidth, float* maxWidth, float* minHeight, float* maxHeight);
    void ConvertToScreen(BPoint* point) const;
    BPoint ConvertToScreen(BPoint point) const;
    void ConvertFromScreen(BPoint* point) const;
    BPoint ConvertFromScreen(BPoint point) const;
    void ConvertToScreen(BRect* rect) const;
    BRect ConvertToScreen(BRect rect) const;
    void ConvertFromScreen(BRect* rect) const;
    BRect ConvertFromScreen(BRect rect) const;

    // Visibility: Show() and Hide() count; a window starts hidden once.
    virtual void Show();
    virtual void Hide();
    bool IsHidden() const;
    bool IsMinimized() const;
    void Activate(bool active = true);
    bool IsActive() const;
    bool IsFront() const;
    status_t SendBehind(const BWindow* window);

    // Appearance
    const char* Title() const;
    void SetTitle(const char* title);
    status_t SetType(window_type type);
    window_type Type() const;
    status_t SetLook(window_look look);
    window_look Look() const;
    status_t SetFeel(window_feel feel);
    window_feel Feel() const;
    status_t SetFlags(uint32 flags);
    uint32 Flags() const;
    bool IsModal() const;
    bool IsFloating() const;
    uint32 Workspaces() const;
    void SetWorkspaces(uint32 workspaces);
    void SetPulseRate(bigtime_t rate);
    bigtime_t PulseRate() const;

    // Drawing
    void UpdateIfNeeded();
    bool NeedsUpdate() const;
    void DisableUpdates();
    void EnableUpdates();
    void BeginViewTransaction();
    void EndViewTransaction();
    void Flush() const;
    void Sync() const;

private:
    friend class BView;

    void InitWindow(BRect frame, const char* title, window_look look, window_feel feel,
                    uint32 flags, uint32 workspace);
    BPrivate::WindowModel Model() const;
    void SendStateToServer() const;
    bool HoldsLock() const;
    BView* OwnView(BHandler* target) const;
    void ResizeFrame(float width, float height);
    void RouteKey(BMessage* message, BHandler* target);
    void RouteMouse(BMessage* message, BHandler* target);
    void RouteDrop(BMessage* message, BHandler* target);
    void HandleMoved(BMessage* message);
    void HandleResized(BMessage* message);
    void ViewRemoved(BView* view);
    void InvalidateRect(BRect windowRect);
    void DrewOutsideUpdate(BRect windowRect);
    void DrawPending();
    void PresentDirectDrawing();
    void UpdatePulse();

    std::string fTitle;
    BRect fFrame;
    window_type fType = B_UNTYPED_WINDOW;
    window_look fLook = B_TITLED_WINDOW_LOOK;
    window_feel fFeel = B_NORMAL_WINDOW_FEEL;
    uint32 fFlags = 0;
    uint32 fWorkspaces = B_CURRENT_WORKSPACE;
    float fMinWidth = 0;
    float fMaxWidth = 32768;
    float fMinHeight = 0;
    float fMaxHeight = 32768;
    float fZoomWidth = 32768;
    float fZoomHeight = 32768;
    bigtime_t fPulseRate = 500000;
    int32 fShowLevel = 1;
    bool fMinimized = false;
    bool fActive = false;
    bool fDestroying = false;
    bool fNotifyingExit = false; // telling a view that the mouse left it
    int32 fUpdatesDisabled = 0;
    BRect fNotifiedFrame;      // the frame that FrameMoved/FrameResized last told of
    BView* fTopView = nullptr; // owned; the root of the view tree, never shown to programs
    BView* fFocus = nullptr;
    BView* fLastMouseMoved = nullptr;
    BPoint fMouseWhere;
    uint32 fMouseButtons = 0;
    BRect fDirty;         // to redraw, window coordinates; invalid when clean
    BRect fDirectlyDrawn; // drawn outside an update, not yet shown
    bool fUpdatePosted = false;
    std::unique_ptr<BPrivate::WindowCanvas> fCanvas;
    std::unique_ptr<BPrivate::DisplayLink> fLink;
    std::unique_ptr<BPrivate::PulseTimer> fPulseTimer; // while a view needs pulses
};

#endif
