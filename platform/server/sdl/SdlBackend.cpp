#include "server/DisplayBackend.h"
#include "server/sdl/Scancodes.h"
#include "server/sdl/XErrors.h"
#include "server/sdl/XWindow.h"

#include <File.h>
#include <GraphicsDefs.h>
#include <InterfaceDefs.h>
#include <Resources.h>

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <thread>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace BPrivate
{

namespace
{

uint32 button_for_sdl(Uint8 button)
{
    switch (button) {
    case SDL_BUTTON_LEFT:
        return B_PRIMARY_MOUSE_BUTTON;
    case SDL_BUTTON_RIGHT:
        return B_SECONDARY_MOUSE_BUTTON;
    case SDL_BUTTON_MIDDLE:
        return B_TERTIARY_MOUSE_BUTTON;
    default:
        return 0;
    }
}

int pixels_for(float units)
{
    return std::clamp((int)lroundf(units) + 1, 1, 16384);
}

bool resizable(const WindowModel& model)
{
    return !model.fixedWidth || !model.fixedHeight;
}

// Geometry the program asked for, so that SDL's reports of it, and of the
// window manager's steps on the way to it, are not taken for the user's doing.
class Expected
{
public:
    enum Report { kRequested, kSettling, kUser };

    void Request(int a, int b)
    {
        fRetried = false;
        fPending.push_back({a, b, SDL_GetTicks64() + kSettleTime});
    }

    Report Classify(int a, int b)
    {
        Uint64 now = SDL_GetTicks64();
        while (!fPending.empty() && fPending.front().until < now)
            fPending.pop_front();
        for (auto it = fPending.rbegin(); it != fPending.rend(); ++it) {
            if (it->a == a && it->b == b) {
                fPending.erase(fPending.begin(), it.base());
                return kRequested;
            }
        }
        return fPending.empty() ? kUser : kSettling;
    }

    // A window manager may put the frame where the content was asked for; a
    // second request, once SDL knows the frame's borders, corrects that.
    bool TakeRetry()
    {
        if (fRetried)
            return false;
        fRetried = true;
        return true;
    }

private:
    static constexpr Uint64 kSettleTime = 500;

    struct Pending {
        int a;
        int b;
        Uint64 until;
    };
    std::deque<Pending> fPending;
    bool fRetried = false;
};

struct SdlWindow {
    SDL_Window* window = nullptr;
    WindowModel model;
    Expected moves;
    Expected sizes;
    Expected minimizes;  // 1 minimised, 0 restored
    Uint64 mapCheck = 0; // when to see whether the window manager mapped it; 0: no need
};

// A window manager that starts at the same moment as the program may lose the
// request to map a window; it is asked again this often until it has done it.
constexpr Uint64 kMapRetry = 1000;
// How long the program's end waits for the display thread to finish.
constexpr std::chrono::seconds kStopTimeout(2);

// One thread alone talks to SDL, and so to the window system. On X11 it sleeps
// in poll() on the X connection and an eventfd that the windows' queued
// requests wake it by, so that no other thread ever touches X; on other
// drivers it sleeps in SDL_WaitEvent and requests wake it with a user event.
// Nothing it calls waits on the window manager without a bound.
class SdlBackend : public DisplayBackend
{
public:
    explicit SdlBackend(DisplayServer& server) : fServer(server) {}
    ~SdlBackend() override;

    bool Start();
    bool Stop() override;

    const char* Name() const override { return "sdl"; }
    BRect ScreenFrame() const override { return fScreen; }
    bool ManagesFocus() const override { return true; }

    void WindowAdded(int32 token, const WindowModel& model) override
    {
        Queue([this, token, model] { fWindows[token].model = model; });
    }
    void WindowRemoved(int32 token) override
    {
        Queue([this, token] { Destroy(token); });
    }
    void WindowChanged(int32 token, const WindowModel& before, const WindowModel& now) override
    {
        Queue([this, token, now] { Apply(token, now); });
    }
    void WindowPresented(int32 token, BRect rect) override;
    void WindowActivated(int32 token) override
    {
        Queue([this, token] {
            auto found = fWindows.find(token);
            if (found != fWindows.end() && found->second.window != nullptr)
                SDL_RaiseWindow(found->second.window);
        });
    }
    void ClipboardSet(const std::string& text) override
    {
        Queue([text] { SDL_SetClipboardText(text.c_str()); });
    }
    bool ClipboardGet(std::string* text) override;

private:
    void Run(std::promise<bool>* started);
    static void DisplayLost();
    void Queue(std::function<void()> task);
    void RunQueued();
    void HandleEvents();
    void Wait();
    void CheckMaps();
    void Map(SdlWindow& window);
    void LoadIcon();
    void Create(int32 token, SdlWindow& window);
    void Destroy(int32 token);
    void Apply(int32 token, const WindowModel& now);
    void ApplyLimits(SdlWindow& window);
    void Show(int32 token);
    void HandleEvent(const SDL_Event& event);
    void HandleWindowEvent(const SDL_WindowEvent& event);
    void HandleKey(const SDL_KeyboardEvent& event);
    int32 TokenFor(Uint32 windowID) const;

    DisplayServer& fServer;
    std::thread fThread;
    bool fX11 = false;
    int fWakeFd = -1;
    Uint32 fWakeEvent = (Uint32)-1;
    BRect fScreen = BRect(0, 0, 1023, 767);

    std::mutex fQueueLock;
    std::deque<std::function<void()>> fQueue;
    std::set<int32> fPresentPending;
    bool fStopping = false;
    bool fFinished = false;
    std::condition_variable fFinishedCondition;
    // Left behind by a program that could not wait for it any longer.
    std::atomic<bool> fAbandoned = false;
    std::atomic<bool> fLost = false;

    // The server thread's own.
    int fXConnection = -1;
    std::map<int32, SdlWindow> fWindows;
    SDL_Surface* fIcon = nullptr;
    std::vector<uint32> fIconPixels;
    std::vector<std::string> fDroppedPaths;
    bool fDropping = false;
};

// The backend whose thread is the calling thread.
thread_local SdlBackend* tDisplayThreadBackend = nullptr;

SdlBackend::~SdlBackend()
{
    if (fThread.joinable())
        Stop();
    if (fWakeFd >= 0)
        close(fWakeFd);
}

bool SdlBackend::Stop()
{
    if (!fThread.joinable())
        return true;
    Queue([this] { fStopping = true; });
    bool finished;
    {
        std::unique_lock<std::mutex> guard(fQueueLock);
        finished = fFinishedCondition.wait_for(guard, kStopTimeout, [this] { return fFinished; });
    }
    if (!finished) {
        fprintf(stderr, "display: the display does not answer; the program ends without it\n");
        fAbandoned = true;
        fThread.detach();
        return false;
    }
    fThread.join();
    return true;
}

bool SdlBackend::ClipboardGet(std::string* text)
{
    struct Answer {
        std::mutex lock;
        std::condition_variable ready;
        bool done = false;
        std::string text;
    };
    if (fLost)
        return false;
    auto answer = std::make_shared<Answer>();
    Queue([answer] {
        char* clipboard = SDL_GetClipboardText();
        {
            std::lock_guard<std::mutex> guard(answer->lock);
            answer->text = clipboard != nullptr ? clipboard : "";
            answer->done = true;
        }
        SDL_free(clipboard);
        answer->ready.notify_all();
    });
    std::unique_lock<std::mutex> guard(answer->lock);
    if (!answer->ready.wait_for(guard, std::chrono::seconds(2), [&] { return answer->done; }))
        return false;
    *text = answer->text;
    return true;
}

bool SdlBackend::Start()
{
    // Without a session bus SDL's D-Bus would try to launch one, which would
    // outlive the program (and the attempt leaks when it fails): say there is none.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/session-bus", 0);
    fWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fWakeFd < 0)
        return false;
    std::promise<bool> started;
    std::future<bool> result = started.get_future();
    fThread = std::thread(&SdlBackend::Run, this, &started);
    if (result.get())
        return true;
    fThread.join();
    return false;
}

void SdlBackend::Queue(std::function<void()> task)
{
    std::lock_guard<std::mutex> guard(fQueueLock);
    bool wake = fQueue.empty();
    fQueue.push_back(std::move(task));
    if (!wake)
        return;
    if (fX11) {
        uint64_t one = 1;
        write(fWakeFd, &one, sizeof one);
    } else {
        SDL_Event event = {};
        event.type = fWakeEvent;
        SDL_PushEvent(&event);
    }
}

void SdlBackend::RunQueued()
{
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard<std::mutex> guard(fQueueLock);
        tasks.swap(fQueue);
    }
    for (auto& task : tasks) {
        if (fAbandoned)
            return;
        task();
    }
}

