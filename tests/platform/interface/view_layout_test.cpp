// The view tree and its geometry: resizing modes when a parent resizes, the
// hooks of attaching and of frame changes, coordinate conversions.

#include <View.h>
#include <Window.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/server/display_test_support.h"

using namespace display_test;

namespace
{

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

class HookView : public BView
{
public:
    HookView(BRect frame, const char* name, uint32 mode, std::vector<std::string>* log,
             uint32 flags = 0)
        : BView(frame, name, mode, flags), fLog(log)
    {
    }
    void AttachedToWindow() override { fLog->push_back(std::string(Name()) + ".attached"); }
    void AllAttached() override { fLog->push_back(std::string(Name()) + ".all"); }
    void DetachedFromWindow() override { fLog->push_back(std::string(Name()) + ".detached"); }
    void FrameMoved(BPoint where) override { fLog->push_back(std::string(Name()) + ".moved"); }
    void FrameResized(float width, float height) override
    {
        fLog->push_back(std::string(Name()) + ".resized");
    }

private:
    std::vector<std::string>* fLog;
};

TEST(ViewLayout, ResizingModesDecideHowChildrenFollow)
{
    BWindow* window = new BWindow(BRect(0, 0, 199, 99), "Layout", B_TITLED_WINDOW, 0);
    BView* main = new BView(window->Bounds(), "main", B_FOLLOW_ALL, 0);
    window->AddChild(main);
    struct Case {
        uint32 mode;
        BRect expected;
    } cases[] = {
        {B_FOLLOW_ALL, BRect(10, 10, 89, 59)},
        {B_FOLLOW_LEFT | B_FOLLOW_TOP, BRect(10, 10, 49, 29)},
        {B_FOLLOW_NONE, BRect(10, 10, 49, 29)},
        {B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, BRect(50, 40, 89, 59)},
        {B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP, BRect(10, 10, 89, 29)},
        {B_FOLLOW_LEFT | B_FOLLOW_TOP_BOTTOM, BRect(10, 10, 49, 59)},
        {B_FOLLOW_H_CENTER | B_FOLLOW_V_CENTER, BRect(30, 25, 69, 44)},
        {B_FOLLOW_LEFT | B_FOLLOW_BOTTOM, BRect(10, 40, 49, 59)},
    };
    std::vector<BView*> views;
    for (const Case& entry : cases) {
        BView* view = new BView(BRect(10, 10, 49, 29), "case", entry.mode, 0);
        main->AddChild(view);
        views.push_back(view);
    }
    // A grandchild follows its own parent's change.
    BView* nested = new BView(BRect(0, 0, 9, 9), "nested", B_FOLLOW_RIGHT | B_FOLLOW_TOP, 0);
    views[0]->AddChild(nested);

    window->ResizeBy(40, 30);
    EXPECT_EQ(BRect(0, 0, 239, 129), main->Frame());
    for (size_t i = 0; i < views.size(); i++)
        EXPECT_EQ(cases[i].expected, views[i]->Frame()) << "case " << i;
    EXPECT_EQ(BRect(40, 0, 49, 9), nested->Frame());

    // Back again: every view returns to where it was.
    window->ResizeBy(-40, -30);
    for (BView* view : views)
        EXPECT_EQ(BRect(10, 10, 49, 29), view->Frame());
    window->Quit();
}

TEST(ViewLayout, AttachingAndFrameChangesCallTheHooks)
{
    std::vector<std::string> log;
    BWindow* window = new BWindow(BRect(0, 0, 199, 99), "Hooks", B_TITLED_WINDOW, 0);
    HookView* parent =
        new HookView(BRect(0, 0, 99, 99), "parent", B_FOLLOW_ALL, &log, B_FRAME_EVENTS);
    HookView* child = new HookView(BRect(0, 0, 9, 9), "child", B_FOLLOW_RIGHT, &log);
    HookView* first = new HookView(BRect(0, 0, 9, 9), "first", B_FOLLOW_NONE, &log);
    parent->AddChild(child);
    parent->AddChild(first, child);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(nullptr, parent->Window());
    window->AddChild(parent);
    EXPECT_EQ((std::vector<std::string>{"parent.attached", "first.attached", "child.attached",
                                        "first.all", "child.all", "parent.all"}),
              log);
    EXPECT_EQ(window, child->Window());
    EXPECT_EQ(window, child->Looper());
    EXPECT_EQ(nullptr, parent->Parent());
    EXPECT_EQ(parent, child->Parent());
    EXPECT_EQ(first, parent->ChildAt(0));
    EXPECT_EQ(child, parent->ChildAt(1));
    EXPECT_EQ(nullptr, parent->ChildAt(2));
    EXPECT_EQ(child, first->NextSibling());
    EXPECT_EQ(first, child->PreviousSibling());
    EXPECT_EQ(parent, window->ChildAt(0));
    EXPECT_EQ(1, window->CountChildren());
    EXPECT_EQ(child, window->FindView("child"));
    EXPECT_EQ(child, parent->FindView("child"));
    EXPECT_EQ(nullptr, window->FindView("nothing"));

    // A view cannot be added twice, nor under its own child.
    testing::internal::CaptureStderr();
    window->AddChild(child);
    child->AddChild(parent);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("AddChild"));
    EXPECT_EQ(parent, child->Parent());

    log.clear();
    parent->ResizeBy(10, 0);
    parent->MoveTo(5, 5);
    parent->MoveTo(5, 5);
    // Only views that asked for frame events hear of them.
    EXPECT_EQ((std::vector<std::string>{"parent.resized", "parent.moved"}), log);
    EXPECT_EQ(BRect(10, 0, 19, 9), child->Frame());

