#include "server/DisplayServer.h"

#include <AppDefs.h>
#include <Entry.h>
#include <InterfaceDefs.h>
#include <Message.h>
#include <OS.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "server/DisplayBackend.h"
#include "server/Keymap.h"

namespace BPrivate
{

namespace
{

// A window that does not take its messages for this long loses them rather
// than stalling the display.
constexpr bigtime_t kPostTimeout = 500000;

std::unique_ptr<DisplayBackend> choose_backend(DisplayServer& server)
{
    const char* wanted = getenv("BE_DISPLAY");
    if (wanted != NULL && strcmp(wanted, "headless") == 0)
        return make_headless_backend();
    std::unique_ptr<DisplayBackend> sdl = make_sdl_backend(server);
    if (sdl)
        return sdl;
    fprintf(stderr, "display: no display could be opened; windows run headless\n");
    return make_headless_backend();
}

} // namespace

DisplayServer::DisplayServer() = default;

DisplayServer::~DisplayServer()
{
    // The backend's thread calls back into the server: it goes first. One that
    // hangs in the window system is left behind, so that the program can end.
    std::unique_ptr<DisplayBackend> backend;
    {
        std::lock_guard<std::mutex> guard(fLock);
        backend = std::move(fBackend);
    }
    if (backend && !backend->Stop())
        backend.release();
}

// The process's one connection to its display, as the platform's application
// has one to its app server.
std::mutex& DisplayServer::CurrentLock()
{
    static std::mutex lock;
    return lock;
}

std::weak_ptr<DisplayServer>& DisplayServer::Current()
{
    static std::weak_ptr<DisplayServer> current;
    return current;
}

std::shared_ptr<DisplayServer> DisplayServer::Acquire()
{
    std::lock_guard<std::mutex> guard(CurrentLock());
    std::shared_ptr<DisplayServer> server = Current().lock();
    if (server)
        return server;
    server.reset(new DisplayServer());
    server->SetBackend(choose_backend(*server));
    Current() = server;
    return server;
}

std::shared_ptr<DisplayServer> DisplayServer::Existing()
{
    std::lock_guard<std::mutex> guard(CurrentLock());
    return Current().lock();
}

void DisplayServer::SetBackend(std::unique_ptr<DisplayBackend> backend)
{
    std::lock_guard<std::mutex> guard(fLock);
    fBackend = std::move(backend);
}

const char* DisplayServer::BackendName() const
{
    std::lock_guard<std::mutex> guard(fLock);
    return fBackend ? fBackend->Name() : "headless";
}

BRect DisplayServer::ScreenFrame() const
{
    std::lock_guard<std::mutex> guard(fLock);
    return fBackend ? fBackend->ScreenFrame() : BRect(0, 0, 1023, 767);
}

void DisplayServer::SizePixels(Window& window)
{
    int32 width = std::max<int32>(1, (int32)lroundf(window.model.frame.Width()) + 1);
    int32 height = std::max<int32>(1, (int32)lroundf(window.model.frame.Height()) + 1);
    if (width == window.width && height == window.height)
        return;
    std::vector<uint32> pixels((size_t)width * height, 0xff000000u);
    int32 keepWidth = std::min(width, window.width);
    int32 keepHeight = std::min(height, window.height);
    for (int32 y = 0; y < keepHeight; y++) {
        std::copy_n(window.pixels.begin() + (size_t)y * window.width, keepWidth,
                    pixels.begin() + (size_t)y * width);
    }
    window.pixels = std::move(pixels);
    window.width = width;
    window.height = height;
}

DisplayServer::Window* DisplayServer::Find(int32 token)
{
    auto found = fWindows.find(token);
    return found == fWindows.end() ? nullptr : &found->second;
}

const DisplayServer::Window* DisplayServer::Find(int32 token) const
{
    auto found = fWindows.find(token);
    return found == fWindows.end() ? nullptr : &found->second;
}

void DisplayServer::Post(int32 token, BMessage& message)
{
    BMessenger target;
    {
        std::lock_guard<std::mutex> guard(fLock);
        const Window* window = Find(token);
        if (window == nullptr)
            return;
        target = window->target;
    }
    target.SendMessage(&message, (BHandler*)NULL, kPostTimeout);
}

int32 DisplayServer::AddWindow(const void* owner, const WindowModel& model,
                               const BMessenger& target)
{
    std::lock_guard<std::mutex> guard(fLock);
    int32 token = fNextToken++;
    Window& window = fWindows[token];
    window.owner = owner;
    window.model = model;
    window.model.active = false;
    window.target = target;
    SizePixels(window);
    if (fBackend)
        fBackend->WindowAdded(token, window.model);
    return token;
}

void DisplayServer::RemoveWindow(int32 token)
{
    std::lock_guard<std::mutex> guard(fLock);
    if (fWindows.erase(token) == 0)
        return;
    if (fActiveToken == token)
        fActiveToken = -1;
    if (fBackend)
        fBackend->WindowRemoved(token);
}

void DisplayServer::UpdateWindow(int32 token, const WindowModel& model)
{
    bool activate = false;
    bool deactivate = false;
    {
        std::lock_guard<std::mutex> guard(fLock);
        Window* window = Find(token);
        if (window == nullptr)
            return;
        WindowModel before = window->model;
        window->model = model;
        window->model.active = before.active;
        SizePixels(*window);
        if (fBackend)
            fBackend->WindowChanged(token, before, window->model);
        bool wasVisible = before.shown && !before.minimized;
        bool visible = model.shown && !model.minimized;
        bool managed = fBackend && fBackend->ManagesFocus();
        activate = !managed && visible && !wasVisible;
        deactivate = !managed && !visible && before.active;
    }
    if (activate)
        ActivateWindow(token);
    if (deactivate)
        UserActivated(token, false);
}

void DisplayServer::Present(int32 token, const Canvas& canvas, BRect rect)
{
    std::lock_guard<std::mutex> guard(fLock);
    Window* window = Find(token);
    if (window == nullptr || canvas.bits == nullptr)
        return;
    int32 left = std::max<int32>(0, (int32)floorf(rect.left));
    int32 top = std::max<int32>(0, (int32)floorf(rect.top));
    int32 right = std::min({(int32)ceilf(rect.right), window->width - 1, canvas.width - 1});
    int32 bottom = std::min({(int32)ceilf(rect.bottom), window->height - 1, canvas.height - 1});
    if (left > right || top > bottom)
        return;
    for (int32 y = top; y <= bottom; y++) {
        const uint8* row = canvas.bits + (size_t)y * canvas.bytesPerRow + (size_t)left * 4;
        memcpy(&window->pixels[(size_t)y * window->width + left], row,
               (size_t)(right - left + 1) * 4);
    }
    if (fBackend)
        fBackend->WindowPresented(token, BRect(left, top, right, bottom));
}

void DisplayServer::ActivateWindow(int32 token)
{
    int32 previous = -1;
    {
        std::lock_guard<std::mutex> guard(fLock);
        Window* window = Find(token);
        if (window == nullptr)
            return;
        if (fBackend && fBackend->ManagesFocus()) {
            fBackend->WindowActivated(token);
            return;
        }
        if (!window->model.shown || window->model.minimized || window->model.active)
            return;
        previous = fActiveToken;
    }
    if (previous != -1 && previous != token)
        UserActivated(previous, false);
    UserActivated(token, true);
}

void DisplayServer::SetClipboardText(const char* text, size_t length)
{
    std::lock_guard<std::mutex> guard(fLock);
    fClipboard.assign(text != NULL ? text : "", text != NULL ? length : 0);
    if (fBackend)
        fBackend->ClipboardSet(fClipboard);
}

std::string DisplayServer::ClipboardText() const
{
    DisplayBackend* backend;
    {
        std::lock_guard<std::mutex> guard(fLock);
        backend = fBackend.get();
    }
    // Not under the lock: the backend's thread may need it meanwhile.
    std::string text;
    if (backend != nullptr && backend->ClipboardGet(&text))
        return text;
    std::lock_guard<std::mutex> guard(fLock);
    return fClipboard;
}

uint32 DisplayServer::Modifiers() const
{
    std::lock_guard<std::mutex> guard(fLock);
    return fModifiers;
}

void DisplayServer::UserMoved(int32 token, BPoint where)
{
    {
        std::lock_guard<std::mutex> guard(fLock);
        Window* window = Find(token);
        if (window == nullptr || window->model.frame.LeftTop() == where)
            return;
        window->model.frame.OffsetTo(where);
    }
    BMessage message(B_WINDOW_MOVED);
    message.AddInt64("when", system_time());
    message.AddPoint("where", where);
    message.AddBool(kUserActionField, true);
    Post(token, message);
}

void DisplayServer::UserResized(int32 token, float width, float height)
{
    {
        std::lock_guard<std::mutex> guard(fLock);
        Window* window = Find(token);
        if (window == nullptr)
            return;
        const WindowModel& model = window->model;
        width = std::clamp(width, model.minWidth, std::max(model.minWidth, model.maxWidth));
        height = std::clamp(height, model.minHeight, std::max(model.minHeight, model.maxHeight));
        BRect& frame = window->model.frame;
        if (frame.Width() == width && frame.Height() == height)
            return;
        frame.right = frame.left + width;
        frame.bottom = frame.top + height;
        SizePixels(*window);
    }
    BMessage message(B_WINDOW_RESIZED);
    message.AddInt64("when", system_time());
    message.AddInt32("width", (int32)width);
    message.AddInt32("height", (int32)height);
    message.AddBool(kUserActionField, true);
    Post(token, message);
}

void DisplayServer::UserMinimized(int32 token, bool minimized)
{
    bool deactivate = false;
    {
        std::lock_guard<std::mutex> guard(fLock);
        Window* window = Find(token);
        if (window == nullptr || window->model.minimized == minimized)
            return;
        window->model.minimized = minimized;
        deactivate = minimized && window->model.active && !(fBackend && fBackend->ManagesFocus());
    }
    BMessage message(B_MINIMIZE);
    message.AddInt64("when", system_time());
    message.AddBool("minimize", minimized);
    Post(token, message);
    if (deactivate)
        UserActivated(token, false);
}

void DisplayServer::UserActivated(int32 token, bool active)
{
    {
        std::lock_guard<std::mutex> guard(fLock);
        Window* window = Find(token);
        if (window == nullptr || window->model.active == active)
            return;
        window->model.active = active;
        if (active)
            fActiveToken = token;
        else if (fActiveToken == token)
            fActiveToken = -1;
    }
    BMessage message(B_WINDOW_ACTIVATED);
    message.AddInt64("when", system_time());
    message.AddBool("active", active);
    Post(token, message);
}

void DisplayServer::UserClosed(int32 token)
{
    {
        std::lock_guard<std::mutex> guard(fLock);
        const Window* window = Find(token);
        if (window == nullptr || !window->model.closable)
            return;
    }
    BMessage message(B_QUIT_REQUESTED);
    Post(token, message);
}

// The session ended or the X server went: the program ends as the user would
// end it, and stores what it stores on a close.
void DisplayServer::DisplayLost()
{
    std::vector<int32> tokens;
    {
        std::lock_guard<std::mutex> guard(fLock);
        for (const auto& entry : fWindows)
            tokens.push_back(entry.first);
    }
    for (int32 token : tokens) {
        BMessage message(B_QUIT_REQUESTED);
        Post(token, message);
    }
}

void DisplayServer::UserMouseMoved(int32 token, BPoint where)
{
    uint32 buttons;
    uint32 modifiers;
    {
        std::lock_guard<std::mutex> guard(fLock);
        Window* window = Find(token);
        if (window == nullptr)
            return;
        window->mouseWhere = where;
        buttons = window->mouseButtons;
        modifiers = fModifiers;
    }
    BMessage message(B_MOUSE_MOVED);
    message.AddInt64("when", system_time());
    message.AddPoint("where", where);
    message.AddInt32("buttons", (int32)buttons);
    message.AddInt32("modifiers", (int32)modifiers);
    Post(token, message);
}

void DisplayServer::UserMouseButton(int32 token, BPoint where, uint32 button, bool down,
                                    int32 clicks)
{
    uint32 buttons;
    uint32 modifiers;
    bool activate = false;
    {
        std::lock_guard<std::mutex> guard(fLock);
        Window* window = Find(token);
        if (window == nullptr)
            return;
        window->mouseWhere = where;
        if (down)
            window->mouseButtons |= button;
        else
            window->mouseButtons &= ~button;
        buttons = window->mouseButtons;
        modifiers = fModifiers;
        activate = down && !window->model.active && !(fBackend && fBackend->ManagesFocus());
    }
    if (activate)
        ActivateWindow(token);
    BMessage message(down ? B_MOUSE_DOWN : B_MOUSE_UP);
    message.AddInt64("when", system_time());
    message.AddPoint("where", where);
    message.AddInt32("buttons", (int32)buttons);
    message.AddInt32("modifiers", (int32)modifiers);
    if (down)
        message.AddInt32("clicks", std::max<int32>(1, clicks));
    Post(token, message);
}

void DisplayServer::UserWheel(int32 token, float deltaX, float deltaY)
{
    BMessage message(B_MOUSE_WHEEL_CHANGED);
    message.AddInt64("when", system_time());
    message.AddFloat(kWheelDeltaXField, deltaX);
    message.AddFloat(kWheelDeltaYField, deltaY);
    Post(token, message);
}

void DisplayServer::SetKeyState(int32 key, bool down)
{
    if (key < 0 || key >= 128)
        return;
    uint8 bit = (uint8)(1 << (7 - (key & 7)));
    if (down)
        fKeyStates[key >> 3] |= bit;
    else
        fKeyStates[key >> 3] &= (uint8)~bit;
}

void DisplayServer::PostKey(int32 token, uint32 what, int32 key, const char* bytes, int32 rawChar,
                            bool repeat)
{
    BMessage message(what);
    uint8 states[16];
    {
        std::lock_guard<std::mutex> guard(fLock);
        message.AddInt64("when", system_time());
        message.AddInt32("key", key);
        message.AddInt32("modifiers", (int32)fModifiers);
        memcpy(states, fKeyStates, sizeof(states));
    }
    message.AddData("states", B_UINT8_TYPE, states, sizeof(states));
    if (bytes != NULL) {
        for (size_t i = 0; bytes[i] != '\0'; i++)
            message.AddInt8("byte", (int8)bytes[i]);
        message.AddString("bytes", bytes);
        message.AddInt32("raw_char", rawChar);
    }
    if (repeat)
        message.AddInt32(kKeyRepeatField, 1);
    Post(token, message);
}

void DisplayServer::PostModifiersChanged(int32 token, uint32 oldModifiers)
{
    BMessage message(B_MODIFIERS_CHANGED);
    uint8 states[16];
    {
        std::lock_guard<std::mutex> guard(fLock);
        message.AddInt64("when", system_time());
        message.AddInt32("modifiers", (int32)fModifiers);
        memcpy(states, fKeyStates, sizeof(states));
    }
    message.AddInt32(kOldModifiersField, (int32)oldModifiers);
    message.AddData("states", B_UINT8_TYPE, states, sizeof(states));
    Post(token, message);
}

void DisplayServer::UserKeyDown(int32 token, int32 key, const char* text, bool repeat)
{
    uint32 oldModifiers;
    uint32 newModifiers;
    std::string bytes;
    int32 rawChar = 0;
    {
        std::lock_guard<std::mutex> guard(fLock);
        if (Find(token) == nullptr)
            return;
        oldModifiers = fModifiers;
        SetKeyState(key, true);
        uint32 bits = modifier_bits(key);
        if (bits == B_CAPS_LOCK) {
            if (!repeat)
                fModifiers ^= B_CAPS_LOCK;
        } else {
            fModifiers |= bits;
        }
        newModifiers = fModifiers;
        if (bits == 0) {
            bytes = typed_text(key, fModifiers, &rawChar);
            if (text != NULL && text[0] != '\0')
                bytes = text;
        }
    }
    if (newModifiers != oldModifiers)
        PostModifiersChanged(token, oldModifiers);
    if (bytes.empty())
        PostKey(token, B_UNMAPPED_KEY_DOWN, key, NULL, 0, repeat);
    else
        PostKey(token, B_KEY_DOWN, key, bytes.c_str(), rawChar, repeat);
}

void DisplayServer::UserKeyUp(int32 token, int32 key)
{
    uint32 oldModifiers;
    uint32 newModifiers;
    std::string bytes;
    int32 rawChar = 0;
    {
        std::lock_guard<std::mutex> guard(fLock);
        if (Find(token) == nullptr)
            return;
        oldModifiers = fModifiers;
        SetKeyState(key, false);
        uint32 bits = modifier_bits(key);
        if (bits != 0 && bits != B_CAPS_LOCK) {
            fModifiers &= ~(bits & ~(B_SHIFT_KEY | B_CONTROL_KEY | B_COMMAND_KEY | B_OPTION_KEY));
            // The general bit stays while the other side's key is down.
            const uint32 pairs[][2] = {{B_SHIFT_KEY, B_LEFT_SHIFT_KEY | B_RIGHT_SHIFT_KEY},
                                       {B_CONTROL_KEY, B_LEFT_CONTROL_KEY | B_RIGHT_CONTROL_KEY},
                                       {B_COMMAND_KEY, B_LEFT_COMMAND_KEY | B_RIGHT_COMMAND_KEY},
                                       {B_OPTION_KEY, B_LEFT_OPTION_KEY | B_RIGHT_OPTION_KEY}};
            for (const auto& pair : pairs) {
                if ((bits & pair[0]) != 0 && (fModifiers & pair[1]) == 0)
                    fModifiers &= ~pair[0];
            }
        }
        newModifiers = fModifiers;
        if (bits == 0)
            bytes = typed_text(key, fModifiers, &rawChar);
    }
    if (bytes.empty())
        PostKey(token, B_UNMAPPED_KEY_UP, key, NULL, 0, false);
    else
        PostKey(token, B_KEY_UP, key, bytes.c_str(), rawChar, false);
    if (newModifiers != oldModifiers)
        PostModifiersChanged(token, oldModifiers);
}

void DisplayServer::UserDropped(int32 token, const std::vector<std::string>& paths,
                                BPoint screenWhere)
{
    BMessage message(B_SIMPLE_DATA);
    for (const std::string& path : paths) {
        entry_ref ref;
        if (get_ref_for_path(path.c_str(), &ref) == B_OK)
            message.AddRef("refs", &ref);
    }
    if (message.IsEmpty())
        return;
    message.AddPoint(kDropPointField, screenWhere);
    Post(token, message);
}

int32 DisplayServer::TokenOf(const void* owner) const
{
    std::lock_guard<std::mutex> guard(fLock);
    for (const auto& [token, window] : fWindows) {
        if (window.owner == owner)
            return token;
    }
    return -1;
}

bool DisplayServer::GetModel(int32 token, WindowModel* model) const
{
    std::lock_guard<std::mutex> guard(fLock);
    const Window* window = Find(token);
    if (window == nullptr || model == nullptr)
        return false;
    *model = window->model;
    return true;
}

bool DisplayServer::ReadPixel(int32 token, int32 x, int32 y, rgb_color* color) const
{
    std::lock_guard<std::mutex> guard(fLock);
    const Window* window = Find(token);
    if (window == nullptr || color == nullptr || x < 0 || y < 0 || x >= window->width ||
        y >= window->height)
        return false;
    uint32 pixel = window->pixels[(size_t)y * window->width + x];
    const uint8* bytes = reinterpret_cast<const uint8*>(&pixel);
    *color = make_color(bytes[2], bytes[1], bytes[0], bytes[3]);
    return true;
}

bool DisplayServer::CopyPixels(int32 token, std::vector<uint32>* pixels, int32* width,
                               int32* height) const
{
    std::lock_guard<std::mutex> guard(fLock);
    const Window* window = Find(token);
    if (window == nullptr)
        return false;
    *pixels = window->pixels;
    *width = window->width;
    *height = window->height;
    return true;
}

} // namespace BPrivate
