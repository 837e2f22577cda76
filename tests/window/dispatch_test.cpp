#include "WindowHarness.h"

#include <Alert.h>
#include <AppDefs.h>
#include <Application.h>
#include <File.h>
#include <InterfaceDefs.h>
#include <TextView.h>

#include <thread>

class DispatchTest : public WindowTest
{
protected:
    static BMessage UnmappedKey(int32 modifiers, int32 key)
    {
        BMessage message(B_UNMAPPED_KEY_DOWN);
        message.AddInt32("modifiers", modifiers);
        message.AddInt32("key", key);
        return message;
    }

    static std::string PrintOut(const BMessage& message)
    {
        CaptureStdout capture;
        message.PrintToStream();
        return capture.Stop();
    }
};

TEST_F(DispatchTest, DroppedDataIsPrintedAndNothingElse)
{
    Open();
    BMessage drop(B_SIMPLE_DATA);
    drop.AddString("note", "dropped");
    drop.AddPoint("_drop_point_", BPoint(10, 20));
    EXPECT_EQ(PrintOut(drop), Send(&drop));
}

TEST_F(DispatchTest, InputCodesAreSwallowed)
{
    Open();
    for (uint32 code : {(uint32)_DISPOSE_DRAG_, (uint32)'_KDN', (uint32)B_KEY_DOWN,
                        (uint32)B_KEY_UP, (uint32)B_MODIFIERS_CHANGED, (uint32)B_MOUSE_DOWN,
                        (uint32)B_MOUSE_MOVED, (uint32)B_MOUSE_UP, (uint32)B_MOUSE_WHEEL_CHANGED,
                        (uint32)_PING_, (uint32)B_UNMAPPED_KEY_UP}) {
        BMessage message(code);
        message.AddInt32("key", 102);
        EXPECT_EQ("", Send(&message)) << std::hex << code;
    }
}

TEST_F(DispatchTest, UnknownCodesArePrintedAndPassedOn)
{
    Open();
    BMessage custom('cust');
    custom.AddInt32("value", 57);
    EXPECT_EQ("VEKWindow::MessageReceived\n" + PrintOut(custom), Send(&custom));
}

TEST_F(DispatchTest, KeyHandlerDiagnostics)
{
    Open();
    BMessage controlAndWindows = UnmappedKey(B_CONTROL_KEY, 102);
    EXPECT_EQ(".. B_LEFT_OPTION_KEY || B_CONTROL_KEY\n key 102 oder 103 \n",
              Send(&controlAndWindows));

    BMessage menu = UnmappedKey(B_SHIFT_KEY, 104);
    EXPECT_EQ("use Left-Win-Key KState: 1 KKey 104 \n", Send(&menu));

    BMessage leftOption = UnmappedKey(B_LEFT_OPTION_KEY | B_OPTION_KEY, 103);
    EXPECT_EQ(".. B_LEFT_OPTION_KEY || B_CONTROL_KEY\n key 102 oder 103 \n", Send(&leftOption));

    BMessage bare(B_UNMAPPED_KEY_DOWN);
    EXPECT_EQ("use Left-Win-Key KState: 0 KKey 0 \n", Send(&bare));
}

TEST_F(DispatchTest, InfoAndAboutDoNothingVisible)
{
    Open();
    EXPECT_EQ("", Trace([&] { fWindow->ManageInfoWin(NULL); }));
    BMessage any('info');
    EXPECT_EQ("ManageInfoWin::default\n", Trace([&] { fWindow->ManageInfoWin(&any); }));
    EXPECT_EQ("", Trace([&] { fWindow->AboutRequested(); }));
}

TEST_F(DispatchTest, ReloadPutsBackTheStoredFrame)
{
    std::string settings = WindowTestEnvironment::ConfigHome() + "/_LP_x-vnd.NW/PXL_settings";
    Open();
    Show();
    BRect stored(150, 160, 465, 389);
    {
        BFile file(settings.c_str(), B_READ_WRITE);
        ASSERT_EQ(16, file.WriteAttr("prefs_window_rect", B_RECT_TYPE, 0, &stored, 16));
    }

    ASSERT_TRUE(fWindow->Lock());
    fWindow->MoveTo(300, 310);
    fWindow->Unlock();
    // The move reaches FrameMoved through the window's queue.
    snooze(200000);

    BMessage reload('rPrf');
    EXPECT_EQ("", Send(&reload));
    ASSERT_TRUE(fWindow->Lock());
    EXPECT_EQ(BPoint(300, 310), fWindow->Frame().LeftTop()) << "the reload moved the window";
    fWindow->Unlock();
    Close();

    BFile file(settings.c_str(), B_READ_ONLY);
    BRect saved;
    ASSERT_EQ(16, file.ReadAttr("prefs_window_rect", B_RECT_TYPE, 0, &saved, 16));
    EXPECT_EQ(stored, saved) << "the reload replaced the moved frame";
}

TEST_F(DispatchTest, WindowDestructorSavesTheMovedFrame)
{
    std::string settings = WindowTestEnvironment::ConfigHome() + "/_LP_x-vnd.NW/PXL_settings";
    Open();
    Show();
    ASSERT_TRUE(fWindow->Lock());
    fWindow->MoveTo(222, 233);
    fWindow->Unlock();
    snooze(200000);
    Close();

    BFile file(settings.c_str(), B_READ_ONLY);
    BRect saved;
    ASSERT_EQ(16, file.ReadAttr("prefs_window_rect", B_RECT_TYPE, 0, &saved, 16));
    EXPECT_EQ(BRect(222, 233, 532, 283), saved);

    std::string trace = Open();
    EXPECT_EQ(BPoint(222, 233), fWindow->Frame().LeftTop());
    EXPECT_EQ(BRect(0, 0, 310, 50), fWindow->Bounds()) << "only the origin is used";
}

// DoError's alert on the display: its text, read while it waits, and Enter
// dismisses it.
class ErrorAlertTest : public ShownWindowTest
{
protected:
    std::string ShownText(const std::string& message)
    {
        std::string shown;
        std::thread user([&] {
            for (int i = 0; i < 400 && shown.empty(); i++) {
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
                for (int32 at = 0; BWindow* window = be_app->WindowAt(at); at++) {
                    BAlert* alert = dynamic_cast<BAlert*>(window);
                    if (alert == nullptr || !alert->Lock())
                        continue;
                    shown = alert->TextView()->Text();
                    int32 token = fServer->TokenOf(alert);
                    alert->Unlock();
                    fServer->UserKeyDown(token, kEnterKey, nullptr);
                    fServer->UserKeyUp(token, kEnterKey);
                    break;
                }
            }
        });
        DoError(message.c_str());
        user.join();
        return shown;
    }

    static constexpr int32 kEnterKey = 0x47;
};

TEST_F(ErrorAlertTest, LongMessagesAreCutAtACharacterBoundary)
{
    OpenShown();
    EXPECT_EQ("VEK_BeOS \nthe list can't be read", ShownText("the list can't be read"));

    // 2037 bytes fit after the prefix: a two-byte character that would end
    // at byte 2038 is left out whole.
    std::string text(2036, 'a');
    for (int i = 0; i < 100; i++)
        text += "\xc3\xbc";
    std::string shown = ShownText(text);
    EXPECT_EQ("VEK_BeOS \n" + std::string(2036, 'a'), shown);

    text = std::string(2035, 'a') + "\xc3\xbc" + "tail";
    EXPECT_EQ("VEK_BeOS \n" + std::string(2035, 'a') + "\xc3\xbc", ShownText(text));
}
