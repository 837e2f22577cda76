// Where input goes: keys to the focus view (or the window without one), mouse
// messages to the view under the cursor, drops to the view under the drop
// point, and whatever a view leaves alone up to its parents and the window.

#include <View.h>
#include <Window.h>

#include <string>
#include <vector>

#include "platform/server/display_test_support.h"
#include "support/ScratchDir.h"

using namespace display_test;

namespace
{

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

struct Event {
    std::string who;
    std::string what;
    BPoint where;
    std::string detail;
};

// Records the hooks it is asked to handle, or passes them on like a view
// without hooks of its own.
class ProbeView : public BView
{
public:
    ProbeView(BRect frame, const char* name, std::vector<Event>* log, bool handles)
        : BView(frame, name, B_FOLLOW_NONE, 0), fLog(log), fHandles(handles)
    {
    }

    void MouseDown(BPoint where) override
    {
        if (!Record("down", where))
            BView::MouseDown(where);
    }
    void MouseUp(BPoint where) override
    {
        if (!Record("up", where))
            BView::MouseUp(where);
    }
    void MouseMoved(BPoint where, uint32 transit, const BMessage* drag) override
    {
        if (!Record("moved", where, std::to_string(transit)))
            BView::MouseMoved(where, transit, drag);
    }
    void KeyDown(const char* bytes, int32 numBytes) override
    {
        if (!Record("key", B_ORIGIN, std::string(bytes, numBytes)))
            BView::KeyDown(bytes, numBytes);
    }
    void MessageReceived(BMessage* message) override
    {
        char code[5] = {(char)(message->what >> 24), (char)(message->what >> 16),
                        (char)(message->what >> 8), (char)message->what, 0};
        if (!Record(code, B_ORIGIN))
            BView::MessageReceived(message);
    }

    bool fHandles;

private:
    bool Record(const std::string& what, BPoint where, const std::string& detail = "")
    {
        if (fHandles)
            fLog->push_back({Name(), what, where, detail});
        return fHandles;
    }

    std::vector<Event>* fLog;
};

class ProbeWindow : public BWindow
{
public:
    ProbeWindow(std::vector<Event>* log)
        : BWindow(BRect(100, 100, 299, 199), "Routing", B_TITLED_WINDOW, 0), fLog(log)
    {
    }
    void MessageReceived(BMessage* message) override
    {
        if (message->what != kPing) {
            char code[5] = {(char)(message->what >> 24), (char)(message->what >> 16),
                            (char)(message->what >> 8), (char)message->what, 0};
            BPoint where;
            message->FindPoint("where", &where);
            int32 key = 0;
            message->FindInt32("key", &key);
            fLog->push_back({"window", code, where, std::to_string(key)});
            lastMessage = *message;
            const char* bytes = NULL;
            int32 modifiers = 0;
            message->FindInt32("modifiers", &modifiers);
            if (message->what == B_KEY_DOWN && message->FindString("bytes", &bytes) == B_OK)
                typed.push_back({bytes, (uint32)modifiers});
        }
        BWindow::MessageReceived(message);
    }
    BMessage lastMessage;
    std::vector<std::pair<std::string, uint32>> typed;

private:
    std::vector<Event>* fLog;
};

// A window 200 x 100 with "outer" at (10, 10)-(109, 89) holding "inner" at
// (20, 20)-(59, 59) of its own coordinates; "side" at (150, 0)-(199, 99).
class Routing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = new ProbeWindow(&log);
        outer = new ProbeView(BRect(10, 10, 109, 89), "outer", &log, true);
        inner = new ProbeView(BRect(20, 20, 59, 59), "inner", &log, true);
        side = new ProbeView(BRect(150, 0, 199, 99), "side", &log, true);
        outer->AddChild(inner);
        window->AddChild(outer);
        window->AddChild(side);
        window->Show();
        token = TokenOf(window);
        Settle(window);
    }
    void TearDown() override { QuitWindow(window); }

    std::vector<Event> Take()
    {
        Settle(window);
        EXPECT_TRUE(window->Lock());
        std::vector<Event> events;
        events.swap(log);
        window->Unlock();
        return events;
    }

    std::vector<Event> log;
    ProbeWindow* window;
    ProbeView* outer;
    ProbeView* inner;
    ProbeView* side;
    int32 token;
};

