// Windows, their views and the display used from several threads at once:
// user input arriving while the program changes and redraws its windows, and
// windows that quit while others still post to them.

#include <View.h>
#include <Window.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/server/display_test_support.h"

using namespace display_test;

namespace
{

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

class CountingView : public BView
{
public:
    CountingView(BRect frame) : BView(frame, "counting", B_FOLLOW_ALL, B_WILL_DRAW | B_PULSE_NEEDED)
    {
    }
    void Pulse() override { pulses++; }
    void MouseDown(BPoint where) override { downs++; }
    void KeyDown(const char* bytes, int32 numBytes) override { keys++; }
    void Draw(BRect updateRect) override
    {
        draws++;
        SetHighColor(0, 0, 200);
        FillRect(BRect(0, 0, 4, 4));
    }
    std::atomic<int> downs{0};
    std::atomic<int> keys{0};
    std::atomic<int> draws{0};
    std::atomic<int> pulses{0};
};

class CountingWindow : public BWindow
{
public:
    CountingWindow(BRect frame, std::atomic<int>* deleted)
        : BWindow(frame, "Threads", B_TITLED_WINDOW, 0), fDeleted(deleted)
    {
        view = new CountingView(Bounds());
        view->SetViewColor(10, 200, 10);
        AddChild(view);
        view->MakeFocus();
        SetPulseRate(5000);
    }
    ~CountingWindow() override { (*fDeleted)++; }
    void FrameResized(float width, float height) override { resizes++; }

    CountingView* view;
    std::atomic<int> resizes{0};

private:
    std::atomic<int>* fDeleted;
};

TEST(WindowThreads, InputAndTheProgramsChangesMeetSafely)
{
    std::atomic<int> deleted{0};
    std::vector<CountingWindow*> windows;
    for (int i = 0; i < 3; i++) {
        windows.push_back(new CountingWindow(BRect(10 + i * 50, 10, 109 + i * 50, 109), &deleted));
        windows.back()->Show();
    }
    std::vector<int32> tokens;
    for (CountingWindow* window : windows)
        tokens.push_back(TokenOf(window));

    const int kRounds = 200;
    std::thread user([&] {
        for (int i = 0; i < kRounds; i++) {
            int32 token = tokens[i % tokens.size()];
            Display()->UserMouseButton(token, BPoint(20, 20), B_PRIMARY_MOUSE_BUTTON, true, 1);
            Display()->UserMouseButton(token, BPoint(20, 20), B_PRIMARY_MOUSE_BUTTON, false, 0);
            Display()->UserKeyDown(token, 0x27, NULL);
            Display()->UserKeyUp(token, 0x27);
            Display()->UserMoved(token, BPoint(i, i));
        }
    });
    std::thread program([&] {
        for (int i = 0; i < kRounds; i++) {
            CountingWindow* window = windows[i % windows.size()];
            ASSERT_TRUE(window->Lock());
            window->ResizeTo(99 + i % 7, 99);
            window->view->Invalidate();
            window->SetTitle(i % 2 ? "odd" : "even");
            window->Unlock();
        }
    });
    std::thread reader([&] {
        for (int i = 0; i < kRounds; i++) {
            rgb_color color;
            Display()->ReadPixel(tokens[i % tokens.size()], 2, 2, &color);
            BPrivate::WindowModel model;
            Display()->GetModel(tokens[i % tokens.size()], &model);
        }
    });
    user.join();
    program.join();
    reader.join();

    for (CountingWindow* window : windows) {
        Settle(window);
        EXPECT_GE(window->view->downs.load(), kRounds / 3);
        EXPECT_GE(window->view->keys.load(), kRounds / 3);
        EXPECT_GE(window->view->draws.load(), 1);
        EXPECT_EQ(make_color(0, 0, 200), PixelOf(window, 2, 2));
        EXPECT_EQ(make_color(10, 200, 10), PixelOf(window, 50, 50));
    }
    for (CountingWindow* window : windows)
        QuitWindow(window);
    EXPECT_EQ(3, deleted.load());
}

TEST(WindowThreads, WindowsQuitWhileOthersPostToThem)
{
    std::atomic<int> deleted{0};
    std::vector<CountingWindow*> windows;
    std::vector<BMessenger> messengers;
    std::vector<int32> tokens;
    for (int i = 0; i < 4; i++) {
        windows.push_back(new CountingWindow(BRect(0, 0, 49, 49), &deleted));
        windows.back()->Show();
        messengers.push_back(BMessenger(windows.back()));
        tokens.push_back(TokenOf(windows.back()));
    }
    std::atomic<bool> stop{false};
    std::vector<std::thread> posters;
    for (int p = 0; p < 2; p++) {
        posters.emplace_back([&, p] {
            for (int i = 0; !stop; i++) {
                size_t which = (size_t)(i + p) % messengers.size();
                BMessage message('post');
                messengers[which].SendMessage(&message, (BHandler*)NULL, 10000);
                Display()->UserKeyDown(tokens[which], 0x3c, NULL);
                Display()->UserClosed(tokens[which]);
                if (i > 5000)
                    break;
            }
        });
    }
    // The posted close requests quit the windows, one after another.
    EXPECT_TRUE(WaitFor([&] { return deleted.load() == 4; }));
    stop = true;
    for (std::thread& poster : posters)
        poster.join();
    // A window's own destructor runs before its looper leaves the living-looper list.
    EXPECT_TRUE(WaitFor([&] {
        for (const BMessenger& messenger : messengers)
            if (messenger.IsValid())
                return false;
        return true;
    }));
}

} // namespace
