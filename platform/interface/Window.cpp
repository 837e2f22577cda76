#include <Window.h>

#include <AppDefs.h>
#include <Application.h>
#include <Message.h>
#include <Messenger.h>
#include <View.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/PulseTimer.h"
#include "interface/DisplayLink.h"
#include "interface/WindowCanvas.h"

using BPrivate::DisplayLink;
using BPrivate::kUserActionField;
using BPrivate::WindowDecor;
using BPrivate::WindowModel;

namespace
{

// Where a mouse-moved message's view lies in relation to the pointer.
constexpr const char* kTransitField = "be:transit";

void look_and_feel_of(window_type type, window_look* look, window_feel* feel)
{
    *feel = B_NORMAL_WINDOW_FEEL;
    switch (type) {
    case B_DOCUMENT_WINDOW:
        *look = B_DOCUMENT_WINDOW_LOOK;
        break;
    case B_MODAL_WINDOW:
        *look = B_MODAL_WINDOW_LOOK;
        *feel = B_MODAL_APP_WINDOW_FEEL;
        break;
    case B_FLOATING_WINDOW:
        *look = B_FLOATING_WINDOW_LOOK;
        *feel = B_FLOATING_APP_WINDOW_FEEL;
        break;
    case B_BORDERED_WINDOW:
        *look = B_BORDERED_WINDOW_LOOK;
        break;
    default:
        *look = B_TITLED_WINDOW_LOOK;
        break;
    }
}

window_type type_of(window_look look, window_feel feel)
{
    for (window_type type : {B_TITLED_WINDOW, B_DOCUMENT_WINDOW, B_MODAL_WINDOW, B_FLOATING_WINDOW,
                             B_BORDERED_WINDOW}) {
        window_look typeLook;
        window_feel typeFeel;
        look_and_feel_of(type, &typeLook, &typeFeel);
        if (typeLook == look && typeFeel == feel)
            return type;
    }
    return B_UNTYPED_WINDOW;
}

bool is_look(int32 look)
{
    switch (look) {
    case B_BORDERED_WINDOW_LOOK:
    case B_NO_BORDER_WINDOW_LOOK:
    case B_TITLED_WINDOW_LOOK:
    case B_DOCUMENT_WINDOW_LOOK:
    case B_MODAL_WINDOW_LOOK:
    case B_FLOATING_WINDOW_LOOK:
        return true;
    default:
        return false;
    }
}

bool is_input(uint32 what)
{
    switch (what) {
    case B_KEY_DOWN:
    case B_KEY_UP:
    case B_UNMAPPED_KEY_DOWN:
    case B_UNMAPPED_KEY_UP:
    case B_MODIFIERS_CHANGED:
        return true;
    default:
        return false;
    }
}

float clamp_between(float value, float low, float high)
{
    return std::max(low, std::min(value, high));
}

int32 pixels_of(float units)
{
    return (int32)lroundf(units) + 1;
}

} // namespace

BWindow::BWindow(BRect frame, const char* title, window_type type, uint32 flags, uint32 workspace)
    : BLooper(title, B_DISPLAY_PRIORITY)
{
    window_look look;
    window_feel feel;
    look_and_feel_of(type, &look, &feel);
    InitWindow(frame, title, look, feel, flags, workspace);
    fType = type;
}

BWindow::BWindow(BRect frame, const char* title, window_look look, window_feel feel, uint32 flags,
                 uint32 workspace)
    : BLooper(title, B_DISPLAY_PRIORITY)
{
    InitWindow(frame, title, look, feel, flags, workspace);
}

void BWindow::InitWindow(BRect frame, const char* title, window_look look, window_feel feel,
                         uint32 flags, uint32 workspace)
{
    fTitle = title != NULL ? title : "";
    fFrame = frame;
    fNotifiedFrame = frame;
    fLook = is_look(look) ? look : B_TITLED_WINDOW_LOOK;
    fFeel = feel;
    fType = type_of(fLook, fFeel);
    fFlags = flags;
    fWorkspaces = workspace;

    fCanvas = std::make_unique<BPrivate::WindowCanvas>();
    fCanvas->Resize(pixels_of(frame.Width()), pixels_of(frame.Height()));
    fTopView = new BView(Bounds(), "top view", B_FOLLOW_ALL, 0);
    fTopView->SetViewColor(ui_color(B_PANEL_BACKGROUND_COLOR));
    fTopView->AttachTo(this);

    fLink = std::make_unique<DisplayLink>(this, Model(), BMessenger(this, this));
    if (be_app != NULL)
        be_app->_RegisterWindow(this);
    InvalidateRect(Bounds());
}