TEST_F(Routing, MouseGoesToTheViewUnderTheCursorInItsCoordinates)
{
    Display()->UserMouseButton(token, BPoint(35, 40), B_PRIMARY_MOUSE_BUTTON, true, 1);
    Display()->UserMouseButton(token, BPoint(15, 12), B_PRIMARY_MOUSE_BUTTON, false, 0);
    Display()->UserMouseButton(token, BPoint(160, 50), B_PRIMARY_MOUSE_BUTTON, true, 2);
    std::vector<Event> events = Take();
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ("inner", events[0].who);
    EXPECT_EQ("down", events[0].what);
    EXPECT_EQ(BPoint(5, 10), events[0].where);
    EXPECT_EQ("outer", events[1].who);
    EXPECT_EQ("up", events[1].what);
    EXPECT_EQ(BPoint(5, 2), events[1].where);
    EXPECT_EQ("side", events[2].who);
    EXPECT_EQ(BPoint(10, 50), events[2].where);

    // A scrolled view gets the point in its scrolled coordinates.
    ASSERT_TRUE(window->Lock());
    outer->ScrollTo(100, 0);
    window->Unlock();
    Display()->UserMouseButton(token, BPoint(15, 12), B_PRIMARY_MOUSE_BUTTON, true, 1);
    events = Take();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(BPoint(105, 2), events[0].where);
}

TEST_F(Routing, UnhandledMouseInputClimbsToTheParentsAndTheWindow)
{
    inner->fHandles = false;
    Display()->UserMouseButton(token, BPoint(35, 40), B_PRIMARY_MOUSE_BUTTON, true, 1);
    std::vector<Event> events = Take();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("outer", events[0].who);
    // In the parent's coordinates.
    EXPECT_EQ(BPoint(25, 30), events[0].where);

    outer->fHandles = false;
    Display()->UserMouseButton(token, BPoint(35, 40), B_PRIMARY_MOUSE_BUTTON, false, 0);
    // Outside every view: the window's top view hands it on at once.
    Display()->UserMouseButton(token, BPoint(120, 95), B_SECONDARY_MOUSE_BUTTON, true, 1);
    events = Take();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ("window", events[0].who);
    EXPECT_EQ("_MUP", events[0].what);
    EXPECT_EQ("window", events[1].who);
    EXPECT_EQ("_MDN", events[1].what);
    EXPECT_EQ(BPoint(120, 95), events[1].where);
    int32 buttons = 0;
    int32 clicks = 0;
    EXPECT_EQ(B_OK, window->lastMessage.FindInt32("buttons", &buttons));
    EXPECT_EQ(B_SECONDARY_MOUSE_BUTTON, buttons);
    EXPECT_EQ(B_OK, window->lastMessage.FindInt32("clicks", &clicks));
    EXPECT_EQ(1, clicks);
    EXPECT_TRUE(window->lastMessage.HasInt64("when"));
    EXPECT_TRUE(window->lastMessage.HasInt32("modifiers"));
}

TEST_F(Routing, MovesTellViewsWhenTheCursorEntersAndLeaves)
{
    Display()->UserMouseMoved(token, BPoint(35, 40));
    Display()->UserMouseMoved(token, BPoint(36, 41));
    Display()->UserMouseMoved(token, BPoint(160, 41));
    std::vector<Event> events = Take();
    ASSERT_EQ(4u, events.size());
    EXPECT_EQ("inner", events[0].who);
    EXPECT_EQ(std::to_string(B_ENTERED_VIEW), events[0].detail);
    EXPECT_EQ(std::to_string(B_INSIDE_VIEW), events[1].detail);
    EXPECT_EQ("inner", events[2].who);
    EXPECT_EQ(std::to_string(B_EXITED_VIEW), events[2].detail);
    EXPECT_EQ(BPoint(130, 11), events[2].where);
    EXPECT_EQ("side", events[3].who);
    EXPECT_EQ(std::to_string(B_ENTERED_VIEW), events[3].detail);
    ASSERT_TRUE(window->Lock());
    EXPECT_EQ(side, window->LastMouseMovedView());
    BPoint where;
    uint32 buttons = 1;
    side->GetMouse(&where, &buttons);
    EXPECT_EQ(BPoint(10, 41), where);
    EXPECT_EQ(0u, buttons);
    window->Unlock();
}