// Handles what the window system has sent, until nothing is left: neither in
// SDL's queue nor in Xlib's, which SDL's own calls may have filled meanwhile,
// and which a sleep on the connection would not see.
void SdlBackend::HandleEvents()
{
    for (;;) {
        SDL_PumpEvents();
        bool handled = false;
        SDL_Event event;
        while (!fStopping && !fAbandoned &&
               SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
            handled = true;
            if (event.type != fWakeEvent)
                HandleEvent(event);
        }
        if (!handled || fStopping || fAbandoned)
            return;
    }
}

// Sleeps until a request is queued or the window system has news, and while a
// window waits to be mapped, no longer than until it is due to be checked.
void SdlBackend::Wait()
{
    if (!fX11) {
        SDL_Event event;
        if (SDL_WaitEvent(&event) != 0 && event.type != fWakeEvent)
            HandleEvent(event);
        return;
    }
    int timeout = -1;
    Uint64 now = SDL_GetTicks64();
    for (const auto& entry : fWindows) {
        if (entry.second.mapCheck != 0) {
            int due = entry.second.mapCheck > now ? (int)(entry.second.mapCheck - now) : 0;
            timeout = timeout < 0 ? due : std::min(timeout, due);
        }
    }
    pollfd fds[2] = {{fWakeFd, POLLIN, 0}, {fXConnection, POLLIN, 0}};
    poll(fds, fXConnection >= 0 ? 2 : 1, timeout);
    uint64_t count;
    read(fWakeFd, &count, sizeof count);
    CheckMaps();
}

