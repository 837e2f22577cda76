// Alerts on the headless display: Go() answers with the button that a click or
// a key pressed, and the alert goes away.

#include <Alert.h>
#include <TextView.h>
#include <Window.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/server/display_test_support.h"

using namespace display_test;

namespace
{

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

constexpr int32 kEnterKey = 0x47;
constexpr int32 kKeyN = 0x51;

bool shown(int32 token)
{
    BPrivate::WindowModel model;
    return Display()->GetModel(token, &model) && model.shown;
}

// Runs `act` on another thread once the alert is on screen, while this thread
// waits in Go().
int32 go_while(BAlert* alert, const std::function<void(int32 token)>& act)
{
    int32 token = TokenOf(alert);
    std::thread actor([token, act]() {
        if (WaitFor([token]() { return shown(token); }))
            act(token);
    });
    int32 result = alert->Go();
    actor.join();
    // Go() deleted the alert and its window.
    EXPECT_TRUE(WaitFor([token]() { return !shown(token); }));
    return result;
}

void press_key(int32 token, int32 key)
{
    Display()->UserKeyDown(token, key, nullptr);
    Display()->UserKeyUp(token, key);
}

TEST(Alert, ClickOnAButtonAnswersItsIndex)
{
    for (int32 wanted = 0; wanted < 3; wanted++) {
        auto* alert = new BAlert("Title", "Which one?", "First", "Second", "Third");
        ASSERT_EQ(alert->CountButtons(), 3);
        EXPECT_EQ(alert->Look(), B_MODAL_WINDOW_LOOK);
        BRect button = alert->ButtonFrame(wanted);
        ASSERT_TRUE(button.IsValid());
        // Left to right in index order; the default last.
        if (wanted > 0) {
            EXPECT_GT(button.left, alert->ButtonFrame(wanted - 1).right);
        }
        EXPECT_LE(button.right, alert->Bounds().right);
        BPoint where((button.left + button.right) / 2, (button.top + button.bottom) / 2);
        int32 result = go_while(alert, [where](int32 token) {
            Display()->UserMouseMoved(token, where);
            Display()->UserMouseButton(token, where, B_PRIMARY_MOUSE_BUTTON, true, 1);
            Display()->UserMouseButton(token, where, B_PRIMARY_MOUSE_BUTTON, false, 1);
        });
        EXPECT_EQ(result, wanted);
    }
}

TEST(Alert, EnterPressesTheDefaultAndShortcutsTheirButtons)
{
    auto* alert = new BAlert("Title", "Save?", "Cancel", "Save");
    EXPECT_EQ(go_while(alert, [](int32 token) { press_key(token, kEnterKey); }), 1);

    alert = new BAlert("Title", "Save?", "No", "Yes");
    alert->SetShortcut(0, 'n');
    EXPECT_EQ(alert->Shortcut(0), 'n');
    alert->SetShortcut(7, 'x'); // no such button: ignored
    EXPECT_EQ(alert->Shortcut(7), 0);
    EXPECT_EQ(go_while(alert, [](int32 token) { press_key(token, kKeyN); }), 0);

    // One button with Enter as its shortcut, as an error alert has.
    alert = new BAlert("Autsch", "VEK_BeOS \nsomething failed", " Autch ", NULL, NULL,
                       B_WIDTH_AS_USUAL, B_INFO_ALERT);
    alert->SetShortcut(0, B_ENTER);
    EXPECT_EQ(go_while(alert, [](int32 token) { press_key(token, kEnterKey); }), 0);
}

TEST(Alert, ClosedAnotherWayAnswersMinusOne)
{
    // As when the application quits its windows.
    auto* alert = new BAlert("Title", "Going away", "OK");
    BMessenger messenger(alert);
    EXPECT_EQ(
        go_while(alert, [&messenger](int32 token) { messenger.SendMessage(B_QUIT_REQUESTED); }),
        -1);
}

TEST(Alert, TextWrapsAndAVeryLongTextStaysOnScreen)
{
    auto* shortAlert = new BAlert("Title", "Short.", "OK");
    float shortHeight = shortAlert->Bounds().Height();
    EXPECT_EQ(shortAlert->TextView()->CountLines(), 1);
    EXPECT_FALSE(shortAlert->TextView()->IsEditable());
    EXPECT_EQ(go_while(shortAlert, [](int32 token) { press_key(token, kEnterKey); }), 0);

    std::string sentence;
    for (int i = 0; i < 12; i++)
        sentence += "The reader sent a tag that nobody knows. ";
    auto* wrapped = new BAlert("Title", sentence.c_str(), "OK");
    BTextView* text = wrapped->TextView();
    ASSERT_GT(text->CountLines(), 3);
    for (int32 line = 0; line < text->CountLines(); line++)
        EXPECT_LE(text->LineWidth(line), text->TextRect().Width() + 1) << line;
    EXPECT_GT(wrapped->Bounds().Height(), shortHeight);
    EXPECT_EQ(go_while(wrapped, [](int32 token) { press_key(token, kEnterKey); }), 0);

    std::string huge;
    while (huge.size() < 100 * 1024)
        huge += "line of a very long message \xc3\xa9\xff\n";
    auto* tall =
        new BAlert("Title", huge.c_str(), "OK", "Again", NULL, B_WIDTH_FROM_WIDEST, B_STOP_ALERT);
    EXPECT_LE(tall->Bounds().Height(), 600.0f);
    EXPECT_EQ(tall->ButtonFrame(0).Width(), tall->ButtonFrame(1).Width());
    EXPECT_EQ(go_while(tall, [](int32 token) { press_key(token, kEnterKey); }), 1);

    // No labels at all still gives a button to answer with.
    auto* bare = new BAlert(NULL, NULL, NULL, NULL, NULL, B_WIDTH_FROM_LABEL, B_EMPTY_ALERT);
    EXPECT_EQ(bare->CountButtons(), 1);
    EXPECT_EQ(go_while(bare, [](int32 token) { press_key(token, kEnterKey); }), 0);
}

// A window that opens an alert from its own thread, as a message handler would.
class AskingWindow : public BWindow
{
public:
    AskingWindow() : BWindow(BRect(10, 10, 110, 60), "asking", B_TITLED_WINDOW, 0) {}

    void MessageReceived(BMessage* message) override
    {
        if (message->what != 'ask ') {
            BWindow::MessageReceived(message);
            return;
        }
        auto* alert = new BAlert("Title", "From a window", "OK", "Fine");
        alertToken = TokenOf(alert);
        answer = alert->Go();
    }

    std::atomic<int32> alertToken{-1};
    std::atomic<int32> answer{-2};
};

TEST(Alert, GoFromAWindowThreadDoesNotBlockThatWindowForever)
{
    auto* window = new AskingWindow;
    window->Show();
    Settle(window);
    window->PostMessage('ask ');
    ASSERT_TRUE(WaitFor([window]() {
        int32 token = window->alertToken;
        return token >= 0 && shown(token);
    }));
    press_key(window->alertToken, kEnterKey);
    ASSERT_TRUE(WaitFor([window]() { return window->answer == 1; }));
    // The window handles messages again.
    Settle(window);
    QuitWindow(window);
}

} // namespace
