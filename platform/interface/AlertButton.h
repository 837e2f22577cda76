#ifndef _INTERFACE_ALERT_BUTTON_H
#define _INTERFACE_ALERT_BUTTON_H

#include <View.h>

#include <functional>
#include <string>

namespace BPrivate
{

// A push button of an alert: pressed by a click released over it.
class AlertButton : public BView
{
public:
    AlertButton(BRect frame, const char* label, bool isDefault, std::function<void()> onPress);

    virtual void Draw(BRect updateRect);
    virtual void MouseDown(BPoint where);
    virtual void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage);
    virtual void MouseUp(BPoint where);

    // Room the label needs with the button's padding.
    static float PreferredWidth(const char* label);
    static float PreferredHeight();

private:
    void SetPressed(bool pressed);

    std::string fLabel;
    bool fDefault;
    bool fTracking = false;
    bool fPressed = false;
    std::function<void()> fOnPress;
};

} // namespace BPrivate

#endif
