#ifndef _SCROLL_VIEW_H
#define _SCROLL_VIEW_H

#include <InterfaceDefs.h>
#include <View.h>

class BScrollBar;

// A frame around a target view, with scroll bars that scroll it. Its frame is
// the target's, widened for the bars and grown on every side by the border;
// the target is moved inside it.
class BScrollView : public BView
{
public:
    BScrollView(const char* name, BView* target, uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
                uint32 flags = 0, bool horizontal = false, bool vertical = false,
                border_style border = B_FANCY_BORDER);
    virtual ~BScrollView();

    virtual void Draw(BRect updateRect);

    BScrollBar* ScrollBar(orientation direction) const;
    BView* Target() const;
    border_style Border() const;

    // Width of the border of each style, in pixels.
    static float BorderSize(border_style border);

private:
    static BRect FrameFor(const BView* target, bool horizontal, bool vertical, border_style border);

    BView* fTarget;
    BScrollBar* fHorizontalBar = nullptr;
    BScrollBar* fVerticalBar = nullptr;
    border_style fBorder;
};

#endif
