#ifndef _SERVER_DISPLAY_SERVER_H
#define _SERVER_DISPLAY_SERVER_H

#include <GraphicsDefs.h>
#include <Messenger.h>
#include <Point.h>
#include <Rect.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/DisplayProtocol.h"

namespace BPrivate
{

class DisplayBackend;

// The process's display. Windows describe themselves to it and hand it their
// pixels; it shows them through a backend (an SDL window each, or nothing) and
// turns what the user does into the platform's messages, posted to the window.
// The backends and in-process tests report user actions through the User*()
// calls, which behave the same whichever backend runs.
class DisplayServer
{
public:
    // Made on first use; it goes when the last reference does.
    static std::shared_ptr<DisplayServer> Acquire();
    // The display if one is open, without opening one.
    static std::shared_ptr<DisplayServer> Existing();
    ~DisplayServer();

    DisplayServer(const DisplayServer&) = delete;
    DisplayServer& operator=(const DisplayServer&) = delete;

    // "sdl" or "headless".
    const char* BackendName() const;
    BRect ScreenFrame() const;

    // From windows. None of these waits for the backend. `owner` is what the
    // window is known by to TokenOf().
    int32 AddWindow(const void* owner, const WindowModel& model, const BMessenger& target);
    void RemoveWindow(int32 token);
    void UpdateWindow(int32 token, const WindowModel& model);
    void Present(int32 token, const Canvas& canvas, BRect rect);
    void ActivateWindow(int32 token);
    void SetClipboardText(const char* text, size_t length);
    std::string ClipboardText() const;
    uint32 Modifiers() const;

    // As if the user did it. Points are in window coordinates unless named
    // otherwise; sizes in the platform's units (pixels - 1).
    void UserMoved(int32 token, BPoint where);
    void UserResized(int32 token, float width, float height);
    void UserMinimized(int32 token, bool minimized);
    void UserActivated(int32 token, bool active);
    void UserClosed(int32 token);
    void UserMouseMoved(int32 token, BPoint where);
    void UserMouseButton(int32 token, BPoint where, uint32 button, bool down, int32 clicks);
    void UserWheel(int32 token, float deltaX, float deltaY);
    // `text` is what the key typed (NULL: the standard keymap decides).
    void UserKeyDown(int32 token, int32 key, const char* text, bool repeat = false);
    void UserKeyUp(int32 token, int32 key);
    void UserDropped(int32 token, const std::vector<std::string>& paths, BPoint screenWhere);

    // The display went away: each window is asked to close, as by its close box.
    void DisplayLost();

    // For backends and tests.
    int32 TokenOf(const void* owner) const;
    bool GetModel(int32 token, WindowModel* model) const;
    bool ReadPixel(int32 token, int32 x, int32 y, rgb_color* color) const;
    // Copies the window's pixels (B, G, R, A bytes) into `pixels`.
    bool CopyPixels(int32 token, std::vector<uint32>* pixels, int32* width, int32* height) const;

private:
    struct Window {
        const void* owner = nullptr;
        WindowModel model;
        BMessenger target;
        std::vector<uint32> pixels;
        int32 width = 0;
        int32 height = 0;
        uint32 mouseButtons = 0;
        BPoint mouseWhere;
    };

    DisplayServer();
    static std::mutex& CurrentLock();
    static std::weak_ptr<DisplayServer>& Current();
    void SetBackend(std::unique_ptr<DisplayBackend> backend);
    static void SizePixels(Window& window);
    Window* Find(int32 token);
    const Window* Find(int32 token) const;
    // Posts outside the server's lock: a window's full queue must never stall
    // the server while it holds the lock that windows need.
    void Post(int32 token, BMessage& message);
    void PostKey(int32 token, uint32 what, int32 key, const char* bytes, int32 rawChar,
                 bool repeat);
    void PostModifiersChanged(int32 token, uint32 oldModifiers);
    void SetKeyState(int32 key, bool down);

    mutable std::mutex fLock;
    std::unique_ptr<DisplayBackend> fBackend;
    std::map<int32, Window> fWindows;
    int32 fNextToken = 1;
    uint32 fModifiers = 0;
    uint8 fKeyStates[16] = {};
    std::string fClipboard;
    int32 fActiveToken = -1;
};

} // namespace BPrivate

#endif
