// The platform's standard (US) keymap, by the platform's key codes.

#include "server/Keymap.h"

#include <InterfaceDefs.h>

namespace BPrivate
{

namespace
{

struct KeyChars {
    char plain;
    char shifted;
};

// The characters of the platform's standard (US) keymap, by key code.
KeyChars standard_key_chars(int32 key)
{
    static const char* const kDigits = "1234567890";
    static const char* const kDigitsShifted = "!@#$%^&*()";
    static const char* const kTopRow = "qwertyuiop";
    static const char* const kHomeRow = "asdfghjkl";
    static const char* const kBottomRow = "zxcvbnm";
    if (key >= 0x12 && key <= 0x1b)
        return {kDigits[key - 0x12], kDigitsShifted[key - 0x12]};
    if (key >= 0x27 && key <= 0x30)
        return {kTopRow[key - 0x27], (char)(kTopRow[key - 0x27] - 'a' + 'A')};
    if (key >= 0x3c && key <= 0x44)
        return {kHomeRow[key - 0x3c], (char)(kHomeRow[key - 0x3c] - 'a' + 'A')};
    if (key >= 0x4c && key <= 0x52)
        return {kBottomRow[key - 0x4c], (char)(kBottomRow[key - 0x4c] - 'a' + 'A')};
    switch (key) {
    case 0x11:
        return {'`', '~'};
    case 0x1c:
        return {'-', '_'};
    case 0x1d:
        return {'=', '+'};
    case 0x31:
        return {'[', '{'};
    case 0x32:
        return {']', '}'};
    case 0x33:
        return {'\\', '|'};
    case 0x45:
        return {';', ':'};
    case 0x46:
        return {'\'', '"'};
    case 0x53:
        return {',', '<'};
    case 0x54:
        return {'.', '>'};
    case 0x55:
        return {'/', '?'};
    case 0x5e:
        return {' ', ' '};
    default:
        return {0, 0};
    }
}

// The character of a key that types no text of its own.
char function_key_char(int32 key)
{
    if (key >= 0x02 && key <= 0x0d)
        return B_FUNCTION_KEY;
    switch (key) {
    case 0x01:
        return B_ESCAPE;
    case 0x1e:
        return B_BACKSPACE;
    case 0x1f:
        return B_INSERT;
    case 0x20:
        return B_HOME;
    case 0x21:
        return B_PAGE_UP;
    case 0x26:
        return B_TAB;
    case 0x34:
        return B_DELETE;
    case 0x35:
        return B_END;
    case 0x36:
        return B_PAGE_DOWN;
    case 0x47:
        return B_ENTER;
    case 0x57:
        return B_UP_ARROW;
    case 0x61:
        return B_LEFT_ARROW;
    case 0x62:
        return B_DOWN_ARROW;
    case 0x63:
        return B_RIGHT_ARROW;
    default:
        return 0;
    }
}

} // namespace

uint32 modifier_bits(int32 key)
{
    switch (key) {
    case 0x4b:
        return B_SHIFT_KEY | B_LEFT_SHIFT_KEY;
    case 0x56:
        return B_SHIFT_KEY | B_RIGHT_SHIFT_KEY;
    case 0x5c:
        return B_CONTROL_KEY | B_LEFT_CONTROL_KEY;
    case 0x60:
        return B_CONTROL_KEY | B_RIGHT_CONTROL_KEY;
    case 0x5d:
        return B_COMMAND_KEY | B_LEFT_COMMAND_KEY;
    case 0x5f:
        return B_COMMAND_KEY | B_RIGHT_COMMAND_KEY;
    case 0x66:
        return B_OPTION_KEY | B_LEFT_OPTION_KEY;
    case 0x67:
        return B_OPTION_KEY | B_RIGHT_OPTION_KEY;
    case 0x68:
        return B_MENU_KEY;
    case 0x3b:
        return B_CAPS_LOCK;
    default:
        return 0;
    }
}

std::string typed_text(int32 key, uint32 modifiers, int32* rawChar)
{
    KeyChars chars = standard_key_chars(key);
    if (chars.plain == 0) {
        char c = function_key_char(key);
        *rawChar = (uint8)c;
        return c != 0 ? std::string(1, c) : std::string();
    }
    *rawChar = (uint8)chars.plain;
    bool letter = chars.plain >= 'a' && chars.plain <= 'z';
    if ((modifiers & B_CONTROL_KEY) != 0 && letter)
        return std::string(1, (char)(chars.plain - 'a' + 1));
    bool shift = (modifiers & B_SHIFT_KEY) != 0;
    if (letter && (modifiers & B_CAPS_LOCK) != 0)
        shift = !shift;
    return std::string(1, shift ? chars.shifted : chars.plain);
}

} // namespace BPrivate
