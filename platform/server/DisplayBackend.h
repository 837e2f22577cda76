#ifndef _SERVER_DISPLAY_BACKEND_H
#define _SERVER_DISPLAY_BACKEND_H

#include <Rect.h>

#include <memory>
#include <string>

#include "server/DisplayServer.h"

namespace BPrivate
{

// What a backend does to show windows. The server keeps every window's model
// and pixels and calls these after each change; they must not block on the
// backend's own thread. Every operation is optional: the headless backend
// needs none, since the server's model is the whole of its screen.
class DisplayBackend
{
public:
    virtual ~DisplayBackend() = default;

    // Ends the backend's work. False when it could not within a bound: the
    // backend must then be left alive, since its thread may still use it.
    virtual bool Stop() { return true; }

    virtual const char* Name() const = 0;
    virtual BRect ScreenFrame() const { return BRect(0, 0, 1023, 767); }

    virtual void WindowAdded(int32 token, const WindowModel& model) {}
    virtual void WindowRemoved(int32 token) {}
    virtual void WindowChanged(int32 token, const WindowModel& before, const WindowModel& now) {}
    virtual void WindowPresented(int32 token, BRect rect) {}
    virtual void WindowActivated(int32 token) {}
    virtual void ClipboardSet(const std::string& text) {}
    // The system's clipboard text; false when the backend has no clipboard of
    // its own (the server's copy is then the clipboard).
    virtual bool ClipboardGet(std::string* text) { return false; }

    // Headless: activation follows the model, since no window manager does it.
    virtual bool ManagesFocus() const { return false; }
};

std::unique_ptr<DisplayBackend> make_headless_backend();
// NULL when no display can be opened.
std::unique_ptr<DisplayBackend> make_sdl_backend(DisplayServer& server);

} // namespace BPrivate

#endif
