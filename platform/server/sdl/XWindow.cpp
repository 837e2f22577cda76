// Kept apart from the backend: Xlib's macros (None, Bool, Status …) clash with the kits' names.

#include "server/sdl/XWindow.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace BPrivate
{

namespace
{

bool x_info(SDL_Window* window, SDL_SysWMinfo* info)
{
    SDL_VERSION(&info->version);
    return window != nullptr && SDL_GetWindowWMInfo(window, info) &&
           info->subsystem == SDL_SYSWM_X11;
}

} // namespace

bool x_map_window(SDL_Window* window)
{
    SDL_SysWMinfo info;
    if (!x_info(window, &info))
        return false;
    XMapRaised(info.info.x11.display, info.info.x11.window);
    XFlush(info.info.x11.display);
    return true;
}

bool x_withdraw_window(SDL_Window* window)
{
    SDL_SysWMinfo info;
    if (!x_info(window, &info))
        return false;
    Display* display = info.info.x11.display;
    XWithdrawWindow(display, info.info.x11.window, DefaultScreen(display));
    XFlush(display);
    return true;
}

bool x_window_viewable(SDL_Window* window)
{
    SDL_SysWMinfo info;
    XWindowAttributes attributes;
    return x_info(window, &info) &&
           XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) &&
           attributes.map_state == IsViewable;
}

int x_connection_of(SDL_Window* window)
{
    SDL_SysWMinfo info;
    return x_info(window, &info) ? ConnectionNumber(info.info.x11.display) : -1;
}

} // namespace BPrivate