TEST_F(Routing, TheWheelGoesToTheViewUnderTheCursor)
{
    Display()->UserMouseMoved(token, BPoint(35, 40));
    Display()->UserWheel(token, 0, 1);
    std::vector<Event> events = Take();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ("inner", events[1].who);
    EXPECT_EQ("_MWC", events[1].what);

    inner->fHandles = false;
    outer->fHandles = false;
    Display()->UserWheel(token, 0, -2);
    events = Take();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("window", events[0].who);
    float delta = 0;
    EXPECT_EQ(B_OK, window->lastMessage.FindFloat("be:wheel_delta_y", &delta));
    EXPECT_EQ(-2.0f, delta);
}

TEST_F(Routing, KeysGoToTheFocusViewOrToTheWindow)
{
    // No focus: the window's own handler.
    Display()->UserKeyDown(token, 0x3c, NULL);
    std::vector<Event> events = Take();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("window", events[0].who);
    EXPECT_EQ("_KYD", events[0].what);
    const char* bytes = NULL;
    EXPECT_EQ(B_OK, window->lastMessage.FindString("bytes", &bytes));
    EXPECT_STREQ("a", bytes);

    ASSERT_TRUE(window->Lock());
    inner->MakeFocus();
    EXPECT_TRUE(inner->IsFocus());
    EXPECT_EQ(inner, window->CurrentFocus());
    outer->MakeFocus();
    EXPECT_FALSE(inner->IsFocus());
    EXPECT_EQ(outer, window->CurrentFocus());
    window->Unlock();

    Display()->UserKeyDown(token, 0x4b, NULL); // left shift
    Display()->UserKeyDown(token, 0x3c, NULL);
    Display()->UserKeyUp(token, 0x3c);
    Display()->UserKeyUp(token, 0x4b);
    Display()->UserKeyDown(token, 0x47, NULL); // enter
    Display()->UserKeyDown(token, 0x3c, "\xc3\xa4");
    events = Take();
    // Modifier changes and unmapped keys reach the focus view's MessageReceived,
    // typing keys its KeyDown; its KeyUp it leaves to the window.
    std::vector<std::string> seen;
    for (const Event& event : events)
        seen.push_back(event.who + ":" + event.what + ":" + event.detail);
    EXPECT_EQ((std::vector<std::string>{
                  "outer:_MCH:", "outer:_UKD:", "outer:key:A", "window:_KYU:60",
                  "outer:_UKU:", "outer:_MCH:", "outer:key:\n", "outer:key:\xc3\xa4"}),
              seen);

    // A key the focus view leaves alone climbs to the window.
    outer->fHandles = false;
    Display()->UserKeyDown(token, 0x66, NULL);
    events = Take();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ("_MCH", events[0].what);
    EXPECT_EQ("_UKD", events[1].what);
    EXPECT_EQ("102", events[1].detail);
    int32 modifiers = 0;
    EXPECT_EQ(B_OK, window->lastMessage.FindInt32("modifiers", &modifiers));
    EXPECT_EQ((int32)(B_OPTION_KEY | B_LEFT_OPTION_KEY), modifiers);
    EXPECT_FALSE(window->lastMessage.HasString("bytes"));
    const void* states = NULL;
    ssize_t size = 0;
    EXPECT_EQ(B_OK, window->lastMessage.FindData("states", B_UINT8_TYPE, &states, &size));
    ASSERT_EQ(16, size);
    EXPECT_EQ(0x02, static_cast<const uint8*>(states)[0x66 >> 3]);
    EXPECT_EQ((uint32)modifiers, ::modifiers());
    Display()->UserKeyUp(token, 0x66);

    // Removing the focus view leaves the window without focus.
    ASSERT_TRUE(window->Lock());
    EXPECT_TRUE(outer->RemoveSelf());
    EXPECT_EQ(nullptr, window->CurrentFocus());
    window->Unlock();
    delete outer;
    Take();
    Display()->UserKeyDown(token, 0x5e, NULL);
    events = Take();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("window", events[0].who);
}

