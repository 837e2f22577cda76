// Kept apart from the backend: Xlib's macros (None, Bool, Status …) clash with the kits' names.

#include "server/sdl/XErrors.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <cstdio>

namespace BPrivate
{

namespace
{

// Xlib's handlers are the process's, and take no context.
void (*sDisplayLost)() = nullptr;

int ReportXError(Display* display, XErrorEvent* error)
{
    // An event sent to a window that was destroyed a moment before (as SDL wakes its event
    // wait) comes back as a BadWindow, which is harmless.
    if (error->error_code == BadWindow && error->request_code == X_SendEvent)
        return 0;
    char text[160];
    XGetErrorText(display, error->error_code, text, sizeof text);
    fprintf(stderr, "display: X error \"%s\" on request %d, ignored\n", text,
            (int)error->request_code);
    return 0;
}

int HandleLostConnection(Display* display)
{
    fprintf(stderr, "display: the connection to the X server is lost\n");
    if (sDisplayLost != nullptr)
        sDisplayLost();
    return 0;
}

} // namespace

void InstallXErrorHandlers(void (*displayLost)())
{
    sDisplayLost = displayLost;
    // Before SDL opens its connections: SDL puts back the handler it found when it quits, and
    // the connection it then closes may still report an error.
    XSetErrorHandler(ReportXError);
    XSetIOErrorHandler(HandleLostConnection);
}

} // namespace BPrivate
