// Scroll views and scroll bars: frame arithmetic for each border, the bars'
// range and value, and the link between a bar and the view it scrolls.

#include <ScrollBar.h>
#include <ScrollView.h>
#include <TextView.h>
#include <Window.h>

#include <memory>
#include <string>

#include "platform/server/display_test_support.h"

using namespace display_test;

namespace
{

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

TEST(ScrollView, FrameGrowsByTheBarsAndTheBorder)
{
    struct Case {
        border_style border;
        bool horizontal;
        bool vertical;
        BRect frame;
        float inset;
    };
    const BRect target(120, 7, 287, 43);
    const Case cases[] = {
        {B_PLAIN_BORDER, false, true, BRect(119, 6, 302, 44), 1},
        {B_FANCY_BORDER, false, true, BRect(118, 5, 303, 45), 2},
        {B_NO_BORDER, false, true, BRect(120, 7, 301, 43), 0},
        {B_PLAIN_BORDER, false, false, BRect(119, 6, 288, 44), 1},
        {B_FANCY_BORDER, true, true, BRect(118, 5, 303, 59), 2},
        {B_NO_BORDER, true, false, BRect(120, 7, 287, 57), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "border " << c.border << " h " << c.horizontal << " v " << c.vertical);
        BView* inner = new BView(target, "target", B_FOLLOW_ALL, B_WILL_DRAW);
        BScrollView scroll("scroll_view", inner, B_FOLLOW_ALL, 0, c.horizontal, c.vertical,
                           c.border);
        EXPECT_EQ(scroll.Frame(), c.frame);
        EXPECT_EQ(scroll.Target(), inner);
        EXPECT_EQ(scroll.Border(), c.border);
        EXPECT_EQ(inner->Parent(), &scroll);
        EXPECT_EQ(inner->Frame(), target.OffsetToCopy(c.inset, c.inset));
        EXPECT_EQ(scroll.ScrollBar(B_VERTICAL) != nullptr, c.vertical);
        EXPECT_EQ(scroll.ScrollBar(B_HORIZONTAL) != nullptr, c.horizontal);
        if (BScrollBar* bar = scroll.ScrollBar(B_VERTICAL)) {
            EXPECT_EQ(bar->Target(), inner);
            EXPECT_EQ(bar->Orientation(), B_VERTICAL);
            EXPECT_EQ(inner->ScrollBar(B_VERTICAL), bar);
            // Beside the target, inside the border.
            EXPECT_EQ(bar->Frame().left, inner->Frame().right + 1);
            EXPECT_EQ(bar->Frame().top, inner->Frame().top);
            EXPECT_EQ(bar->Frame().right, scroll.Bounds().right - c.inset);
            EXPECT_EQ(bar->Frame().bottom, inner->Frame().bottom);
        }
        if (BScrollBar* bar = scroll.ScrollBar(B_HORIZONTAL)) {
            EXPECT_EQ(bar->Frame().top, inner->Frame().bottom + 1);
            EXPECT_EQ(bar->Frame().bottom, scroll.Bounds().bottom - c.inset);
        }
    }

    // No target: an empty frame, no crash.
    BScrollView empty("empty", nullptr, B_FOLLOW_ALL, 0, true, true, B_FANCY_BORDER);
    EXPECT_EQ(empty.Target(), nullptr);
    EXPECT_NE(empty.ScrollBar(B_VERTICAL), nullptr);
}

TEST(ScrollBar, ValueStaysWholeAndInRangeAndScrollsTheTarget)
{
    BView target(BRect(0, 0, 99, 99), "target", B_FOLLOW_NONE, B_WILL_DRAW);
    BScrollBar bar(BRect(0, 0, 14, 99), "bar", &target, 0, 500, B_VERTICAL);
    float min = -1;
    float max = -1;
    bar.GetRange(&min, &max);
    EXPECT_EQ(min, 0.0f);
    EXPECT_EQ(max, 500.0f);

    bar.SetValue(120.4f);
    EXPECT_EQ(bar.Value(), 120.0f);
    EXPECT_EQ(target.Bounds().top, 120.0f);
    bar.SetValue(9000);
    EXPECT_EQ(bar.Value(), 500.0f);
    bar.SetValue(-3);
    EXPECT_EQ(bar.Value(), 0.0f);
    bar.SetValue(NAN);
    EXPECT_EQ(bar.Value(), 0.0f);

    // The target scrolled another way moves the bar.
    target.ScrollTo(0, 250);
    EXPECT_EQ(bar.Value(), 250.0f);
    target.ScrollBy(0, 10);
    EXPECT_EQ(bar.Value(), 260.0f);

    // A smaller range pulls the value and the target back.
    bar.SetRange(0, 100);
    EXPECT_EQ(bar.Value(), 100.0f);
    EXPECT_EQ(target.Bounds().top, 100.0f);
    // A reversed range is empty.
    bar.SetRange(50, 10);
    bar.GetRange(&min, &max);
    EXPECT_EQ(min, 0.0f);
    EXPECT_EQ(max, 0.0f);
    EXPECT_EQ(bar.Value(), 0.0f);

    bar.SetProportion(3);
    EXPECT_EQ(bar.Proportion(), 1.0f);
    bar.SetProportion(-1);
    EXPECT_EQ(bar.Proportion(), 0.0f);
    bar.SetSteps(4, 40);
    float small = 0;
    float large = 0;
    bar.GetSteps(&small, &large);
    EXPECT_EQ(small, 4.0f);
    EXPECT_EQ(large, 40.0f);
}

TEST(ScrollBar, EitherSideMayGoFirst)
{
    // The target deleted before its bar, and a bar before its target.
    auto* target = new BView(BRect(0, 0, 99, 99), "target", B_FOLLOW_NONE, B_WILL_DRAW);
    BScrollBar bar(BRect(0, 0, 14, 99), "bar", target, 0, 100, B_VERTICAL);
    delete target;
    EXPECT_EQ(bar.Target(), nullptr);
    bar.SetValue(50);
    EXPECT_EQ(bar.Value(), 50.0f);

    BView other(BRect(0, 0, 99, 99), "other", B_FOLLOW_NONE, B_WILL_DRAW);
    {
        BScrollBar first(BRect(0, 0, 14, 99), "first", &other, 0, 100, B_VERTICAL);
        // A second bar of the same direction takes the target over.
        BScrollBar second(BRect(0, 0, 14, 99), "second", &other, 0, 100, B_VERTICAL);
        EXPECT_EQ(first.Target(), nullptr);
        EXPECT_EQ(other.ScrollBar(B_VERTICAL), &second);
    }
    EXPECT_EQ(other.ScrollBar(B_VERTICAL), nullptr);
    other.ScrollTo(0, 30);
    EXPECT_EQ(other.Bounds().top, 30.0f);
}

// A log as the program builds it: a text view in a scroll view with a bar.
struct LogWindow {
    BWindow* window;
    BTextView* text;
    BScrollView* scroll;