BWindow::~BWindow()
{
    fPulseTimer.reset();
    if (be_app != NULL)
        be_app->_UnregisterWindow(this);
    fLink.reset();
    fDestroying = true;
    delete fTopView;
    fTopView = nullptr;
}

BPrivate::WindowModel BWindow::Model() const
{
    WindowModel model;
    model.title = fTitle;
    model.frame = fFrame;
    if (fLook == B_FLOATING_WINDOW_LOOK)
        model.decor = WindowDecor::kUtility;
    else if (fLook == B_NO_BORDER_WINDOW_LOOK || fLook == B_BORDERED_WINDOW_LOOK)
        model.decor = WindowDecor::kBorderless;
    model.closable = (fFlags & B_NOT_CLOSABLE) == 0;
    model.fixedWidth = (fFlags & (B_NOT_RESIZABLE | B_NOT_H_RESIZABLE)) != 0;
    model.fixedHeight = (fFlags & (B_NOT_RESIZABLE | B_NOT_V_RESIZABLE)) != 0;
    model.minWidth = fMinWidth;
    model.maxWidth = fMaxWidth;
    model.minHeight = fMinHeight;
    model.maxHeight = fMaxHeight;
    model.shown = fShowLevel <= 0;
    model.minimized = fMinimized;
    return model;
}

void BWindow::SendStateToServer() const
{
    fLink->Update(Model());
}

bool BWindow::HoldsLock() const
{
    return LockingThread() == find_thread(NULL);
}

void BWindow::Quit()
{
    if (!HoldsLock() && !Lock())
        return;
    if (fShowLevel <= 0) {
        fShowLevel = 1;
        SendStateToServer();
    }
    BLooper::Quit();
}

// Views

void BWindow::AddChild(BView* child, BView* before)
{
    fTopView->AddChild(child, before);
}

bool BWindow::RemoveChild(BView* child)
{
    return fTopView->RemoveChild(child);
}

int32 BWindow::CountChildren() const
{
    return fTopView->CountChildren();
}

BView* BWindow::ChildAt(int32 index) const
{
    return fTopView->ChildAt(index);
}

BView* BWindow::FindView(const char* name) const
{
    return fTopView->FindView(name);
}

BView* BWindow::FindView(BPoint point) const
{
    BView* view = fTopView->ViewAt(point);
    return view != fTopView ? view : NULL;
}

BView* BWindow::CurrentFocus() const
{
    return fFocus;
}

BView* BWindow::LastMouseMovedView() const
{
    return fLastMouseMoved;
}

BView* BWindow::OwnView(BHandler* target) const
{
    BView* view = dynamic_cast<BView*>(target);
    return view != nullptr && view->fWindow == this ? view : nullptr;
}

void BWindow::ViewRemoved(BView* view)
{
    if (fFocus != nullptr && view->IsAncestorOf(fFocus))
        fFocus = nullptr;
    if (fLastMouseMoved != nullptr && view->IsAncestorOf(fLastMouseMoved))
        fLastMouseMoved = nullptr;
}

// Messages

void BWindow::DispatchMessage(BMessage* message, BHandler* target)
{
    if (message == NULL)
        return;
    switch (message->what) {
    case B_WINDOW_MOVED:
        HandleMoved(message);
        break;
    case B_WINDOW_RESIZED:
        HandleResized(message);
        break;
    case _UPDATE_:
        fUpdatePosted = false;
        DrawPending();
        break;
    case B_MINIMIZE: {
        bool minimize = false;
        if (message->FindBool("minimize", &minimize) == B_OK)
            Minimize(minimize);
        break;
    }
    case B_WINDOW_ACTIVATED: {
        bool active = false;
        // The display's reports carry their time; one without is a request,
        // such as the application's on a relaunch, to come to the front.
        if (message->FindBool("active", &active) == B_OK && active && !message->HasInt64("when")) {
            Activate(true);
            break;
        }
        if (message->FindBool("active", &active) == B_OK && active != fActive) {
            fActive = active;
            WindowActivated(active);
            fTopView->NotifyActivated(active);
        }
        break;
    }
    case B_ZOOM:
        Zoom();
        break;
    case B_PULSE:
        fTopView->CallPulse();
        break;
    case B_MOUSE_DOWN:
    case B_MOUSE_UP:
    case B_MOUSE_MOVED:
    case B_MOUSE_WHEEL_CHANGED:
        RouteMouse(message, target);
        break;
    default:
        if (is_input(message->what))
            RouteKey(message, target);
        else if (message->what == B_SIMPLE_DATA && message->HasPoint(BPrivate::kDropPointField))
            RouteDrop(message, target);
        else
            BLooper::DispatchMessage(message, target);
        break;
    }
    PresentDirectDrawing();
}

