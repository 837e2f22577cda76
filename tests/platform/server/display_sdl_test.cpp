// The SDL backend on a real X server (Xvfb, with openbox as window manager):
// a window appears with its title and size, shows its views' pixels, and keys
// and moves of the user come back as the platform's messages.

#include <Autolock.h>
#include <View.h>
#include <Window.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/server/display_test_support.h"
#include "support/Process.h"
#include "support/ScratchDir.h"
#include "support/XServer.h"

using namespace display_test;

namespace
{

const char* const kXdotool = "/usr/bin/xdotool";
const char* const kImport = "/usr/bin/import";
const char* const kXprop = "/usr/bin/xprop";
const char* const kShowWindowVariable = "VEK_TEST_SHOW_WINDOW";

bool exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// An X server of its own for this test program, with a window manager.
class XServerEnvironment : public ApplicationEnvironment
{
public:
    void SetUp() override
    {
        if (const char* title = getenv(kShowWindowVariable))
            ShowWindowAndWait(title);
        if (!Usable() || !fServer.Start())
            return;
        setenv("DISPLAY", fServer.Display().c_str(), 1);
        setenv("BE_DISPLAY", "sdl", 1);
        unsetenv("WAYLAND_DISPLAY");
        ApplicationEnvironment::SetUp();
    }
    void TearDown() override
    {
        if (!fServer.Display().empty())
            ApplicationEnvironment::TearDown();
        fServer.Stop();
    }

    // Whether the tools to test on X are installed.
    static bool Usable() { return XServer::Available() && exists(kXdotool); }
    // Empty when there is no X server to test on; ServerError() then says why.
    const std::string& Display() const { return fServer.Display(); }
    const std::string& ServerError() const { return fServer.Error(); }

private:
    // A copy of this program, run by a test on the test's display, shows a
    // window until it is ended.
    void ShowWindowAndWait(const char* title)
    {
        setenv("BE_DISPLAY", "sdl", 1);
        ApplicationEnvironment::SetUp();
        BWindow* window = new BWindow(BRect(50, 50, 149, 99), title, B_TITLED_WINDOW, 0);
        window->Show();
        snooze(20000000);
        std::_Exit(0);
    }

    XServer fServer;
};

XServerEnvironment* const kEnvironment =
    static_cast<XServerEnvironment*>(::testing::AddGlobalTestEnvironment(new XServerEnvironment));

std::string xdotool(const std::vector<std::string>& arguments)
{
    std::string out;
    std::string error;
    int code = Process::Run(kXdotool, arguments, 10000, &out, &error);
    EXPECT_EQ(0, code) << "xdotool " << arguments[0] << ": " << error;
    return out;
}

class KeyWindow : public BWindow
{
public:
    KeyWindow(BRect frame, const char* title)
        : BWindow(frame, title, B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE)
    {
        SetLook(B_FLOATING_WINDOW_LOOK);
    }
    void MessageReceived(BMessage* message) override
    {
        {
            std::lock_guard<std::mutex> guard(lock);
            received.push_back(*message);
            if (message->what == B_UNMAPPED_KEY_DOWN) {
                int32 key = 0;
                message->FindInt32("key", &key);
                unmappedKeys.push_back(key);
            }
        }
        BWindow::MessageReceived(message);
    }
    // The first message received with the code, waiting for it a while.
    bool WaitForMessage(uint32 what, BMessage* found)
    {
        return WaitFor([&] {
            std::lock_guard<std::mutex> guard(lock);
            for (const BMessage& message : received) {
                if (message.what == what) {
                    *found = message;
                    return true;
                }
            }
            return false;
        });
    }
    void FrameMoved(BPoint where) override
    {
        std::lock_guard<std::mutex> guard(lock);
        moves.push_back(where);
    }