    LogWindow()
    {
        window = new BWindow(BRect(100, 100, 410, 150), "log", B_TITLED_WINDOW, 0);
        text = new BTextView(BRect(120, 7, 287, 43), "text_view", BRect(0, 0, 310, 44),
                             B_FOLLOW_ALL, B_WILL_DRAW);
        scroll = new BScrollView("scroll_view", text, B_FOLLOW_ALL, 0, false, true, B_PLAIN_BORDER);
        window->AddChild(scroll);
        BFont font(be_fixed_font);
        font.SetSize(9);
        text->SetFontAndColor(&font, B_FONT_ALL);
        text->MakeEditable(false);
        window->Show();
    }
    ~LogWindow() { QuitWindow(window); }

    BScrollBar* Bar() const { return scroll->ScrollBar(B_VERTICAL); }
};

TEST(ScrollBar, RangeFollowsTheTextHeight)
{
    LogWindow log;
    Settle(log.window);
    float min = -1;
    float max = -1;
    ASSERT_TRUE(log.window->Lock());
    log.Bar()->GetRange(&min, &max);
    log.window->Unlock();
    EXPECT_EQ(max, 0.0f);

    ASSERT_TRUE(log.window->Lock());
    for (int i = 0; i < 30; i++)
        log.text->Insert(0, " [57] <A1B2>\n", 13);
    float lineHeight = log.text->LineHeight();
    float visible = log.text->Bounds().Height() + 1;
    log.window->Unlock();
    Settle(log.window);

    ASSERT_TRUE(log.window->Lock());
    log.Bar()->GetRange(&min, &max);
    float proportion = log.Bar()->Proportion();
    log.window->Unlock();
    float textHeight = 31 * lineHeight;
    EXPECT_EQ(min, 0.0f);
    EXPECT_EQ(max, std::ceil(textHeight - visible));
    EXPECT_NEAR(proportion, visible / textHeight, 0.01);

    // Scrolled to the end, then the text shrinks: the view comes back.
    ASSERT_TRUE(log.window->Lock());
    log.Bar()->SetValue(max);
    EXPECT_EQ(log.text->Bounds().top, max);
    log.text->SetText(" [1] <A1B2>\n");
    log.window->Unlock();
    Settle(log.window);
    ASSERT_TRUE(log.window->Lock());
    EXPECT_EQ(log.text->Bounds().top, 0.0f);
    EXPECT_EQ(log.Bar()->Value(), 0.0f);
    log.window->Unlock();
}

TEST(ScrollBar, WheelAndThumbScrollTheText)
{
    LogWindow log;
    ASSERT_TRUE(log.window->Lock());
    std::string lines;
    for (int i = 0; i < 50; i++)
        lines += " [" + std::to_string(i) + "] <A1B2>\n";
    log.text->SetText(lines.c_str());
    log.window->Unlock();
    Settle(log.window);

    int32 token = TokenOf(log.window);
    // The wheel over the text scrolls it down by whole lines.
    Display()->UserMouseMoved(token, BPoint(150, 20));
    Display()->UserWheel(token, 0, 1);
    Settle(log.window);
    ASSERT_TRUE(log.window->Lock());
    float afterWheel = log.text->Bounds().top;
    float lineHeight = log.text->LineHeight();
    float barValue = log.Bar()->Value();
    BRect barFrame = log.Bar()->Frame();
    BRect scrollFrame = log.scroll->Frame();
    float max = 0;
    log.Bar()->GetRange(nullptr, &max);
    log.window->Unlock();
    EXPECT_EQ(afterWheel, 3 * lineHeight);
    EXPECT_EQ(barValue, afterWheel);

    // Dragging the thumb to the bottom of the track scrolls to the end.
    BPoint barLeftTop(scrollFrame.left + barFrame.left, scrollFrame.top + barFrame.top);
    float barX = barLeftTop.x + 7;
    ASSERT_TRUE(log.window->Lock());
    float thumbY = barLeftTop.y + 1 + (barFrame.Height() - 2) * (afterWheel / (max + 1)) + 3;
    log.window->Unlock();
    Display()->UserMouseMoved(token, BPoint(barX, thumbY));
    Display()->UserMouseButton(token, BPoint(barX, thumbY), B_PRIMARY_MOUSE_BUTTON, true, 1);
    Display()->UserMouseMoved(token, BPoint(barX, barLeftTop.y + barFrame.Height() + 40));
    Display()->UserMouseButton(token, BPoint(barX, barLeftTop.y + barFrame.Height() + 40),
                               B_PRIMARY_MOUSE_BUTTON, false, 1);
    Settle(log.window);
    ASSERT_TRUE(log.window->Lock());
    EXPECT_EQ(log.Bar()->Value(), max);
    EXPECT_EQ(log.text->Bounds().top, max);
    log.window->Unlock();

    // The button came up outside the bar: moving over it now drags nothing.
    Display()->UserMouseMoved(token, BPoint(barX, barLeftTop.y + 2));
    Settle(log.window);
    ASSERT_TRUE(log.window->Lock());
    EXPECT_EQ(log.Bar()->Value(), max);
    log.window->Unlock();

    // A click on the track above the thumb pages back.
    Display()->UserMouseMoved(token, BPoint(barX, barLeftTop.y + 2));
    Display()->UserMouseButton(token, BPoint(barX, barLeftTop.y + 2), B_PRIMARY_MOUSE_BUTTON, true,
                               1);
    Display()->UserMouseButton(token, BPoint(barX, barLeftTop.y + 2), B_PRIMARY_MOUSE_BUTTON, false,
                               1);
    Settle(log.window);
    ASSERT_TRUE(log.window->Lock());
    EXPECT_LT(log.text->Bounds().top, max);
    log.window->Unlock();
}

} // namespace