TEST_F(Routing, KeysTypeWhatTheStandardKeymapSays)
{
    auto type = [&](std::vector<int32> held, int32 key) {
        for (int32 modifier : held)
            Display()->UserKeyDown(token, modifier, NULL);
        Display()->UserKeyDown(token, key, NULL);
        Display()->UserKeyUp(token, key);
        for (int32 modifier : held)
            Display()->UserKeyUp(token, modifier);
    };
    type({}, 0x12);     // 1
    type({0x56}, 0x12); // right shift + 1
    type({0x5c}, 0x3c); // left control + a
    type({0x60}, 0x3c); // right control + a
    type({}, 0x02);     // F1
    type({}, 0x57);     // up
    type({}, 0x1e);     // backspace
    type({}, 0x5e);     // space
    type({0x3b}, 0x2e); // caps lock (held) + i
    type({0x3b}, 0x2e); // caps lock off again + i
    Take();
    ASSERT_TRUE(window->Lock());
    std::vector<std::pair<std::string, uint32>> expected = {
        {"1", 0},
        {"!", B_SHIFT_KEY | B_RIGHT_SHIFT_KEY},
        {"\x01", B_CONTROL_KEY | B_LEFT_CONTROL_KEY},
        {"\x01", B_CONTROL_KEY | B_RIGHT_CONTROL_KEY},
        {std::string(1, B_FUNCTION_KEY), 0},
        {std::string(1, B_UP_ARROW), 0},
        {std::string(1, B_BACKSPACE), 0},
        {" ", 0},
        {"I", B_CAPS_LOCK},
        {"i", 0},
    };
    EXPECT_EQ(expected, window->typed);
    window->Unlock();
}

TEST_F(Routing, ADropGoesToTheViewUnderTheDropPoint)
{
    ScratchDir scratch;
    scratch.WriteFile("dropped.png", "x");
    // The drop point is in screen coordinates; the window's frame starts at 100, 100.
    Display()->UserDropped(token, {scratch / "dropped.png"}, BPoint(100 + 35, 100 + 40));
    // Nothing that exists: no drop at all.
    Display()->UserDropped(token, {scratch / "no-folder/missing"}, BPoint(135, 140));
    std::vector<Event> events = Take();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("inner", events[0].who);
    EXPECT_EQ("DATA", events[0].what);

    inner->fHandles = false;
    outer->fHandles = false;
    Display()->UserDropped(token, {scratch / "dropped.png"}, BPoint(135, 140));
    events = Take();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("window", events[0].who);
    entry_ref ref;
    ASSERT_EQ(B_OK, window->lastMessage.FindRef("refs", &ref));
    EXPECT_STREQ("dropped.png", ref.name);
    BPoint dropPoint;
    EXPECT_EQ(B_OK, window->lastMessage.FindPoint("_drop_point_", &dropPoint));
    EXPECT_EQ(BPoint(135, 140), dropPoint);
}

TEST_F(Routing, OtherMessagesGoToTheirTargetsHandler)
{
    BMessenger toSide(side);
    BMessage custom('cust');
    ASSERT_EQ(B_OK, toSide.SendMessage(&custom));
    BMessenger toWindow(window);
    ASSERT_EQ(B_OK, toWindow.SendMessage(&custom));
    std::vector<Event> events = Take();
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ("side", events[0].who);
    EXPECT_EQ("cust", events[0].what);
    EXPECT_EQ("window", events[1].who);
    EXPECT_EQ("cust", events[1].what);

    // A view's unhandled message reaches the window's handler.
    side->fHandles = false;
    ASSERT_EQ(B_OK, toSide.SendMessage(&custom));
    events = Take();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ("window", events[0].who);
}

} // namespace