// Asks for the window to be mapped without waiting for the window manager, as
// SDL_ShowWindow and SDL_RestoreWindow do on X11; later checks ask again.
void SdlBackend::Map(SdlWindow& window)
{
    if (!x_map_window(window.window)) {
        SDL_ShowWindow(window.window);
        return;
    }
    window.mapCheck = SDL_GetTicks64() + kMapRetry;
}

void SdlBackend::CheckMaps()
{
    Uint64 now = SDL_GetTicks64();
    for (auto& [token, window] : fWindows) {
        if (window.mapCheck == 0 || window.mapCheck > now)
            continue;
        if (window.window == nullptr || !window.model.shown || window.model.minimized ||
            x_window_viewable(window.window)) {
            window.mapCheck = 0;
            continue;
        }
        Map(window);
    }
}

// Xlib calls this when its connection to the X server breaks, and ends the
// process if it returns. Only the display thread talks to X, so it runs there:
// it asks each window to close, as its close box does, and ends the thread with
// pthread_exit. That leaves Xlib and SDL without returning into them (Xlib has
// released the connection's lock before calling), runs the destructors of the
// thread's own frames, and SDL is not called again; the program then ends as on
// a close. A longjmp would skip those destructors, and an exit handler of
// Xlib's that returns would let SDL go on with a dead connection.
void SdlBackend::DisplayLost()
{
    SdlBackend* backend = tDisplayThreadBackend;
    if (backend == nullptr)
        return;
    backend->fLost = true;
    // While it stops, the windows are going already.
    if (!backend->fStopping)
        backend->fServer.DisplayLost();
    // Memory only, as SDL_Quit would free it.
    SDL_FreeSurface(backend->fIcon);
    SDL_TLSCleanup();
    pthread_exit(nullptr);
}

void SdlBackend::WindowPresented(int32 token, BRect rect)
{
    {
        std::lock_guard<std::mutex> guard(fQueueLock);
        if (!fPresentPending.insert(token).second)
            return;
    }
    Queue([this, token] {
        {
            std::lock_guard<std::mutex> guard(fQueueLock);
            fPresentPending.erase(token);
        }
        Show(token);
    });
}

