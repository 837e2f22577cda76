#ifndef _INTERFACE_DISPLAY_LINK_H
#define _INTERFACE_DISPLAY_LINK_H

#include <Messenger.h>
#include <Rect.h>

#include <memory>
#include <string>

#include "server/DisplayProtocol.h"

namespace BPrivate
{

class DisplayServer;

// The interface kit's one way to the display server: a window's place on the
// display, and the few things of the whole display that the kit asks about.
// The kit's other files include the server's protocol through this header only.
class DisplayLink
{
public:
    // Adds the window to the display, which is opened on first use; what the
    // user does to it is posted to `target`. `owner` names it to tests.
    DisplayLink(const void* owner, const WindowModel& model, const BMessenger& target);
    // Removes the window.
    ~DisplayLink();

    DisplayLink(const DisplayLink&) = delete;
    DisplayLink& operator=(const DisplayLink&) = delete;

    void Update(const WindowModel& model);
    void Present(const Canvas& canvas, BRect rect);
    void Activate();

    static BRect ScreenFrame();
    static void SetClipboardText(const char* text, size_t length);
    static std::string ClipboardText();
    // The modifier keys as the display last saw them; none while no display is open.
    static uint32 Modifiers();

private:
    std::shared_ptr<DisplayServer> fServer;
    int32 fToken;
};

} // namespace BPrivate

#endif