void BWindow::MessageReceived(BMessage* message)
{
    BLooper::MessageReceived(message);
}

bool BWindow::QuitRequested()
{
    return true;
}

void BWindow::FrameMoved(BPoint newPosition) {}

void BWindow::FrameResized(float newWidth, float newHeight) {}

void BWindow::WindowActivated(bool active) {}

void BWindow::WorkspacesChanged(uint32 oldWorkspaces, uint32 newWorkspaces) {}

void BWindow::WorkspaceActivated(int32 workspace, bool active) {}

void BWindow::ScreenChanged(BRect screenFrame, color_space depth) {}

thread_id BWindow::Run()
{
    return BLooper::Run();
}

// Keys go to the focus view, or to the window itself when no view has focus.
void BWindow::RouteKey(BMessage* message, BHandler* target)
{
    BView* view = OwnView(target);
    if (view == nullptr)
        view = fFocus;
    if (view == nullptr) {
        MessageReceived(message);
        return;
    }
    if (message->what == B_KEY_DOWN || message->what == B_KEY_UP) {
        const char* bytes = "";
        message->FindString("bytes", &bytes);
        if (message->what == B_KEY_DOWN)
            view->KeyDown(bytes, (int32)strlen(bytes));
        else
            view->KeyUp(bytes, (int32)strlen(bytes));
        return;
    }
    view->MessageReceived(message);
}

// Mouse messages go to the view under the cursor, with "where" in its coordinates.
void BWindow::RouteMouse(BMessage* message, BHandler* target)
{
    BPoint where = fMouseWhere;
    if (message->what != B_MOUSE_WHEEL_CHANGED) {
        message->FindPoint("where", &where);
        fMouseWhere = where;
        int32 buttons;
        if (message->FindInt32("buttons", &buttons) == B_OK)
            fMouseButtons = (uint32)buttons;
    }
    BView* view = OwnView(target);
    if (view == nullptr)
        view = fTopView->ViewAt(where);
    if (view == nullptr)
        view = fTopView;

    if (message->what == B_MOUSE_MOVED) {
        int32 transit = B_INSIDE_VIEW;
        if (view != fLastMouseMoved) {
            if (BView* left = fLastMouseMoved) {
                fNotifyingExit = true;
                left->MouseMoved(where - left->OriginInWindow(), B_EXITED_VIEW, NULL);
                fNotifyingExit = false;
                // The hook may have changed the tree.
                if (OwnView(target) == nullptr)
                    view = fTopView->ViewAt(where);
                if (view == nullptr)
                    view = fTopView;
            }
            fLastMouseMoved = view;
            transit = B_ENTERED_VIEW;
        }
        BPoint local = where - view->OriginInWindow();
        message->ReplacePoint("where", local);
        if (message->ReplaceInt32(kTransitField, transit) != B_OK)
            message->AddInt32(kTransitField, transit);
        view->MouseMoved(local, (uint32)transit, NULL);
        return;
    }
    if (message->what == B_MOUSE_WHEEL_CHANGED) {
        view->MessageReceived(message);
        return;
    }
    BPoint local = where - view->OriginInWindow();
    message->ReplacePoint("where", local);
    if (message->what == B_MOUSE_DOWN)
        view->MouseDown(local);
    else
        view->MouseUp(local);
}

// A drop goes to the view under the drop point, which is in screen coordinates.
void BWindow::RouteDrop(BMessage* message, BHandler* target)
{
    BPoint dropPoint;
    message->FindPoint(BPrivate::kDropPointField, &dropPoint);
    message->fWasDropped = true;
    message->fDropPoint = dropPoint;
    BView* view = OwnView(target);
    if (view == nullptr)
        view = fTopView->ViewAt(ConvertFromScreen(dropPoint));
    if (view == nullptr)
        view = fTopView;
    view->MessageReceived(message);
}

