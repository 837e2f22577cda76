#include "interface/AlertBackground.h"

#include <Font.h>

#include <cmath>

namespace BPrivate
{

namespace
{

constexpr float kStripeWidth = 30;

const rgb_color kPanelColor = {216, 216, 216, 255};
const rgb_color kStripeColor = {184, 184, 184, 255};
const rgb_color kSymbolColor = {255, 255, 255, 255};

struct IconStyle {
    rgb_color color;
    const char* symbol;
};

IconStyle style_of(alert_type type)
{
    switch (type) {
    case B_IDEA_ALERT:
        return {make_color(224, 176, 32), "?"};
    case B_WARNING_ALERT:
        return {make_color(232, 136, 0), "!"};
    case B_STOP_ALERT:
        return {make_color(200, 32, 32), "X"};
    default:
        return {make_color(56, 96, 200), "i"};
    }
}

} // namespace

AlertBackground::AlertBackground(BRect frame, alert_type type)
    : BView(frame, "_alert_background_", B_FOLLOW_ALL, B_WILL_DRAW), fType(type)
{
    SetViewColor(kPanelColor);
}

BRect AlertBackground::IconFrame()
{
    return BRect(18, 6, 49, 37);
}

void AlertBackground::Draw(BRect updateRect)
{
    if (fType == B_EMPTY_ALERT)
        return;
    BRect bounds = Bounds();
    FillRect(BRect(bounds.left, bounds.top, bounds.left + kStripeWidth - 1, bounds.bottom),
             kStripeColor);

    IconStyle style = style_of(fType);
    BRect icon = IconFrame();
    FillRect(icon, style.color);
    BFont font(be_bold_font);
    font.SetSize(22);
    SetFont(&font);
    font_height height;
    font.GetHeight(&height);
    float width = font.StringWidth(style.symbol);
    SetHighColor(kSymbolColor);
    DrawString(
        style.symbol,
        BPoint(std::floor(icon.left + (icon.Width() + 1 - width) / 2),
               std::floor(icon.top + (icon.Height() + 1 + height.ascent - height.descent) / 2)));
}

} // namespace BPrivate
