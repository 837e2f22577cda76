#include <ScrollBar.h>

#include <AppDefs.h>
#include <Message.h>
#include <Window.h>

#include "interface/DisplayLink.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr float kMinThumbLength = 12;
constexpr float kWheelSteps = 3;

const rgb_color kTrackColor = {208, 208, 208, 255};
const rgb_color kFrameColor = {128, 128, 128, 255};
const rgb_color kThumbColor = {238, 238, 238, 255};
const rgb_color kThumbEdgeColor = {96, 96, 96, 255};

} // namespace

BScrollBar::BScrollBar(BRect frame, const char* name, BView* target, float min, float max,
                       orientation direction)
    : BView(frame, name, B_FOLLOW_NONE, B_WILL_DRAW | B_FRAME_EVENTS), fOrientation(direction),
      fMin(0), fMax(0)
{
    SetViewColor(kTrackColor);
    SetRange(min, max);
    SetTarget(target);
}

BScrollBar::~BScrollBar()
{
    SetTarget(static_cast<BView*>(nullptr));
}

void BScrollBar::SetTarget(BView* target)
{
    if (fTarget != nullptr) {
        BScrollBar*& link =
            fOrientation == B_VERTICAL ? fTarget->fVerScroller : fTarget->fHorScroller;
        if (link == this)
            link = nullptr;
    }
    fTarget = target;
    if (fTarget != nullptr) {
        BScrollBar*& link =
            fOrientation == B_VERTICAL ? fTarget->fVerScroller : fTarget->fHorScroller;
        if (link != nullptr && link != this)
            link->fTarget = nullptr;
        link = this;
    }
}

void BScrollBar::SetTarget(const char* targetName)
{
    if (targetName == nullptr || Window() == nullptr)
        return;
    SetTarget(Window()->FindView(targetName));
}

BView* BScrollBar::Target() const
{
    return fTarget;
}

orientation BScrollBar::Orientation() const
{
    return fOrientation;
}

void BScrollBar::SetValue(float value)
{
    if (std::isnan(value))
        return;
    value = std::round(std::clamp(value, fMin, fMax));
    if (value == fValue)
        return;
    fValue = value;
    Invalidate();
    ValueChanged(fValue);
}

float BScrollBar::Value() const
{
    return fValue;
}

void BScrollBar::ValueChanged(float newValue)
{
    if (fTarget == nullptr)
        return;
    BPoint where = fTarget->Bounds().LeftTop();
    if (fOrientation == B_VERTICAL)
        where.y = newValue;
    else
        where.x = newValue;
    if (where != fTarget->Bounds().LeftTop())
        fTarget->ScrollTo(where);
}

void BScrollBar::SetProportion(float proportion)
{
    if (std::isnan(proportion))
        return;
    proportion = std::clamp(proportion, 0.0f, 1.0f);
    if (proportion == fProportion)
        return;
    fProportion = proportion;
    Invalidate();
}

float BScrollBar::Proportion() const
{
    return fProportion;
}

void BScrollBar::SetRange(float min, float max)
{
    if (!std::isfinite(min) || !std::isfinite(max) || min > max)
        min = max = 0;
    min = std::round(min);
    max = std::round(max);
    if (min == fMin && max == fMax)
        return;
    fMin = min;
    fMax = max;
    Invalidate();
    SetValue(fValue);
}

void BScrollBar::GetRange(float* min, float* max) const
{
    if (min != nullptr)
        *min = fMin;
    if (max != nullptr)
        *max = fMax;
}

void BScrollBar::SetSteps(float smallStep, float largeStep)
{
    if (std::isfinite(smallStep))
        fSmallStep = std::max(0.0f, smallStep);
    if (std::isfinite(largeStep))
        fLargeStep = std::max(0.0f, largeStep);
}

