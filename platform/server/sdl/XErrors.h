#ifndef _SERVER_SDL_X_ERRORS_H
#define _SERVER_SDL_X_ERRORS_H

namespace BPrivate
{

// Makes X protocol errors non-fatal for the whole process; Xlib's own handler
// exits. When the connection to the X server breaks, `displayLost` is called; if
// it returns, Xlib ends the process as it always does.
void InstallXErrorHandlers(void (*displayLost)());

} // namespace BPrivate

#endif