    std::mutex lock;
    std::vector<BMessage> received;
    std::vector<int32> unmappedKeys;
    std::vector<BPoint> moves;
};

class SdlDisplay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!XServerEnvironment::Usable())
            GTEST_SKIP() << "no Xvfb or xdotool to run the SDL backend on";
        ASSERT_FALSE(kEnvironment->Display().empty()) << kEnvironment->ServerError();
        static int windows = 0;
        title = "VEK display test " + std::to_string(getpid()) + "-" + std::to_string(++windows);
        window = new KeyWindow(BRect(100, 120, 410, 170), title.c_str());
        BView* main = new BView(window->Bounds(), "bview", B_FOLLOW_ALL, B_WILL_DRAW);
        main->SetViewColor(237, 242, 235, 0);
        window->AddChild(main);
        window->Show();
        Settle(window);
        ASSERT_STREQ("sdl", Display()->BackendName());
        // A search can trip over a window that is going away meanwhile.
        ASSERT_TRUE(WaitFor([&] {
            std::string found;
            Process::Run(kXdotool, {"search", "--name", title}, 10000, &found);
            windowId = found.substr(0, found.find('\n'));
            return !windowId.empty();
        }));
        ASSERT_FALSE(windowId.empty());
    }
    void TearDown() override
    {
        if (window != nullptr)
            QuitWindow(window);
    }

    std::string title;
    KeyWindow* window = nullptr;
    std::string windowId;
};

TEST_F(SdlDisplay, AWindowAppearsWithItsTitleAndSizeAndPixels)
{
    std::string geometry = xdotool({"getwindowgeometry", windowId});
    // The platform's frame is inclusive: 310 x 50 is 311 x 51 pixels.
    EXPECT_NE(std::string::npos, geometry.find("Geometry: 311x51")) << geometry;
    EXPECT_EQ(title + "\n", xdotool({"getwindowname", windowId}));

    if (!exists(kImport))
        return;
    // The content area lies where Frame() says, decorations or not.
    ASSERT_TRUE(window->Lock());
    BRect frame = window->Frame();
    window->Unlock();
    auto screen_pixel = [&](int x, int y) {
        std::string crop = "1x1+" + std::to_string(x) + "+" + std::to_string(y);
        std::string pixel;
        Process::Run(kImport, {"-window", "root", "-crop", crop, "-depth", "8", "txt:-"}, 10000,
                     &pixel);
        return pixel;
    };
    const std::string mainColor = "(237,242,235";
    std::string corner;
    EXPECT_TRUE(WaitFor(
        [&] {
            corner = screen_pixel((int)frame.left, (int)frame.top);
            return corner.find(mainColor) != std::string::npos;
        },
        3000000))
        << corner;
    EXPECT_NE(std::string::npos, screen_pixel((int)frame.right, (int)frame.bottom).find(mainColor));
    EXPECT_EQ(std::string::npos,
              screen_pixel((int)frame.right + 1, (int)frame.bottom).find(mainColor));
    EXPECT_EQ(std::string::npos, screen_pixel((int)frame.left, (int)frame.top - 1).find(mainColor));
}

TEST_F(SdlDisplay, TheProgramsResizeIsClampedAndFollowedOnScreen)
{
    ASSERT_TRUE(window->Lock());
    window->SetSizeLimits(100, 310, 50, 200);
    window->ResizeTo(310, 89);
    window->Unlock();
    EXPECT_TRUE(WaitFor([&] {
        return xdotool({"getwindowgeometry", windowId}).find("Geometry: 311x90") !=
               std::string::npos;
    }));
    ASSERT_TRUE(window->Lock());
    window->ResizeTo(310, 260);
    EXPECT_EQ(200, window->Frame().Height());
    window->Unlock();
    EXPECT_TRUE(WaitFor([&] {
        return xdotool({"getwindowgeometry", windowId}).find("Geometry: 311x201") !=
               std::string::npos;
    }));
    // The program's own resize is not mistaken for the user's.
    Settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_EQ(BRect(0, 0, 310, 200), window->Bounds());
    window->Unlock();
}