void BScrollBar::GetSteps(float* smallStep, float* largeStep) const
{
    if (smallStep != nullptr)
        *smallStep = fSmallStep;
    if (largeStep != nullptr)
        *largeStep = fLargeStep;
}

// ---------------------------------------------------------------------------
// Geometry: everything "along" is measured in the bar's direction.

BRect BScrollBar::TrackRect() const
{
    return Bounds().InsetByCopy(1, 1);
}

BRect BScrollBar::ThumbRect() const
{
    BRect track = TrackRect();
    bool vertical = fOrientation == B_VERTICAL;
    float trackLength = (vertical ? track.Height() : track.Width()) + 1;
    float length = std::clamp(std::round(trackLength * fProportion), kMinThumbLength, trackLength);
    float range = fMax - fMin;
    float start = range > 0 ? std::round((fValue - fMin) / range * (trackLength - length)) : 0;
    if (vertical)
        return BRect(track.left, track.top + start, track.right, track.top + start + length - 1);
    return BRect(track.left + start, track.top, track.left + start + length - 1, track.bottom);
}

float BScrollBar::Along(BPoint point) const
{
    return fOrientation == B_VERTICAL ? point.y : point.x;
}

float BScrollBar::ValueForThumbStart(float start) const
{
    BRect track = TrackRect();
    BRect thumb = ThumbRect();
    bool vertical = fOrientation == B_VERTICAL;
    float trackLength = (vertical ? track.Height() : track.Width()) + 1;
    float length = (vertical ? thumb.Height() : thumb.Width()) + 1;
    float free = trackLength - length;
    if (free <= 0)
        return fMin;
    float trackStart = vertical ? track.top : track.left;
    return fMin + (start - trackStart) / free * (fMax - fMin);
}

// ---------------------------------------------------------------------------
// Drawing and input

void BScrollBar::Draw(BRect updateRect)
{
    SetHighColor(kFrameColor);
    StrokeRect(Bounds());
    // An empty range has nothing to scroll: the track alone shows that.
    if (fMax <= fMin)
        return;
    BRect thumb = ThumbRect();
    FillRect(thumb, kThumbColor);
    SetHighColor(kThumbEdgeColor);
    StrokeRect(thumb);
}

void BScrollBar::MouseDown(BPoint where)
{
    if (fMax <= fMin)
        return;
    BRect thumb = ThumbRect();
    if (thumb.Contains(where)) {
        fDragging = true;
        fGrabOffset = Along(where) - Along(thumb.LeftTop());
        return;
    }
    // A click on the track pages towards it.
    if (Along(where) < Along(thumb.LeftTop()))
        SetValue(fValue - fLargeStep);
    else
        SetValue(fValue + fLargeStep);
}

void BScrollBar::MouseMoved(BPoint where, uint32 transit, const BMessage* dragMessage)
{
    if (fDragging && !ButtonsHeld())
        fDragging = false; // released over another view
    if (!fDragging) {
        BView::MouseMoved(where, transit, dragMessage);
        return;
    }
    SetValue(ValueForThumbStart(Along(where) - fGrabOffset));
}

bool BScrollBar::ButtonsHeld()
{
    BPoint where;
    uint32 buttons = 0;
    GetMouse(&where, &buttons, false);
    return buttons != 0;
}

void BScrollBar::MouseUp(BPoint where)
{
    if (fDragging) {
        SetValue(ValueForThumbStart(Along(where) - fGrabOffset));
        fDragging = false;
        return;
    }
    BView::MouseUp(where);
}

void BScrollBar::MessageReceived(BMessage* message)
{
    if (message->what == B_MOUSE_WHEEL_CHANGED) {
        float delta = 0;
        message->FindFloat(fOrientation == B_VERTICAL ? BPrivate::kWheelDeltaYField
                                                      : BPrivate::kWheelDeltaXField,
                           &delta);
        SetValue(fValue + delta * kWheelSteps * fSmallStep);
        return;
    }
    BView::MessageReceived(message);
}