void SdlBackend::Run(std::promise<bool>* started)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // The pixels go straight to the window system: a GL renderer behind the
    // window surface would make SDL recreate the windows it has shown.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    InstallXErrorHandlers(&SdlBackend::DisplayLost);
    // Also when the thread is ended by the loss of the display.
    struct Finished {
        SdlBackend* backend;
        ~Finished()
        {
            std::lock_guard<std::mutex> guard(backend->fQueueLock);
            backend->fFinished = true;
            backend->fFinishedCondition.notify_all();
        }
    } finished{this};
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        started->set_value(false);
        return;
    }
    // Without a desktop SDL falls back to drivers that show nothing or take
    // over the console; those count as no display unless asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    bool desktop =
        driver != nullptr && (strcmp(driver, "x11") == 0 || strcmp(driver, "wayland") == 0);
    if (!desktop && getenv("SDL_VIDEODRIVER") == nullptr) {
        SDL_Quit();
        started->set_value(false);
        return;
    }
    fX11 = driver != nullptr && strcmp(driver, "x11") == 0;
    fWakeEvent = SDL_RegisterEvents(1);
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(0, &bounds) == 0)
        fScreen = BRect(bounds.x, bounds.y, bounds.x + bounds.w - 1, bounds.y + bounds.h - 1);
    LoadIcon();
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    // From here on the loss of the display ends this thread; before, the process.
    tDisplayThreadBackend = this;
    started->set_value(true);

    while (!fStopping && !fAbandoned) {
        RunQueued();
        HandleEvents();
        if (fStopping || fAbandoned)
            break;
        Wait();
    }
    if (fAbandoned)
        return;

    for (auto& entry : fWindows) {
        if (entry.second.window != nullptr)
            SDL_DestroyWindow(entry.second.window);
    }
    fWindows.clear();
    SDL_FreeSurface(fIcon);
    fIcon = nullptr;
    SDL_Quit();
}

// The executable's large icon (32 x 32, the system colour map), when it has one.
void SdlBackend::LoadIcon()
{
    BFile executable("/proc/self/exe", B_READ_ONLY);
    if (executable.InitCheck() != B_OK)
        return;
    BResources resources(&executable);
    size_t size = 0;
    const uint8* indices = static_cast<const uint8*>(resources.LoadResource('ICON', 101, &size));
    if (indices == nullptr || size != 32 * 32)
        return;
    const color_map* colors = system_colors();
    fIconPixels.resize(32 * 32);
    for (size_t i = 0; i < fIconPixels.size(); i++) {
        rgb_color color = colors->color_list[indices[i]];
        uint8 alpha = indices[i] == B_TRANSPARENT_MAGIC_CMAP8 ? 0 : 255;
        fIconPixels[i] =
            (uint32)alpha << 24 | (uint32)color.red << 16 | (uint32)color.green << 8 | color.blue;
    }
    fIcon = SDL_CreateRGBSurfaceWithFormatFrom(fIconPixels.data(), 32, 32, 32, 32 * 4,
                                               SDL_PIXELFORMAT_ARGB8888);
}

void SdlBackend::Create(int32 token, SdlWindow& window)
{
    const WindowModel& model = window.model;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (model.decor == WindowDecor::kUtility)
        flags |= SDL_WINDOW_UTILITY;
    if (model.decor == WindowDecor::kBorderless)
        flags |= SDL_WINDOW_BORDERLESS;
    if (resizable(model))
        flags |= SDL_WINDOW_RESIZABLE;
    int x = (int)lroundf(model.frame.left);
    int y = (int)lroundf(model.frame.top);
    window.window = SDL_CreateWindow(model.title.c_str(), x, y, pixels_for(model.frame.Width()),
                                     pixels_for(model.frame.Height()), flags);
    if (window.window == nullptr) {
        fprintf(stderr, "display: cannot open a window: %s\n", SDL_GetError());
        return;
    }
    SDL_SetWindowData(window.window, "token", reinterpret_cast<void*>((intptr_t)token));
    if (fIcon != nullptr)
        SDL_SetWindowIcon(window.window, fIcon);
    ApplyLimits(window);
    window.moves.Request(x, y);
    if (fXConnection < 0)
        fXConnection = x_connection_of(window.window);
}

void SdlBackend::Destroy(int32 token)
{
    auto found = fWindows.find(token);
    if (found == fWindows.end())
        return;
    if (found->second.window != nullptr)
        SDL_DestroyWindow(found->second.window);
    fWindows.erase(found);
}

void SdlBackend::ApplyLimits(SdlWindow& window)
{
    const WindowModel& model = window.model;
    int width = pixels_for(model.frame.Width());
    int height = pixels_for(model.frame.Height());
    int minWidth = pixels_for(model.minWidth);
    int maxWidth = pixels_for(model.maxWidth);
    int minHeight = pixels_for(model.minHeight);
    int maxHeight = pixels_for(model.maxHeight);
    if (model.fixedWidth)
        minWidth = maxWidth = width;
    if (model.fixedHeight)
        minHeight = maxHeight = height;
    SDL_SetWindowMinimumSize(window.window, minWidth, minHeight);
    SDL_SetWindowMaximumSize(window.window, std::max(minWidth, maxWidth),
                             std::max(minHeight, maxHeight));
}

