#include "server/sdl/Scancodes.h"

namespace BPrivate
{

int32 key_for_scancode(SDL_Scancode scancode)
{
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return 0x02 + (scancode - SDL_SCANCODE_F1);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_0)
        return 0x12 + (scancode - SDL_SCANCODE_1);
    static const struct {
        SDL_Scancode scancode;
        int32 key;
    } kKeys[] = {
        {SDL_SCANCODE_ESCAPE, 0x01},
        {SDL_SCANCODE_GRAVE, 0x11},
        {SDL_SCANCODE_MINUS, 0x1c},
        {SDL_SCANCODE_EQUALS, 0x1d},
        {SDL_SCANCODE_BACKSPACE, 0x1e},
        {SDL_SCANCODE_INSERT, 0x1f},
        {SDL_SCANCODE_HOME, 0x20},
        {SDL_SCANCODE_PAGEUP, 0x21},
        {SDL_SCANCODE_TAB, 0x26},
        {SDL_SCANCODE_Q, 0x27},
        {SDL_SCANCODE_W, 0x28},
        {SDL_SCANCODE_E, 0x29},
        {SDL_SCANCODE_R, 0x2a},
        {SDL_SCANCODE_T, 0x2b},
        {SDL_SCANCODE_Y, 0x2c},
        {SDL_SCANCODE_U, 0x2d},
        {SDL_SCANCODE_I, 0x2e},
        {SDL_SCANCODE_O, 0x2f},
        {SDL_SCANCODE_P, 0x30},
        {SDL_SCANCODE_LEFTBRACKET, 0x31},
        {SDL_SCANCODE_RIGHTBRACKET, 0x32},
        {SDL_SCANCODE_BACKSLASH, 0x33},
        {SDL_SCANCODE_DELETE, 0x34},
        {SDL_SCANCODE_END, 0x35},
        {SDL_SCANCODE_PAGEDOWN, 0x36},
        {SDL_SCANCODE_CAPSLOCK, 0x3b},
        {SDL_SCANCODE_A, 0x3c},
        {SDL_SCANCODE_S, 0x3d},
        {SDL_SCANCODE_D, 0x3e},
        {SDL_SCANCODE_F, 0x3f},
        {SDL_SCANCODE_G, 0x40},
        {SDL_SCANCODE_H, 0x41},
        {SDL_SCANCODE_J, 0x42},
        {SDL_SCANCODE_K, 0x43},
        {SDL_SCANCODE_L, 0x44},
        {SDL_SCANCODE_SEMICOLON, 0x45},
        {SDL_SCANCODE_APOSTROPHE, 0x46},
        {SDL_SCANCODE_RETURN, 0x47},
        {SDL_SCANCODE_LSHIFT, 0x4b},
        {SDL_SCANCODE_Z, 0x4c},
        {SDL_SCANCODE_X, 0x4d},
        {SDL_SCANCODE_C, 0x4e},
        {SDL_SCANCODE_V, 0x4f},
        {SDL_SCANCODE_B, 0x50},
        {SDL_SCANCODE_N, 0x51},
        {SDL_SCANCODE_M, 0x52},
        {SDL_SCANCODE_COMMA, 0x53},
        {SDL_SCANCODE_PERIOD, 0x54},
        {SDL_SCANCODE_SLASH, 0x55},
        {SDL_SCANCODE_RSHIFT, 0x56},
        {SDL_SCANCODE_UP, 0x57},
        {SDL_SCANCODE_LCTRL, 0x5c},
        {SDL_SCANCODE_LALT, 0x5d},
        {SDL_SCANCODE_SPACE, 0x5e},
        {SDL_SCANCODE_RALT, 0x5f},
        {SDL_SCANCODE_RCTRL, 0x60},
        {SDL_SCANCODE_LEFT, 0x61},
        {SDL_SCANCODE_DOWN, 0x62},
        {SDL_SCANCODE_RIGHT, 0x63},
        {SDL_SCANCODE_KP_ENTER, 0x5b},
        {SDL_SCANCODE_LGUI, 0x66},
        {SDL_SCANCODE_RGUI, 0x67},
        {SDL_SCANCODE_APPLICATION, 0x68},
    };
    for (const auto& entry : kKeys) {
        if (entry.scancode == scancode)
            return entry.key;
    }
    return 0;
}

} // namespace BPrivate
