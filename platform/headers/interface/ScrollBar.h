#ifndef _SCROLL_BAR_H
#define _SCROLL_BAR_H

#include <InterfaceDefs.h>
#include <Rect.h>
#include <View.h>

// A bar that shows and sets how far its target view is scrolled: its value is
// the target's left (horizontal) or top (vertical) edge in the target's own
// coordinates. Scrolling the target moves the bar, and moving the bar scrolls
// the target.
class BScrollBar : public BView
{
public:
    BScrollBar(BRect frame, const char* name, BView* target, float min, float max,
               orientation direction);
    virtual ~BScrollBar();

    virtual void Draw(BRect updateRect);
    virtual void MouseDown(BPoint where);
    virtual void MouseUp(BPoint where);
    virtual void MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage);
    virtual void MessageReceived(BMessage* message);
    // Scrolls the target to the new value.
    virtual void ValueChanged(float newValue);

    // Values are whole numbers within the range.
    void SetValue(float value);
    float Value() const;
    // How much of the whole the target shows, 0 to 1; sets the thumb's length.
    void SetProportion(float proportion);
    float Proportion() const;
    void SetRange(float min, float max);
    void GetRange(float* min, float* max) const;
    // The arrow (small) and page (large) steps.
    void SetSteps(float smallStep, float largeStep);
    void GetSteps(float* smallStep, float* largeStep) const;
    void SetTarget(BView* target);
    void SetTarget(const char* targetName);
    BView* Target() const;
    orientation Orientation() const;

private:
    friend class BView;

    BRect TrackRect() const;
    BRect ThumbRect() const;
    float Along(BPoint point) const;
    float ValueForThumbStart(float start) const;
    bool ButtonsHeld();

    BView* fTarget = nullptr;
    orientation fOrientation;
    float fMin;
    float fMax;
    float fValue = 0;
    float fProportion = 0;
    float fSmallStep = 1;
    float fLargeStep = 10;
    bool fDragging = false;
    float fGrabOffset = 0; // where in the thumb the drag started
};

#endif
