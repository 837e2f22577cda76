// Choosing the backend: BE_DISPLAY=headless asks for none; without a display
// to open the windows run headless all the same, after one line on stderr.

#include <Window.h>

#include "platform/server/display_test_support.h"

using namespace display_test;

namespace
{

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// Opens a window with the environment as it is, and reports the backend and
// what the display printed.
std::string open_window(std::string* printed)
{
    testing::internal::CaptureStderr();
    BWindow* window = new BWindow(BRect(0, 0, 99, 99), "Fallback", B_TITLED_WINDOW, 0);
    std::string backend = Display()->BackendName();
    window->Show();
    Settle(window);
    rgb_color color;
    EXPECT_TRUE(Display()->ReadPixel(TokenOf(window), 99, 99, &color));
    QuitWindow(window);
    *printed = testing::internal::GetCapturedStderr();
    return backend;
}

TEST(DisplayFallback, HeadlessWhenAskedFor)
{
    setenv("BE_DISPLAY", "headless", 1);
    std::string printed;
    EXPECT_EQ("headless", open_window(&printed));
    EXPECT_EQ("", printed);
}

TEST(DisplayFallback, HeadlessWithOneLineWhenNoDisplayOpens)
{
    unsetenv("BE_DISPLAY");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    std::string printed;
    EXPECT_EQ("headless", open_window(&printed));
    EXPECT_NE(std::string::npos, printed.find("headless")) << printed;
    EXPECT_EQ(1, std::count(printed.begin(), printed.end(), '\n')) << printed;

    // The next display opened after the last window went tries again, and says so again.
    EXPECT_EQ("headless", open_window(&printed));
    EXPECT_EQ(1, std::count(printed.begin(), printed.end(), '\n')) << printed;
}

} // namespace