void BWindow::HandleMoved(BMessage* message)
{
    BPoint where;
    bool byUser = false;
    if (message->FindBool(kUserActionField, &byUser) == B_OK && byUser &&
        message->FindPoint("where", &where) == B_OK && isfinite(where.x) && isfinite(where.y))
        fFrame.OffsetTo(where);
    if (fFrame.LeftTop() == fNotifiedFrame.LeftTop())
        return;
    fNotifiedFrame.OffsetTo(fFrame.LeftTop());
    FrameMoved(fFrame.LeftTop());
}

void BWindow::HandleResized(BMessage* message)
{
    int32 width;
    int32 height;
    bool byUser = false;
    if (message->FindBool(kUserActionField, &byUser) == B_OK && byUser &&
        message->FindInt32("width", &width) == B_OK &&
        message->FindInt32("height", &height) == B_OK) {
        float clampedWidth = clamp_between(width, fMinWidth, fMaxWidth);
        float clampedHeight = clamp_between(height, fMinHeight, fMaxHeight);
        ResizeFrame(clampedWidth, clampedHeight);
        if (clampedWidth != width || clampedHeight != height)
            SendStateToServer();
    }
    if (fFrame.Width() == fNotifiedFrame.Width() && fFrame.Height() == fNotifiedFrame.Height())
        return;
    fNotifiedFrame.right = fNotifiedFrame.left + fFrame.Width();
    fNotifiedFrame.bottom = fNotifiedFrame.top + fFrame.Height();
    FrameResized(fFrame.Width(), fFrame.Height());
}

// Geometry

BRect BWindow::Frame() const
{
    return fFrame;
}

BRect BWindow::Bounds() const
{
    return BRect(0, 0, fFrame.Width(), fFrame.Height());
}

void BWindow::MoveBy(float dx, float dy)
{
    MoveTo(fFrame.left + dx, fFrame.top + dy);
}

void BWindow::MoveTo(BPoint where)
{
    MoveTo(where.x, where.y);
}

void BWindow::MoveTo(float x, float y)
{
    // NaN or infinity would leave the window nowhere.
    if ((fFrame.left == x && fFrame.top == y) || !isfinite(x) || !isfinite(y))
        return;
    fFrame.OffsetTo(x, y);
    SendStateToServer();
    BMessage notice(B_WINDOW_MOVED);
    notice.AddInt64("when", system_time());
    notice.AddPoint("where", fFrame.LeftTop());
    PostMessage(&notice);
}

void BWindow::ResizeBy(float dx, float dy)
{
    ResizeTo(fFrame.Width() + dx, fFrame.Height() + dy);
}

void BWindow::ResizeTo(float width, float height)
{
    if (!isfinite(width) || !isfinite(height))
        return;
    width = clamp_between(width, fMinWidth, fMaxWidth);
    height = clamp_between(height, fMinHeight, fMaxHeight);
    if (width == fFrame.Width() && height == fFrame.Height())
        return;
    ResizeFrame(width, height);
    SendStateToServer();
    BMessage notice(B_WINDOW_RESIZED);
    notice.AddInt64("when", system_time());
    notice.AddInt32("width", (int32)width);
    notice.AddInt32("height", (int32)height);
    PostMessage(&notice);
}

// The frame, the pixels and the views follow a new size at once.
void BWindow::ResizeFrame(float width, float height)
{
    float dx = width - fFrame.Width();
    float dy = height - fFrame.Height();
    if (dx == 0 && dy == 0)
        return;
    fFrame.right = fFrame.left + width;
    fFrame.bottom = fFrame.top + height;
    fCanvas->Resize(pixels_of(width), pixels_of(height));
    fTopView->ResizeBy(dx, dy);
    InvalidateRect(Bounds());
}

void BWindow::SetSizeLimits(float minWidth, float maxWidth, float minHeight, float maxHeight)
{
    fMinWidth = std::max(0.0f, minWidth);
    fMaxWidth = std::max(fMinWidth, maxWidth);
    fMinHeight = std::max(0.0f, minHeight);
    fMaxHeight = std::max(fMinHeight, maxHeight);
    SendStateToServer();
    ResizeTo(fFrame.Width(), fFrame.Height());
}

