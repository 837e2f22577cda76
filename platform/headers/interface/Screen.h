#ifndef _SCREEN_H
#define _SCREEN_H

#include <GraphicsDefs.h>
#include <Rect.h>
#include <SupportDefs.h>

class BWindow;

struct screen_id {
    int32 id;
};

extern const screen_id B_MAIN_SCREEN_ID;

// The screen the windows are shown on; there is one.
class BScreen
{
public:
    BScreen(screen_id id = B_MAIN_SCREEN_ID);
    BScreen(BWindow* window);
    ~BScreen();

    bool IsValid();
    status_t SetToNext();
    screen_id ID();
    BRect Frame();
    color_space ColorSpace();
    rgb_color DesktopColor();

private:
    BScreen(const BScreen&) = delete;
    BScreen& operator=(const BScreen&) = delete;

    bool fValid;
};

#endif
