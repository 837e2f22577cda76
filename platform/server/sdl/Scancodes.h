#ifndef _SERVER_SDL_SCANCODES_H
#define _SERVER_SDL_SCANCODES_H

#include <SupportDefs.h>

#include <SDL_scancode.h>

namespace BPrivate
{

// The platform's key code of a PC keyboard's key; 0 for keys it has none for.
int32 key_for_scancode(SDL_Scancode scancode);

} // namespace BPrivate

#endif