TEST_F(SdlDisplay, MinimisingByTheProgramAndByTheUserMeetInOneState)
{
    auto hidden = [&] {
        std::string state;
        Process::Run(kXprop, {"-id", windowId, "_NET_WM_STATE"}, 10000, &state);
        return state.find("_NET_WM_STATE_HIDDEN") != std::string::npos;
    };
    if (!exists(kXprop))
        GTEST_SKIP() << "no xprop";
    ASSERT_TRUE(window->Lock());
    window->Minimize(true);
    window->Unlock();
    EXPECT_TRUE(WaitFor(hidden));
    ASSERT_TRUE(window->Lock());
    window->Minimize(false);
    window->Unlock();
    EXPECT_TRUE(WaitFor([&] { return !hidden(); }));
    Settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_FALSE(window->IsMinimized());
    window->Unlock();

    // The user minimises it: the window hears of it and can bring itself back.
    xdotool({"windowminimize", "--sync", windowId});
    EXPECT_TRUE(WaitFor([&] {
        BAutolock lock(window);
        return window->IsMinimized();
    }));
    ASSERT_TRUE(window->Lock());
    window->Minimize(false);
    window->Unlock();
    EXPECT_TRUE(WaitFor([&] { return !hidden(); }));
}

TEST_F(SdlDisplay, TheLeftWindowsKeyArrivesAsAnUnmappedKey)
{
    xdotool({"windowactivate", "--sync", windowId});
    ASSERT_TRUE(WaitFor([&] { return window->IsActive(); }));
    xdotool({"key", "--clearmodifiers", "Super_L"});
    EXPECT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> guard(window->lock);
        return !window->unmappedKeys.empty();
    }));
    std::lock_guard<std::mutex> guard(window->lock);
    ASSERT_FALSE(window->unmappedKeys.empty());
    EXPECT_EQ(102, window->unmappedKeys[0]);
}

TEST_F(SdlDisplay, TypingClicksAndTheWheelArriveWithTheirFields)
{
    xdotool({"windowactivate", "--sync", windowId});
    ASSERT_TRUE(WaitFor([&] { return window->IsActive(); }));
    // No view has focus: keys reach the window's own handler.
    xdotool({"key", "--clearmodifiers", "q"});
    BMessage key;
    ASSERT_TRUE(window->WaitForMessage(B_KEY_DOWN, &key));
    int32 code = 0;
    const char* bytes = nullptr;
    int32 raw = 0;
    EXPECT_EQ(B_OK, key.FindInt32("key", &code));
    EXPECT_EQ(0x27, code);
    EXPECT_EQ(B_OK, key.FindString("bytes", &bytes));
    EXPECT_STREQ("q", bytes);
    EXPECT_EQ(B_OK, key.FindInt32("raw_char", &raw));
    EXPECT_EQ('q', raw);

    // Over the view: it passes them on to the window.
    xdotool({"mousemove", "--window", windowId, "30", "20", "click", "1"});
    BMessage down;
    ASSERT_TRUE(window->WaitForMessage(B_MOUSE_DOWN, &down));
    BPoint where;
    int32 buttons = 0;
    EXPECT_EQ(B_OK, down.FindPoint("where", &where));
    EXPECT_EQ(BPoint(30, 20), where);
    EXPECT_EQ(B_OK, down.FindInt32("buttons", &buttons));
    EXPECT_EQ(B_PRIMARY_MOUSE_BUTTON, buttons);
    EXPECT_TRUE(down.HasInt32("clicks"));
    BMessage up;
    EXPECT_TRUE(window->WaitForMessage(B_MOUSE_UP, &up));

    // Button 5 is a notch of the wheel towards the user: +1 on the platform.
    xdotool({"click", "5"});
    BMessage wheel;
    ASSERT_TRUE(window->WaitForMessage(B_MOUSE_WHEEL_CHANGED, &wheel));
    float delta = 0;
    EXPECT_EQ(B_OK, wheel.FindFloat("be:wheel_delta_y", &delta));
    EXPECT_EQ(1.0f, delta);
}

