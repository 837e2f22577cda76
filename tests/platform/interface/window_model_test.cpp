// The window's own model: frame and bounds, size limits, the hooks that follow
// changes by message, show/hide counting and minimising, closing.

#include <Window.h>

#include <atomic>
#include <thread>
#include <vector>

#include "server/DisplayServer.h"
#include "platform/server/display_test_support.h"

using namespace display_test;

namespace
{

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

class RecordingWindow : public BWindow
{
public:
    RecordingWindow(BRect frame, std::atomic<int>* deleted = nullptr)
        : BWindow(frame, "Recording", B_TITLED_WINDOW, B_NOT_ZOOMABLE), fDeleted(deleted)
    {
    }
    ~RecordingWindow() override
    {
        if (fDeleted != nullptr)
            (*fDeleted)++;
    }

    void FrameMoved(BPoint where) override { moves.push_back(where); }
    void FrameResized(float width, float height) override
    {
        resizes.push_back(BPoint(width, height));
    }
    void Minimize(bool minimize) override
    {
        minimizeHooks.push_back(minimize);
        BWindow::Minimize(minimize);
    }
    bool QuitRequested() override
    {
        quitRequests++;
        return agreeToQuit;
    }

    std::vector<BPoint> moves;
    std::vector<BPoint> resizes;
    std::vector<bool> minimizeHooks;
    std::atomic<int> quitRequests{0};
    std::atomic<bool> agreeToQuit{true};

private:
    std::atomic<int>* fDeleted;
};

TEST(WindowModel, FrameIsTheContentAreaAndBoundsStartAtTheOrigin)
{
    BWindow* window =
        new BWindow(BRect(30, 50, 340, 100), "Pictoslate", B_TITLED_WINDOW, B_NOT_RESIZABLE);
    EXPECT_EQ(BRect(30, 50, 340, 100), window->Frame());
    EXPECT_EQ(BRect(0, 0, 310, 50), window->Bounds());
    EXPECT_STREQ("Pictoslate", window->Title());
    EXPECT_EQ(B_TITLED_WINDOW, window->Type());
    EXPECT_EQ(B_TITLED_WINDOW_LOOK, window->Look());
    EXPECT_EQ(B_NORMAL_WINDOW_FEEL, window->Feel());

    // The display has the same model, and a pixel buffer one larger each way
    // than the platform's width and height.
    BPrivate::WindowModel model = ModelOf(window);
    EXPECT_EQ(BRect(30, 50, 340, 100), model.frame);
    EXPECT_FALSE(model.shown);
    rgb_color color;
    EXPECT_TRUE(Display()->ReadPixel(TokenOf(window), 310, 50, &color));
    EXPECT_FALSE(Display()->ReadPixel(TokenOf(window), 311, 50, &color));
    EXPECT_FALSE(Display()->ReadPixel(TokenOf(window), 310, 51, &color));

    window->SetFlags(B_NOT_ZOOMABLE | B_NOT_RESIZABLE);
    EXPECT_EQ(0x42u, window->Flags());
    EXPECT_EQ(B_OK, window->SetLook(B_FLOATING_WINDOW_LOOK));
    EXPECT_EQ(B_FLOATING_WINDOW_LOOK, window->Look());
    EXPECT_EQ(B_NORMAL_WINDOW_FEEL, window->Feel());
    EXPECT_EQ(B_BAD_VALUE, window->SetLook((window_look)12345));
    EXPECT_EQ(BPrivate::WindowDecor::kUtility, ModelOf(window).decor);
    EXPECT_TRUE(ModelOf(window).closable);
    EXPECT_TRUE(ModelOf(window).fixedWidth);
    EXPECT_TRUE(ModelOf(window).fixedHeight);
    window->SetTitle(NULL);
    EXPECT_STREQ("", window->Title());
    window->Quit();
}

TEST(WindowModel, ResizesAreClampedAndHooksComeByMessageOnlyOnChange)
{
    RecordingWindow* window = new RecordingWindow(BRect(30, 50, 340, 100));
    window->SetSizeLimits(100, 310, 50, 200);
    window->Show();
    ASSERT_TRUE(window->Lock());

    window->ResizeTo(310, 260);
    // The frame is there before the call returns; the hook is not.
    EXPECT_EQ(BRect(30, 50, 340, 250), window->Frame());
    EXPECT_TRUE(window->resizes.empty());
    window->ResizeTo(50, 10);
    EXPECT_EQ(BRect(30, 50, 130, 100), window->Frame());
    window->ResizeTo(310, 89);
    window->Unlock();
    Settle(window);

    ASSERT_TRUE(window->Lock());
    // Each hook saw the frame as it was when the hook ran, once per change.
    ASSERT_FALSE(window->resizes.empty());
    EXPECT_EQ(BPoint(310, 89), window->resizes.back());
    for (const BPoint& size : window->resizes) {
        EXPECT_GE(size.x, 100);
        EXPECT_LE(size.y, 200);
    }
    size_t resizes = window->resizes.size();
    window->ResizeTo(310, 89);
    window->ResizeBy(0, 0);
    window->MoveTo(30, 50);
    window->Unlock();
    Settle(window);

    ASSERT_TRUE(window->Lock());
    EXPECT_EQ(resizes, window->resizes.size());
    EXPECT_TRUE(window->moves.empty());
    window->MoveTo(100, 120);
    window->MoveBy(5, 5);
    EXPECT_EQ(BRect(105, 125, 415, 214), window->Frame());
    window->Unlock();
    Settle(window);

    ASSERT_TRUE(window->Lock());
    ASSERT_FALSE(window->moves.empty());
    EXPECT_EQ(BPoint(105, 125), window->moves.back());
    EXPECT_EQ(BRect(105, 125, 415, 214), ModelOf(window).frame);
    float minWidth, maxWidth, minHeight, maxHeight;
    window->GetSizeLimits(&minWidth, &maxWidth, &minHeight, &maxHeight);
    EXPECT_EQ(100, minWidth);
    EXPECT_EQ(310, maxWidth);
    EXPECT_EQ(50, minHeight);
    EXPECT_EQ(200, maxHeight);
    // Narrower limits shrink the window at once.
    window->SetSizeLimits(100, 200, 50, 60);
    EXPECT_EQ(BRect(105, 125, 305, 185), window->Frame());
    window->Quit();
}

TEST(WindowModel, ShowAndHideCount)
{
    BWindow* window = new BWindow(BRect(10, 10, 109, 109), "Count", B_TITLED_WINDOW, 0);
    EXPECT_TRUE(window->IsHidden());
    window->Hide();
    window->Show();
    // Hidden once at the start plus once more: one Show() is not enough.
    EXPECT_TRUE(window->IsHidden());
    EXPECT_FALSE(ModelOf(window).shown);
    window->Show();
    ASSERT_TRUE(window->Lock());
    EXPECT_FALSE(window->IsHidden());
    EXPECT_TRUE(ModelOf(window).shown);
    window->Hide();
    window->Hide();
    window->Show();
    EXPECT_TRUE(window->IsHidden());
    EXPECT_FALSE(ModelOf(window).shown);
    window->Show();
    EXPECT_FALSE(window->IsHidden());
    EXPECT_TRUE(ModelOf(window).shown);
    window->Quit();
}

TEST(WindowModel, MinimizeIsUndoneOnceHidingWinsAndShowDoesNotRestore)
{
    RecordingWindow* window = new RecordingWindow(BRect(10, 10, 109, 109));
    window->Show();
    ASSERT_TRUE(window->Lock());
    window->Minimize(true);
    window->Minimize(true);
    window->Minimize(true);
    EXPECT_TRUE(window->IsMinimized());
    EXPECT_TRUE(ModelOf(window).minimized);
    window->Minimize(false);
    EXPECT_FALSE(window->IsMinimized());
    EXPECT_FALSE(ModelOf(window).minimized);

    window->Minimize(true);
    window->Hide();
    EXPECT_FALSE(ModelOf(window).shown);
    EXPECT_TRUE(window->IsHidden());
    window->Show();
    EXPECT_TRUE(ModelOf(window).shown);
    EXPECT_TRUE(window->IsMinimized());
    EXPECT_TRUE(ModelOf(window).minimized);
    window->minimizeHooks.clear();
    window->Unlock();

    // The user restores it: the hook hears of it by message.
    Display()->UserMinimized(TokenOf(window), false);
    Settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_FALSE(window->IsMinimized());
    EXPECT_EQ(std::vector<bool>{false}, window->minimizeHooks);
    window->Unlock();
    Display()->UserMinimized(TokenOf(window), true);
    Settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_TRUE(window->IsMinimized());
    window->Quit();
}

class ActivationWindow : public BWindow
{
public:
    ActivationWindow(BRect frame) : BWindow(frame, "Activation", B_TITLED_WINDOW, 0) {}
    void WindowActivated(bool active) override { activations.push_back(active); }
    std::vector<bool> activations;
};

TEST(WindowModel, AShownWindowIsActivatedAndDeactivatedByTheNext)
{
    ActivationWindow* first = new ActivationWindow(BRect(0, 0, 99, 99));
    ActivationWindow* second = new ActivationWindow(BRect(200, 0, 299, 99));
    first->Show();
    Settle(first);
    ASSERT_TRUE(first->Lock());
    EXPECT_TRUE(first->IsActive());
    EXPECT_EQ(std::vector<bool>{true}, first->activations);
    first->Unlock();

    second->Show();
    Settle(second);
    Settle(first);
    ASSERT_TRUE(first->Lock());
    EXPECT_FALSE(first->IsActive());
    EXPECT_EQ((std::vector<bool>{true, false}), first->activations);
    first->Activate();
    first->Unlock();
    Settle(first);
    Settle(second);
    ASSERT_TRUE(second->Lock());
    EXPECT_FALSE(second->IsActive());
    EXPECT_EQ((std::vector<bool>{true, false}), second->activations);
    // A minimised window gives up activation; a click on a window takes it.
    second->Unlock();
    ASSERT_TRUE(first->Lock());
    first->Minimize(true);
    first->Unlock();
    Settle(first);
    EXPECT_FALSE(ModelOf(first).active);
    Display()->UserMouseButton(TokenOf(second), BPoint(5, 5), B_PRIMARY_MOUSE_BUTTON, true, 1);
    Settle(second);
    ASSERT_TRUE(second->Lock());
    EXPECT_TRUE(second->IsActive());
    second->Quit();
    QuitWindow(first);
}

TEST(WindowModel, UserMovesAndResizesReachTheHooks)
{
    RecordingWindow* window = new RecordingWindow(BRect(10, 10, 209, 109));
    window->SetSizeLimits(50, 300, 50, 300);
    window->Show();
    Settle(window);
    int32 token = TokenOf(window);

    Display()->UserMoved(token, BPoint(300, 200));
    Display()->UserResized(token, 149, 99);
    // Past the limits: the display keeps the window within them.
    Display()->UserResized(token, 1000, 10);
    Settle(window);

    ASSERT_TRUE(window->Lock());
    EXPECT_EQ(BRect(300, 200, 600, 250), window->Frame());
    ASSERT_EQ(1u, window->moves.size());
    EXPECT_EQ(BPoint(300, 200), window->moves[0]);
    ASSERT_EQ(2u, window->resizes.size());
    EXPECT_EQ(BPoint(149, 99), window->resizes[0]);
    EXPECT_EQ(BPoint(300, 50), window->resizes[1]);
    EXPECT_EQ(BRect(300, 200, 600, 250), ModelOf(window).frame);
    window->Quit();
}

TEST(WindowModel, ClosingAsksTheWindowAndQuitsItOnItsThread)
{
    std::atomic<int> deleted{0};
    RecordingWindow* window = new RecordingWindow(BRect(10, 10, 109, 109), &deleted);
    window->agreeToQuit = false;
    window->Show();
    Settle(window);
    int32 token = TokenOf(window);
    int32 windows = be_app->CountWindows();
    EXPECT_EQ(window, be_app->WindowAt(windows - 1));

    Display()->UserClosed(token);
    Settle(window);
    EXPECT_EQ(1, window->quitRequests.load());
    EXPECT_EQ(0, deleted.load());

    window->agreeToQuit = true;
    Display()->UserClosed(token);
    ASSERT_TRUE(WaitFor([&] { return deleted.load() == 1; }));
    // Gone from the display and from the application.
    BPrivate::WindowModel model;
    EXPECT_FALSE(Display()->GetModel(token, &model));
    EXPECT_EQ(windows - 1, be_app->CountWindows());
    EXPECT_EQ(nullptr, be_app->WindowAt(windows - 1));
}

TEST(WindowModel, AWindowQuitWhilePostedToLosesTheMessagesSafely)
{
    std::atomic<int> deleted{0};
    RecordingWindow* window = new RecordingWindow(BRect(10, 10, 109, 109), &deleted);
    window->Show();
    BMessenger messenger(window);
    int32 token = TokenOf(window);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread poster([&] {
        for (int i = 0; i < 2000 && !stop; i++) {
            BMessage message('post');
            if (messenger.SendMessage(&message, (BHandler*)NULL, 100000) != B_OK)
                failures++;
            Display()->UserMouseMoved(token, BPoint(i % 100, i % 100));
        }
    });
    snooze(5000);
    QuitWindow(window);
    EXPECT_EQ(1, deleted.load());
    stop = true;
    poster.join();
    EXPECT_FALSE(messenger.IsValid());
    BMessage late('late');
    EXPECT_NE(B_OK, messenger.SendMessage(&late));
}

} // namespace
