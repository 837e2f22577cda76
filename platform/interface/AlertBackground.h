#ifndef _INTERFACE_ALERT_BACKGROUND_H
#define _INTERFACE_ALERT_BACKGROUND_H

#include <Alert.h>
#include <View.h>

namespace BPrivate
{

// The panel under an alert's text and buttons: a stripe down the left side
// with the icon of the alert's type on it.
class AlertBackground : public BView
{
public:
    AlertBackground(BRect frame, alert_type type);

    virtual void Draw(BRect updateRect);

    // Where the icon lies, in the view's coordinates.
    static BRect IconFrame();

private:
    alert_type fType;
};

} // namespace BPrivate

#endif