TEST_F(SdlDisplay, AnIdleWindowUsesNoProcessorTime)
{
    // Let the window settle first.
    snooze(300000);
    struct rusage before;
    struct rusage after;
    getrusage(RUSAGE_SELF, &before);
    snooze(1000000);
    getrusage(RUSAGE_SELF, &after);
    auto micros = [](const struct rusage& usage) {
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL +
               usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    };
    EXPECT_LT(micros(after) - micros(before), 50000);
}

TEST_F(SdlDisplay, TheWindowIconIsTheExecutablesLargeIcon)
{
    if (!exists(kXprop))
        GTEST_SKIP() << "no xprop";
    // This program has no resources: its window has no icon of that size.
    std::string properties;
    Process::Run(kXprop, {"-id", windowId, "_NET_WM_ICON"}, 10000, &properties);
    EXPECT_EQ(std::string::npos, properties.find("Icon (32 x 32)"));

    // A copy with the program's resources attached shows their 32 x 32 icon.
    ScratchDir scratch;
    std::string copy = scratch / "iconic";
    std::string self = "/proc/" + std::to_string(getpid()) + "/exe";
    ASSERT_EQ(0, Process::Run("/bin/cp", {self, copy}, 10000));
    std::string error;
    ASSERT_EQ(0, Process::Run(std::string(VEK_BUILD_DIR) + "/rc",
                              {std::string(VEK_SOURCE_DIR) + "/resources/VEK.rdef", copy}, 10000,
                              nullptr, &error))
        << error;
    std::string iconTitle = title + " with icon";
    Process child;
    child.SetEnv(kShowWindowVariable, iconTitle);
    ASSERT_TRUE(child.Start(copy, {}));
    std::string iconWindow;
    ASSERT_TRUE(WaitFor([&] {
        std::string found;
        Process::Run(kXdotool, {"search", "--name", iconTitle}, 10000, &found);
        iconWindow = found.substr(0, found.find('\n'));
        return !iconWindow.empty();
    })) << child.Stderr();
    EXPECT_TRUE(WaitFor([&] {
        Process::Run(kXprop, {"-id", iconWindow, "_NET_WM_ICON"}, 10000, &properties);
        return properties.find("Icon (32 x 32)") != std::string::npos;
    }));
}

TEST_F(SdlDisplay, AnXErrorDoesNotEndTheProgram)
{
    // While SDL runs, its own handler takes X errors. Once the last window has gone and SDL
    // has quit, the handler it puts back takes them: Xlib's own would end this program here.
    XServer::SendToDestroyedWindow(kEnvironment->Display());
    QuitWindow(window);
    window = nullptr;
    XServer::SendToDestroyedWindow(kEnvironment->Display());
    EXPECT_FALSE(kEnvironment->Display().empty());
}

TEST_F(SdlDisplay, TheClipboardHoldsWhatWasCopied)
{
    Display()->SetClipboardText("tag A1B2", 8);
    EXPECT_EQ("tag A1B2", Display()->ClipboardText());
}

TEST_F(SdlDisplay, AMoveByTheWindowManagerReachesFrameMoved)
{
    snooze(1000000);
    xdotool({"windowmove", windowId, "300", "200"});
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> guard(window->lock);
        return !window->moves.empty();
    }));
    ASSERT_TRUE(window->Lock());
    BRect frame = window->Frame();
    window->Unlock();
    // Where exactly the content lands depends on the window manager's frame.
    EXPECT_NE(100, frame.left);
    EXPECT_NE(120, frame.top);
    EXPECT_EQ(310, frame.Width());
    EXPECT_EQ(50, frame.Height());
}

} // namespace
