// What a user does to the window on the headless display, and what it shows.

#include "WindowHarness.h"

#include <File.h>

class InputTest : public ShownWindowTest
{
};

TEST_F(InputTest, WindowsKeysReachTheKeyHandler)
{
    OpenShown();
    // The Windows keys are the platform's option keys: the left one sets
    // B_LEFT_OPTION_KEY, which the handler reports too.
    EXPECT_EQ(".. B_LEFT_OPTION_KEY || B_CONTROL_KEY\n key 102 oder 103 \n", UserTrace([&] {
                  fServer->UserKeyDown(fToken, 0x66, NULL);
                  fServer->UserKeyUp(fToken, 0x66);
              }));
    std::string trace = UserTrace([&] {
        fServer->UserKeyDown(fToken, 0x67, NULL);
        fServer->UserKeyUp(fToken, 0x67);
    });
    EXPECT_EQ(" key 102 oder 103 \n", trace);
    trace = UserTrace([&] { fServer->UserKeyDown(fToken, 0x68, NULL); });
    EXPECT_EQ(0u, trace.find("use Left-Win-Key KState: ")) << trace;
    EXPECT_NE(std::string::npos, trace.find(" KKey 104 \n")) << trace;
}

TEST_F(InputTest, TypingAndMouseInputAreSwallowed)
{
    OpenShown();
    std::string trace = UserTrace([&] {
        fServer->UserKeyDown(fToken, 0x3c, "a");
        fServer->UserKeyUp(fToken, 0x3c);
        fServer->UserMouseMoved(fToken, BPoint(50, 20));
        fServer->UserMouseButton(fToken, BPoint(50, 20), 1, true, 1);
        fServer->UserMouseButton(fToken, BPoint(50, 20), 1, false, 1);
        fServer->UserWheel(fToken, 0, 1);
    });
    EXPECT_EQ("", trace);
    EXPECT_EQ("", LogText()) << "the log can't be edited";
}

TEST_F(InputTest, DroppedFilesArePrinted)
{
    OpenShown();
    Picture("dropped", 4, 4);
    BRect frame = fWindow->Frame();
    std::string trace = UserTrace([&] {
        fServer->UserDropped(fToken, {Avatar("dropped")}, BPoint(frame.left + 30, frame.top + 20));
    });
    EXPECT_EQ(0u, trace.find("BMessage: what = DATA (0x44415441, or 1145132097)\n")) << trace;
    EXPECT_NE(std::string::npos, trace.find("name=\"dropped\", path=\"" + Avatar("dropped") + "\""))
        << trace;
    EXPECT_EQ(std::string::npos, trace.find("VEKWindow::MessageReceived"));
}

TEST_F(InputTest, ScreenShowsTheViewsAndTheLogo)
{
    Picture("givecard2", 100, 80, {20, 90, 200, 255});
    OpenShown();
    Settle();
    rgb_color picture = Pixel(4, 4);
    EXPECT_EQ(make_color(20, 90, 200, 255), make_color(picture.red, picture.green, picture.blue));
    rgb_color corner = Pixel(103, 83);
    EXPECT_EQ(make_color(20, 90, 200, 255), make_color(corner.red, corner.green, corner.blue));
    rgb_color main = Pixel(3, 3);
    EXPECT_EQ(make_color(237, 242, 235, 255), make_color(main.red, main.green, main.blue));
    rgb_color log = Pixel(200, 30);
    EXPECT_EQ(make_color(250, 250, 245, 255), make_color(log.red, log.green, log.blue));

    // A picture that fails takes the old one off the screen.
    Picture("broken", 50, 50);
    std::string bytes = ReadFile(Avatar("broken"));
    ASSERT_TRUE(TestPictures::WriteText(Avatar("broken"), bytes.substr(0, bytes.size() / 2)));
    ASSERT_TRUE(fWindow->Lock());
    Trace([&] { fWindow->ManageLogo((char*)"broken"); });
    fWindow->Unlock();
    Settle();
    rgb_color gone = Pixel(10, 10);
    EXPECT_EQ(make_color(237, 242, 235, 255), make_color(gone.red, gone.green, gone.blue));
}

TEST_F(InputTest, UserCloseEndsTheWindowAndStoresItsFrame)
{
    OpenShown();
    fServer->UserMoved(fToken, BPoint(321, 123));
    Settle();
    CaptureStdout capture;
    fServer->UserClosed(fToken);
    for (int i = 0; i < 100 && fServer->TokenOf(fWindow) > 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    capture.Stop();
    fWindow = nullptr;
    BFile file((WindowTestEnvironment::ConfigHome() + "/_LP_x-vnd.NW/PXL_settings").c_str(),
               B_READ_ONLY);
    BRect saved;
    file.ReadAttr("prefs_window_rect", B_RECT_TYPE, 0, &saved, 16);
    EXPECT_EQ(BRect(321, 123, 631, 173), saved);
}
