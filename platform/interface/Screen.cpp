#include <Screen.h>

#include <InterfaceDefs.h>

#include "interface/DisplayLink.h"

const screen_id B_MAIN_SCREEN_ID = {0};

BScreen::BScreen(screen_id id) : fValid(id.id == B_MAIN_SCREEN_ID.id) {}

BScreen::BScreen(BWindow* window) : fValid(true) {}

BScreen::~BScreen() = default;

bool BScreen::IsValid()
{
    return fValid;
}

status_t BScreen::SetToNext()
{
    return B_ERROR;
}

screen_id BScreen::ID()
{
    return B_MAIN_SCREEN_ID;
}

BRect BScreen::Frame()
{
    if (!fValid)
        return BRect();
    return BPrivate::DisplayLink::ScreenFrame();
}

color_space BScreen::ColorSpace()
{
    return fValid ? B_RGB32 : B_NO_COLOR_SPACE;
}

rgb_color BScreen::DesktopColor()
{
    return ui_color(B_DESKTOP_COLOR);
}
