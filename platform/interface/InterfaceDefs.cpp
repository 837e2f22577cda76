#include <InterfaceDefs.h>

#include "interface/DisplayLink.h"

// The platform's default colours of its user interface.
rgb_color ui_color(color_which which)
{
    switch (which) {
    case B_PANEL_BACKGROUND_COLOR:
        return make_color(216, 216, 216);
    case B_MENU_BACKGROUND_COLOR:
        return make_color(216, 216, 216);
    case B_WINDOW_TAB_COLOR:
        return make_color(255, 203, 0);
    case B_KEYBOARD_NAVIGATION_COLOR:
        return make_color(0, 0, 229);
    case B_DESKTOP_COLOR:
        return make_color(51, 102, 152);
    case B_MENU_SELECTION_BACKGROUND_COLOR:
        return make_color(115, 120, 184);
    case B_MENU_ITEM_TEXT_COLOR:
        return make_color(0, 0, 0);
    case B_MENU_SELECTED_ITEM_TEXT_COLOR:
        return make_color(255, 255, 255);
    default:
        return make_color(0, 0, 0);
    }
}

// The keyboard's modifier keys as the display last saw them; none before any
// window exists.
uint32 modifiers()
{
    return BPrivate::DisplayLink::Modifiers();
}