void SdlBackend::Apply(int32 token, const WindowModel& now)
{
    SdlWindow& window = fWindows[token];
    WindowModel before = window.model;
    window.model = now;
    if (window.window == nullptr) {
        if (!now.shown)
            return;
        Create(token, window);
        if (window.window == nullptr)
            return;
        before = now;
        before.shown = false;
        before.minimized = false;
    }
    bool utility = now.decor == WindowDecor::kUtility;
    if (utility != (before.decor == WindowDecor::kUtility)) {
        // A window's type is fixed when SDL makes it.
        SDL_DestroyWindow(window.window);
        window.window = nullptr;
        Apply(token, now);
        return;
    }
    if (now.title != before.title)
        SDL_SetWindowTitle(window.window, now.title.c_str());
    int x = (int)lroundf(now.frame.left);
    int y = (int)lroundf(now.frame.top);
    if (now.frame.LeftTop() != before.frame.LeftTop()) {
        window.moves.Request(x, y);
        SDL_SetWindowPosition(window.window, x, y);
    }
    int width = pixels_for(now.frame.Width());
    int height = pixels_for(now.frame.Height());
    ApplyLimits(window);
    if (now.frame.Width() != before.frame.Width() || now.frame.Height() != before.frame.Height()) {
        window.sizes.Request(width, height);
        SDL_SetWindowSize(window.window, width, height);
    }
    SDL_SetWindowResizable(window.window, resizable(now) ? SDL_TRUE : SDL_FALSE);
    if (!now.shown) {
        if (before.shown && window.mapCheck != 0) {
            // Not known to SDL as shown yet: SDL_HideWindow would do nothing.
            window.mapCheck = 0;
            window.minimizes.Request(1, 0);
            x_withdraw_window(window.window);
        } else if (before.shown) {
            SDL_HideWindow(window.window);
        }
        return;
    }
    if (!before.shown) {
        Map(window);
        // The window manager placed the frame where the content should be;
        // now that SDL knows the frame's borders it can place the content.
        window.moves.Request(x, y);
        SDL_SetWindowPosition(window.window, x, y);
        Show(token);
    }
    if (now.minimized && (!before.minimized || !before.shown)) {
        window.minimizes.Request(1, 0);
        SDL_MinimizeWindow(window.window);
    } else if (!now.minimized && before.minimized && before.shown) {
        window.minimizes.Request(0, 0);
        if (fX11) {
            Map(window);
            SDL_RaiseWindow(window.window);
        } else {
            // SDL restores only what it knows to be minimised: let it read the
            // window system's news first.
            SDL_PumpEvents();
            SDL_RestoreWindow(window.window);
        }
    }
}

// Copies the window's pixels from the server onto the SDL window.
void SdlBackend::Show(int32 token)
{
    if (fAbandoned)
        return;
    auto found = fWindows.find(token);
    if (found == fWindows.end() || found->second.window == nullptr)
        return;
    std::vector<uint32> pixels;
    int32 width = 0;
    int32 height = 0;
    if (!fServer.CopyPixels(token, &pixels, &width, &height))
        return;
    SDL_Surface* surface = SDL_GetWindowSurface(found->second.window);
    if (surface == nullptr)
        return;
    int copyWidth = std::min<int>(width, surface->w);
    int copyHeight = std::min<int>(height, surface->h);
    if (copyWidth <= 0 || copyHeight <= 0)
        return;
    if (SDL_MUSTLOCK(surface))
        SDL_LockSurface(surface);
    SDL_ConvertPixels(copyWidth, copyHeight, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width * 4,
                      surface->format->format, surface->pixels, surface->pitch);
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(found->second.window);
}

int32 SdlBackend::TokenFor(Uint32 windowID) const
{
    SDL_Window* window = SDL_GetWindowFromID(windowID);
    if (window == nullptr)
        return -1;
    for (const auto& entry : fWindows) {
        if (entry.second.window == window)
            return entry.first;
    }
    return -1;
}

