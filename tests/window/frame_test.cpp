#include "WindowHarness.h"

#include <File.h>

#include <math.h>

// Stored and user-made frames that would put the window where nobody sees it.
class FrameTest : public ShownWindowTest
{
protected:
    static std::string SettingsFile()
    {
        return WindowTestEnvironment::ConfigHome() + "/_LP_x-vnd.NW/PXL_settings";
    }

    static void StoreFrame(BRect frame)
    {
        fs::create_directories(WindowTestEnvironment::ConfigHome() + "/_LP_x-vnd.NW");
        BFile file(SettingsFile().c_str(), B_READ_WRITE | B_CREATE_FILE);
        ASSERT_EQ(16, file.WriteAttr("prefs_window_rect", B_RECT_TYPE, 0, &frame, 16));
    }

    static BRect StoredFrame()
    {
        BFile file(SettingsFile().c_str(), B_READ_ONLY);
        BRect frame(-1, -1, -1, -1);
        file.ReadAttr("prefs_window_rect", B_RECT_TYPE, 0, &frame, 16);
        return frame;
    }
};

TEST_F(FrameTest, UnusableStoredFramesOpenAtTheDefaultOrigin)
{
    struct Case {
        BRect stored;
        const char* line;
    };
    const Case cases[] = {
        {BRect(NAN, NAN, NAN, NAN), "Prefs: prefs_window_rect is no frame, the default is taken\n"},
        {BRect(1e30f, 1e30f, 1e30f, 1e30f), "Window frame off screen, the default is taken\n"},
        {BRect(-5000, 40, -4690, 90), "Window frame off screen, the default is taken\n"},
        {BRect(40, 90000, 350, 90050), "Window frame off screen, the default is taken\n"},
        // Inverted, also where the window is built, so that it never moves.
        {BRect(500, 500, 100, 100), "Prefs: prefs_window_rect is no frame, the default is taken\n"},
        {BRect(30, 50, 20, 40), "Prefs: prefs_window_rect is no frame, the default is taken\n"},
    };
    for (const Case& c : cases) {
        StoreFrame(c.stored);
        std::string trace = Open();
        EXPECT_NE(std::string::npos, trace.find(c.line)) << trace;
        EXPECT_EQ(BPoint(100, 100), fWindow->Frame().LeftTop());
        Close();
        BRect saved = StoredFrame();
        EXPECT_EQ(BPoint(100, 100), saved.LeftTop()) << "not saved again";
        EXPECT_TRUE(saved.IsValid());
    }
}

TEST_F(FrameTest, ReloadedFramesAreJudgedAsAtStart)
{
    struct Case {
        BRect stored;
        const char* line;
        BRect saved;
    };
    const Case cases[] = {
        {BRect(-5000, 40, -4690, 90), "Window frame off screen, the default is taken\n",
         BRect(100, 100, 415, 329)},
        {BRect(1e30f, 1e30f, 1e30f, 1e30f), "Window frame off screen, the default is taken\n",
         BRect(100, 100, 415, 329)},
        {BRect(500, 500, 100, 100), "Prefs: prefs_window_rect is no frame, the default is taken\n",
         BRect(100, 100, 415, 329)},
        // A frame on screen is taken as it is stored; the window stays where it is.
        {BRect(200, 210, 510, 260), "", BRect(200, 210, 510, 260)},
    };
    BMessage reload('rPrf');
    for (const Case& c : cases) {
        StoreFrame(BRect(40, 60, 350, 110));
        OpenShown();
        Settle();
        StoreFrame(c.stored);
        EXPECT_EQ(c.line, Send(&reload));
        Settle();
        EXPECT_EQ(BPoint(40, 60), fWindow->Frame().LeftTop());
        Close();
        EXPECT_EQ(c.saved, StoredFrame()) << "not saved again";
    }
}

TEST_F(FrameTest, FramesPartlyOnScreenStay)
{
    StoreFrame(BRect(-200, -20, 110, 30));
    std::string trace = Open();
    EXPECT_EQ(std::string::npos, trace.find("the default is taken")) << trace;
    EXPECT_EQ(BPoint(-200, -20), fWindow->Frame().LeftTop());
}

TEST_F(FrameTest, MovesNowhereAreNotStored)
{
    StoreFrame(BRect(40, 60, 350, 110));
    OpenShown();
    fServer->UserMoved(fToken, BPoint(NAN, 70));
    Settle();
    EXPECT_EQ(BPoint(40, 60), fWindow->Frame().LeftTop());
    fServer->UserMoved(fToken, BPoint(1e30f, 1e30f));
    Settle();
    // The program itself refuses to go nowhere.
    ASSERT_TRUE(fWindow->Lock());
    fWindow->MoveTo(NAN, 5);
    fWindow->ResizeTo(INFINITY, 60);
    EXPECT_TRUE(isfinite(fWindow->Frame().left) && isfinite(fWindow->Frame().right));
    fWindow->Unlock();
    Close();
    EXPECT_EQ(BRect(100, 100, 415, 329), StoredFrame());
}