void BWindow::GetSizeLimits(float* minWidth, float* maxWidth, float* minHeight, float* maxHeight)
{
    if (minWidth != NULL)
        *minWidth = fMinWidth;
    if (maxWidth != NULL)
        *maxWidth = fMaxWidth;
    if (minHeight != NULL)
        *minHeight = fMinHeight;
    if (maxHeight != NULL)
        *maxHeight = fMaxHeight;
}

void BWindow::SetZoomLimits(float maxWidth, float maxHeight)
{
    fZoomWidth = maxWidth;
    fZoomHeight = maxHeight;
}

void BWindow::Zoom()
{
    if ((fFlags & B_NOT_ZOOMABLE) != 0)
        return;
    BRect screen = DisplayLink::ScreenFrame();
    Zoom(screen.LeftTop(), std::min(screen.Width(), fZoomWidth),
         std::min(screen.Height(), fZoomHeight));
}

void BWindow::Zoom(BPoint origin, float width, float height)
{
    MoveTo(origin);
    ResizeTo(width, height);
}

void BWindow::ConvertToScreen(BPoint* point) const
{
    *point = ConvertToScreen(*point);
}

BPoint BWindow::ConvertToScreen(BPoint point) const
{
    return point + fFrame.LeftTop();
}

void BWindow::ConvertFromScreen(BPoint* point) const
{
    *point = ConvertFromScreen(*point);
}

BPoint BWindow::ConvertFromScreen(BPoint point) const
{
    return point - fFrame.LeftTop();
}

void BWindow::ConvertToScreen(BRect* rect) const
{
    *rect = ConvertToScreen(*rect);
}

BRect BWindow::ConvertToScreen(BRect rect) const
{
    return rect.OffsetByCopy(fFrame.left, fFrame.top);
}

void BWindow::ConvertFromScreen(BRect* rect) const
{
    *rect = ConvertFromScreen(*rect);
}

BRect BWindow::ConvertFromScreen(BRect rect) const
{
    return rect.OffsetByCopy(-fFrame.left, -fFrame.top);
}

// Visibility

void BWindow::Show()
{
    // Until the first Show() the constructing thread holds the lock.
    bool first = Thread() < 0;
    if (!first && !Lock())
        return;
    if (--fShowLevel == 0)
        SendStateToServer();
    if (first)
        Run();
    else
        Unlock();
}

void BWindow::Hide()
{
    if (!Lock())
        return;
    if (++fShowLevel == 1)
        SendStateToServer();
    Unlock();
}

bool BWindow::IsHidden() const
{
    return fShowLevel > 0;
}

void BWindow::Minimize(bool minimize)
{
    if (minimize == fMinimized)
        return;
    fMinimized = minimize;
    SendStateToServer();
}

bool BWindow::IsMinimized() const
{
    return fMinimized;
}

void BWindow::Activate(bool active)
{
    if (active)
        fLink->Activate();
}

bool BWindow::IsActive() const
{
    return fActive;
}

bool BWindow::IsFront() const
{
    return fActive;
}

status_t BWindow::SendBehind(const BWindow* window)
{
    return window != NULL ? B_OK : B_BAD_VALUE;
}

// Appearance

const char* BWindow::Title() const
{
    return fTitle.c_str();
}

void BWindow::SetTitle(const char* title)
{
    fTitle = title != NULL ? title : "";
    SendStateToServer();
}

status_t BWindow::SetType(window_type type)
{
    window_look look;
    window_feel feel;
    look_and_feel_of(type, &look, &feel);
    fLook = look;
    fFeel = feel;
    fType = type;
    SendStateToServer();
    return B_OK;
}

window_type BWindow::Type() const
{
    return fType;
}

status_t BWindow::SetLook(window_look look)
{
    if (!is_look(look))
        return B_BAD_VALUE;
    fLook = look;
    fType = type_of(fLook, fFeel);
    SendStateToServer();
    return B_OK;
}

window_look BWindow::Look() const
{
    return fLook;
}

status_t BWindow::SetFeel(window_feel feel)
{
    if (feel < B_NORMAL_WINDOW_FEEL || feel > B_FLOATING_ALL_WINDOW_FEEL)
        return B_BAD_VALUE;
    fFeel = feel;
    fType = type_of(fLook, fFeel);
    SendStateToServer();
    return B_OK;
}

window_feel BWindow::Feel() const
{
    return fFeel;
}