void SdlBackend::HandleWindowEvent(const SDL_WindowEvent& event)
{
    int32 token = TokenFor(event.windowID);
    if (token < 0)
        return;
    SdlWindow& window = fWindows[token];
    switch (event.event) {
    case SDL_WINDOWEVENT_MOVED:
        switch (window.moves.Classify(event.data1, event.data2)) {
        case Expected::kUser:
            window.model.frame.OffsetTo(event.data1, event.data2);
            fServer.UserMoved(token, BPoint(event.data1, event.data2));
            break;
        case Expected::kSettling:
            if (window.moves.TakeRetry()) {
                int x = (int)lroundf(window.model.frame.left);
                int y = (int)lroundf(window.model.frame.top);
                window.moves.Request(x, y);
                window.moves.TakeRetry();
                SDL_SetWindowPosition(window.window, x, y);
            }
            break;
        case Expected::kRequested:
            break;
        }
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (window.sizes.Classify(event.data1, event.data2) == Expected::kUser) {
            window.model.frame.right = window.model.frame.left + event.data1 - 1;
            window.model.frame.bottom = window.model.frame.top + event.data2 - 1;
            fServer.UserResized(token, event.data1 - 1, event.data2 - 1);
        }
        Show(token);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_RESTORED: {
        bool minimized = event.event == SDL_WINDOWEVENT_MINIMIZED;
        if (window.minimizes.Classify(minimized ? 1 : 0, 0) != Expected::kUser)
            break;
        window.model.minimized = minimized;
        fServer.UserMinimized(token, minimized);
        break;
    }
    case SDL_WINDOWEVENT_CLOSE:
        fServer.UserClosed(token);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        fServer.UserActivated(token, true);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        fServer.UserActivated(token, false);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        Show(token);
        break;
    default:
        break;
    }
}

void SdlBackend::HandleKey(const SDL_KeyboardEvent& event)
{
    int32 token = TokenFor(event.windowID);
    int32 key = key_for_scancode(event.keysym.scancode);
    if (token < 0 || key == 0)
        return;
    if (event.type == SDL_KEYUP) {
        fServer.UserKeyUp(token, key);
        return;
    }
    // The text a key types follows its key event in the same batch.
    std::string text;
    SDL_Event next;
    if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
        next.type == SDL_TEXTINPUT) {
        SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT);
        text = next.text.text;
    }
    fServer.UserKeyDown(token, key, text.empty() ? nullptr : text.c_str(), event.repeat != 0);
}

void SdlBackend::HandleEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_WINDOWEVENT:
        HandleWindowEvent(event.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        HandleKey(event.key);
        break;
    case SDL_MOUSEMOTION: {
        int32 token = TokenFor(event.motion.windowID);
        if (token >= 0)
            fServer.UserMouseMoved(token, BPoint(event.motion.x, event.motion.y));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int32 token = TokenFor(event.button.windowID);
        uint32 button = button_for_sdl(event.button.button);
        if (token >= 0 && button != 0) {
            fServer.UserMouseButton(token, BPoint(event.button.x, event.button.y), button,
                                    event.type == SDL_MOUSEBUTTONDOWN, event.button.clicks);
        }
        break;
    }
    case SDL_MOUSEWHEEL: {
        int32 token = TokenFor(event.wheel.windowID);
        if (token < 0)
            break;
        // SDL counts a notch away from the user as +1; the platform as -1.
        float sign = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1.0f : 1.0f;
        fServer.UserWheel(token, sign * event.wheel.preciseX, -sign * event.wheel.preciseY);
        break;
    }
    case SDL_DROPBEGIN:
        fDropping = true;
        fDroppedPaths.clear();
        break;
    case SDL_DROPFILE:
        if (event.drop.file != nullptr) {
            fDroppedPaths.push_back(event.drop.file);
            SDL_free(event.drop.file);
        }
        if (fDropping)
            break;
        [[fallthrough]];
    case SDL_DROPCOMPLETE: {
        fDropping = false;
        int32 token = TokenFor(event.drop.windowID);
        int x = 0;
        int y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        if (token >= 0 && !fDroppedPaths.empty())
            fServer.UserDropped(token, fDroppedPaths, BPoint(x, y));
        fDroppedPaths.clear();
        break;
    }
    case SDL_DROPTEXT:
        SDL_free(event.drop.file);
        break;
    default:
        break;
    }
}

} // namespace

std::unique_ptr<DisplayBackend> make_sdl_backend(DisplayServer& server)
{
    auto backend = std::make_unique<SdlBackend>(server);
    if (!backend->Start())
        return nullptr;
    return backend;
}

} // namespace BPrivate
