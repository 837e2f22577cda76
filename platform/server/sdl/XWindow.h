#ifndef _SERVER_SDL_X_WINDOW_H
#define _SERVER_SDL_X_WINDOW_H

struct SDL_Window;

namespace BPrivate
{

// What the SDL backend does to its windows through Xlib itself, where SDL would
// wait on the window manager. Each returns false, or -1, when the window is not
// on X11.

// Asks for the window to be mapped (shown or restored) and raised, without
// waiting for the window manager to do it.
bool x_map_window(SDL_Window* window);
// Takes the window off the screen, mapped or still waiting to be.
bool x_withdraw_window(SDL_Window* window);
bool x_window_viewable(SDL_Window* window);
// The descriptor of the X connection that the window's events come by.
int x_connection_of(SDL_Window* window);

} // namespace BPrivate

#endif
