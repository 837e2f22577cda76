#include "interface/AlertButton.h"

#include <Font.h>

#include <cmath>
#include <utility>

namespace BPrivate
{

namespace
{

constexpr float kPadding = 20;
constexpr float kVerticalPadding = 10;

const rgb_color kFaceColor = {232, 232, 232, 255};
const rgb_color kPressedColor = {176, 176, 176, 255};
const rgb_color kEdgeColor = {96, 96, 96, 255};
const rgb_color kDefaultEdgeColor = {40, 40, 40, 255};
const rgb_color kLabelColor = {0, 0, 0, 255};

} // namespace

AlertButton::AlertButton(BRect frame, const char* label, bool isDefault,
                         std::function<void()> onPress)
    : BView(frame, label, B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW),
      fLabel(label != nullptr ? label : ""), fDefault(isDefault), fOnPress(std::move(onPress))
{
    SetViewColor(216, 216, 216);
}

float AlertButton::PreferredWidth(const char* label)
{
    return std::ceil(be_plain_font->StringWidth(label != nullptr ? label : "")) + kPadding;
}

float AlertButton::PreferredHeight()
{
    font_height height;
    be_plain_font->GetHeight(&height);
    return std::ceil(height.ascent + height.descent) + kVerticalPadding;
}

void AlertButton::Draw(BRect updateRect)
{
    BRect bounds = Bounds();
    FillRect(bounds.InsetByCopy(1, 1), fPressed ? kPressedColor : kFaceColor);
    SetHighColor(fDefault ? kDefaultEdgeColor : kEdgeColor);
    StrokeRect(bounds);
    if (fDefault)
        StrokeRect(bounds.InsetByCopy(1, 1));

    SetFont(be_plain_font);
    font_height height;
    be_plain_font->GetHeight(&height);
    float width = be_plain_font->StringWidth(fLabel.c_str());
    float x = std::floor(bounds.left + (bounds.Width() + 1 - width) / 2);
    float baseline =
        std::floor(bounds.top + (bounds.Height() + 1 + height.ascent - height.descent) / 2);
    SetHighColor(kLabelColor);
    DrawString(fLabel.c_str(), BPoint(x, baseline));
}

void AlertButton::SetPressed(bool pressed)
{
    if (pressed == fPressed)
        return;
    fPressed = pressed;
    Invalidate();
}

void AlertButton::MouseDown(BPoint where)
{
    fTracking = true;
    SetPressed(true);
}

void AlertButton::MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage)
{
    if (!fTracking)
        return;
    BPoint mouse;
    uint32 buttons = 0;
    GetMouse(&mouse, &buttons, false);
    // Released over another view: no press.
    fTracking = buttons != 0;
    SetPressed(fTracking && Bounds().Contains(where));
}

void AlertButton::MouseUp(BPoint where)
{
    if (!fTracking)
        return;
    fTracking = false;
    SetPressed(false);
    if (Bounds().Contains(where) && fOnPress)
        fOnPress();
}

} // namespace BPrivate
