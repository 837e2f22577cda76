#ifndef VEK_TESTS_PLATFORM_SERVER_DISPLAY_TEST_SUPPORT_H
#define VEK_TESTS_PLATFORM_SERVER_DISPLAY_TEST_SUPPORT_H

// Shared by the window, view and display tests: one application per test
// program, and ways to wait for a window to have handled what was sent to it.

#include <Application.h>
#include <Message.h>
#include <Messenger.h>
#include <OS.h>
#include <Window.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include <stdlib.h>
#include <unistd.h>

#include "server/DisplayServer.h"
#include "support/ScratchDir.h"

namespace display_test
{

constexpr uint32 kPing = 'tPng';

// The application that windows register with, in a runtime folder of its own.
class ApplicationEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        fRuntime = std::make_unique<ScratchDir>();
        setenv("XDG_RUNTIME_DIR", fRuntime->Path().c_str(), 1);
        std::string signature = "application/x-vnd.test-display-" + std::to_string(getpid());
        fApplication = std::make_unique<BApplication>(signature.c_str());
    }
    void TearDown() override
    {
        fApplication.reset();
        fRuntime.reset();
    }

private:
    std::unique_ptr<ScratchDir> fRuntime;
    std::unique_ptr<BApplication> fApplication;
};

// Returns once the window has handled everything sent to it before, and has
// drawn and shown what that invalidated.
inline void Settle(BWindow* window)
{
    BMessenger messenger(window);
    BMessage ping(kPing);
    BMessage reply;
    ASSERT_EQ(B_OK, messenger.SendMessage(&ping, &reply, 5000000, 5000000));
    window->Sync();
}

// Polls, so that a hang fails instead of stalling the run.
inline bool WaitFor(const std::function<bool()>& condition, bigtime_t timeout = 5000000)
{
    bigtime_t end = system_time() + timeout;
    while (!condition()) {
        if (system_time() > end)
            return false;
        snooze(2000);
    }
    return true;
}

inline std::shared_ptr<BPrivate::DisplayServer> Display()
{
    return BPrivate::DisplayServer::Acquire();
}

inline int32 TokenOf(BWindow* window)
{
    return Display()->TokenOf(window);
}

inline BPrivate::WindowModel ModelOf(BWindow* window)
{
    BPrivate::WindowModel model;
    Display()->GetModel(TokenOf(window), &model);
    return model;
}

inline rgb_color PixelOf(BWindow* window, int32 x, int32 y)
{
    rgb_color color = {1, 2, 3, 4};
    EXPECT_TRUE(Display()->ReadPixel(TokenOf(window), x, y, &color)) << x << "," << y;
    return color;
}

// Quits a shown window from the test's thread and waits until it is gone.
inline void QuitWindow(BWindow* window)
{
    if (window->Lock())
        window->Quit();
}

} // namespace display_test

inline std::ostream& operator<<(std::ostream& out, const rgb_color& color)
{
    return out << "rgb(" << (int)color.red << ", " << (int)color.green << ", " << (int)color.blue
               << ", " << (int)color.alpha << ")";
}

inline std::ostream& operator<<(std::ostream& out, const BRect& rect)
{
    return out << "BRect(" << rect.left << ", " << rect.top << ", " << rect.right << ", "
               << rect.bottom << ")";
}

inline std::ostream& operator<<(std::ostream& out, const BPoint& point)
{
    return out << "BPoint(" << point.x << ", " << point.y << ")";
}

#endif