    log.clear();
    EXPECT_TRUE(parent->RemoveSelf());
    EXPECT_EQ((std::vector<std::string>{"parent.detached", "first.detached", "child.detached"}),
              log);
    EXPECT_EQ(nullptr, child->Window());
    EXPECT_EQ(0, window->CountChildren());
    EXPECT_FALSE(window->RemoveChild(parent));
    EXPECT_FALSE(parent->RemoveChild(nullptr));
    delete parent;
    window->Quit();
}

TEST(ViewLayout, CoordinatesConvertThroughParentsScrollingAndTheWindow)
{
    BWindow* window = new BWindow(BRect(100, 200, 299, 299), "Convert", B_TITLED_WINDOW, 0);
    BView* outer = new BView(BRect(10, 20, 109, 89), "outer", B_FOLLOW_NONE, 0);
    BView* inner = new BView(BRect(5, 5, 24, 24), "inner", B_FOLLOW_NONE, 0);
    outer->AddChild(inner);
    window->AddChild(outer);

    EXPECT_EQ(BRect(0, 0, 19, 19), inner->Bounds());
    EXPECT_EQ(BPoint(15, 25), outer->ConvertToParent(BPoint(5, 5)));
    EXPECT_EQ(BPoint(5, 5), outer->ConvertFromParent(BPoint(15, 25)));
    EXPECT_EQ(BPoint(100 + 10 + 5 + 1, 200 + 20 + 5 + 2), inner->ConvertToScreen(BPoint(1, 2)));
    EXPECT_EQ(BPoint(1, 2), inner->ConvertFromScreen(BPoint(116, 227)));
    EXPECT_EQ(BRect(115, 225, 134, 244), inner->ConvertToScreen(inner->Bounds()));
    EXPECT_EQ(BPoint(110, 220), window->ConvertToScreen(BPoint(10, 20)));

    outer->ScrollTo(3, 4);
    EXPECT_EQ(BRect(3, 4, 102, 73), outer->Bounds());
    EXPECT_EQ(BRect(10, 20, 109, 89), outer->Frame());
    EXPECT_EQ(BPoint(3, 4), outer->LeftTop());
    EXPECT_EQ(BPoint(100 + 10 + 5 - 3, 200 + 20 + 5 - 4), inner->ConvertToScreen(B_ORIGIN));
    EXPECT_EQ(BPoint(12, 21), outer->ConvertToParent(BPoint(5, 5)));

    window->MoveTo(0, 0);
    EXPECT_EQ(BPoint(12, 21), inner->ConvertToScreen(B_ORIGIN));
    EXPECT_EQ(inner, window->FindView(BPoint(13, 22)));
    EXPECT_EQ(outer, window->FindView(BPoint(11, 21)));
    EXPECT_EQ(nullptr, window->FindView(BPoint(150, 95)));
    window->Quit();
}

class PulsingView : public BView
{
public:
    PulsingView(const char* name, uint32 flags)
        : BView(BRect(0, 0, 9, 9), name, B_FOLLOW_NONE, flags)
    {
    }
    void Pulse() override { pulses++; }
    std::atomic<int> pulses{0};
};

TEST(ViewLayout, ViewsThatAskForPulsesGetThem)
{
    BWindow* window = new BWindow(BRect(0, 0, 99, 99), "Pulse", B_TITLED_WINDOW, 0);
    PulsingView* pulsing = new PulsingView("pulsing", B_PULSE_NEEDED);
    PulsingView* quiet = new PulsingView("quiet", 0);
    window->AddChild(quiet);
    quiet->AddChild(pulsing);
    window->SetPulseRate(20000);
    EXPECT_EQ(20000, window->PulseRate());
    window->Show();
    EXPECT_TRUE(WaitFor([&] { return pulsing->pulses.load() >= 3; }));
    EXPECT_EQ(0, quiet->pulses.load());

    ASSERT_TRUE(window->Lock());
    pulsing->SetFlags(0);
    quiet->SetFlags(B_PULSE_NEEDED);
    window->Unlock();
    EXPECT_TRUE(WaitFor([&] { return quiet->pulses.load() >= 3; }));
    Settle(window);
    int before = pulsing->pulses.load();
    snooze(100000);
    EXPECT_EQ(before, pulsing->pulses.load());
    QuitWindow(window);
}

TEST(ViewLayout, FontsAndColoursAreTheViewsOwn)
{
    BView view(BRect(0, 0, 9, 9), "font", B_FOLLOW_NONE, 0);
    view.SetFontSize(10);
    BFont font;
    view.GetFont(&font);
    EXPECT_EQ(10, font.Size());

    BFont fixed(be_fixed_font);
    fixed.SetSize(9);
    view.SetFont(&fixed, B_FONT_SIZE);
    view.GetFont(&font);
    EXPECT_EQ(9, font.Size());
    // Only the masked attributes were taken: the face is still the plain one.
    font_family family;
    font_style style;
    font_family plainFamily;
    font_style plainStyle;
    font.GetFamilyAndStyle(&family, &style);
    be_plain_font->GetFamilyAndStyle(&plainFamily, &plainStyle);
    EXPECT_STREQ(plainFamily, family);
    view.SetFont(&fixed, B_FONT_ALL);
    view.GetFont(&font);
    EXPECT_TRUE(font == fixed);
    view.SetFont(NULL);
    view.GetFont(&font);
    EXPECT_TRUE(font == fixed);

    view.SetViewColor(1, 2, 3, 4);
    EXPECT_EQ(make_color(1, 2, 3, 4), view.ViewColor());
    view.SetHighColor(make_color(5, 6, 7));
    EXPECT_EQ(make_color(5, 6, 7), view.HighColor());
    EXPECT_FALSE(view.RemoveSelf());
    EXPECT_EQ(nullptr, view.Parent());
}

} // namespace
