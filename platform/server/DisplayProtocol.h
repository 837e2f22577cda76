#ifndef _SERVER_DISPLAY_PROTOCOL_H
#define _SERVER_DISPLAY_PROTOCOL_H

// What the interface kit and the display server share, and all they share: a
// window as the server shows it, the pixels a window hands over, and the fields
// of the platform's messages that only the two of them read and write.

#include <Rect.h>
#include <SupportDefs.h>

#include <string>

namespace BPrivate
{

// How the window system frames a window.
enum class WindowDecor {
    kTitled,
    kUtility, // a floating palette's smaller frame
    kBorderless,
};

// A window in the server's terms; the kit turns its looks and flags into these.
struct WindowModel {
    std::string title;
    BRect frame;
    WindowDecor decor = WindowDecor::kTitled;
    bool closable = true;
    bool fixedWidth = false; // the user cannot change it
    bool fixedHeight = false;
    float minWidth = 0;
    float maxWidth = 32768;
    float minHeight = 0;
    float maxHeight = 32768;
    bool shown = false;
    bool minimized = false;
    bool active = false;
};

// The pixels a window's views draw into: 32 bits a pixel, bytes B, G, R, A in
// memory (the platform's B_RGBA32), rows of bytesPerRow bytes. Drawing code clips
// to `clip` (window coordinates, inclusive edges) and to the canvas itself.
struct Canvas {
    uint8* bits = nullptr;
    int32 width = 0;
    int32 height = 0;
    int32 bytesPerRow = 0;
    BRect clip;
};

// Marks the geometry messages that report what the user did, as opposed to the
// window's own notices of its program's changes.
constexpr const char* kUserActionField = "be:user_action";
// B_MOUSE_WHEEL_CHANGED: notches turned; one away from the user is -1.
constexpr const char* kWheelDeltaXField = "be:wheel_delta_x";
constexpr const char* kWheelDeltaYField = "be:wheel_delta_y";
// B_KEY_DOWN and B_UNMAPPED_KEY_DOWN of a key held down.
constexpr const char* kKeyRepeatField = "be:key_repeat";
// B_MODIFIERS_CHANGED: the modifiers before the change.
constexpr const char* kOldModifiersField = "be:old_modifiers";
// B_SIMPLE_DATA of files dropped from outside: where, in screen coordinates.
constexpr const char* kDropPointField = "_drop_point_";

} // namespace BPrivate

#endif