status_t BWindow::SetFlags(uint32 flags)
{
    fFlags = flags;
    SendStateToServer();
    return B_OK;
}

uint32 BWindow::Flags() const
{
    return fFlags;
}

bool BWindow::IsModal() const
{
    return fFeel == B_MODAL_SUBSET_WINDOW_FEEL || fFeel == B_MODAL_APP_WINDOW_FEEL ||
           fFeel == B_MODAL_ALL_WINDOW_FEEL;
}

bool BWindow::IsFloating() const
{
    return fFeel == B_FLOATING_SUBSET_WINDOW_FEEL || fFeel == B_FLOATING_APP_WINDOW_FEEL ||
           fFeel == B_FLOATING_ALL_WINDOW_FEEL;
}

uint32 BWindow::Workspaces() const
{
    return fWorkspaces;
}

void BWindow::SetWorkspaces(uint32 workspaces)
{
    fWorkspaces = workspaces;
}

void BWindow::SetPulseRate(bigtime_t rate)
{
    fPulseRate = std::max<bigtime_t>(0, rate);
    UpdatePulse();
}

// Pulses run while the rate is set and some view asks for them; a window busy
// past one pulse loses the next rather than piling them up.
void BWindow::UpdatePulse()
{
    bool needed = fPulseRate > 0 && fTopView != nullptr && fTopView->NeedsPulse();
    if (needed && !fPulseTimer) {
        BMessenger self(this);
        fPulseTimer = std::make_unique<BPrivate::PulseTimer>([self] {
            BMessage pulse(B_PULSE);
            self.SendMessage(&pulse, (BHandler*)NULL, 0);
        });
    }
    if (fPulseTimer)
        fPulseTimer->SetInterval(needed ? fPulseRate : 0);
}

bigtime_t BWindow::PulseRate() const
{
    return fPulseRate;
}

// Drawing

// Invalidations gather into one region and one _UPDATE_ message.
void BWindow::InvalidateRect(BRect windowRect)
{
    if (fDestroying)
        return;
    BRect area = windowRect & Bounds();
    if (!area.IsValid())
        return;
    fDirty = fDirty.IsValid() ? (fDirty | area) : area;
    if (fUpdatePosted || fUpdatesDisabled > 0)
        return;
    fUpdatePosted = true;
    PostMessage(_UPDATE_);
}

void BWindow::DrewOutsideUpdate(BRect windowRect)
{
    fDirectlyDrawn = fDirectlyDrawn.IsValid() ? (fDirectlyDrawn | windowRect) : windowRect;
}

void BWindow::DrawPending()
{
    if (!fDirty.IsValid() || fUpdatesDisabled > 0)
        return;
    BRect dirty = fDirty;
    fDirty = BRect();
    BPrivate::Canvas& canvas = fCanvas->Get();
    fTopView->DrawTree(canvas, dirty, Bounds());
    fLink->Present(canvas, dirty);
}

void BWindow::PresentDirectDrawing()
{
    if (!fDirectlyDrawn.IsValid())
        return;
    BRect drawn = fDirectlyDrawn;
    fDirectlyDrawn = BRect();
    fLink->Present(fCanvas->Get(), drawn);
}

void BWindow::UpdateIfNeeded()
{
    if (HoldsLock())
        DrawPending();
}

bool BWindow::NeedsUpdate() const
{
    return fDirty.IsValid();
}

void BWindow::DisableUpdates()
{
    fUpdatesDisabled++;
}

void BWindow::EnableUpdates()
{
    if (fUpdatesDisabled == 0 || --fUpdatesDisabled > 0 || !fDirty.IsValid())
        return;
    if (!fUpdatePosted) {
        fUpdatePosted = true;
        PostMessage(_UPDATE_);
    }
}

void BWindow::BeginViewTransaction()
{
    DisableUpdates();
}

void BWindow::EndViewTransaction()
{
    EnableUpdates();
}

void BWindow::Flush() const
{
    BWindow* self = const_cast<BWindow*>(this);
    if (self->HoldsLock())
        self->PresentDirectDrawing();
}

// Draws what is pending and shows it, so that the screen is up to date on return.
void BWindow::Sync() const
{
    BWindow* self = const_cast<BWindow*>(this);
    if (!self->Lock())
        return;
    self->DrawPending();
    self->PresentDirectDrawing();
    self->Unlock();
}
