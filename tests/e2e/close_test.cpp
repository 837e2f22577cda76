// Closing the real program's window by its close box (openbox's Close on a
// real X display), also in the middle of a burst of tag events.

#include "XProgramHarness.h"

#include <memory>
#include <thread>

class CloseTest : public XProgramTest
{
protected:
    void SetUp() override { StartDisplay({"Xvfb", "xdotool", "openbox"}); }

    // The window manager's Close, as the close box gives it.
    static void PressCloseBox(const std::string& id)
    {
        Run("xdotool windowactivate --sync " + id + " key alt+F4");
    }

    static void ExpectCleanEnd(Process& program)
    {
        EXPECT_TRUE(program.Exited());
        EXPECT_EQ(0, program.ExitCode())
            << "signal " << program.TermSignal() << ": " << program.Stderr();
        std::string out = program.Stdout();
        EXPECT_EQ(out.size() - 11, out.rfind("\n-VEK end-\n"))
            << out.substr(out.size() > 300 ? out.size() - 300 : 0);
    }
};

TEST_F(CloseTest, ClosingTheWindowEndsEitherBuildAndStoresTheFrame)
{
    for (const char* name : {"VEK_BeOS", "VEK_Zeta"}) {
        SCOPED_TRACE(name);
        UseProgram(name);
        fs::remove_all(fConfig);
        Process program;
        Start(program);
        std::string id = FindWindow();
        ASSERT_FALSE(id.empty()) << program.Stderr();
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        Run("xdotool windowmove " + id + " 240 180");
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        PressCloseBox(id);
        ASSERT_TRUE(program.Wait(10000)) << program.Stdout();
        ExpectCleanEnd(program);
        BRect stored = StoredFrame();
        EXPECT_NE(BRect(100, 100, 410, 150), stored) << "the move was stored";
        EXPECT_EQ(310, stored.Width());
        EXPECT_EQ(50, stored.Height());
    }
}

TEST_F(CloseTest, CloseBoxDuringABurstEndsWithinSeconds)
{
    Process program;
    Start(program);
    std::string id = FindWindow();
    ASSERT_FALSE(id.empty()) << program.Stderr();
    // Enough senders to keep the application's queue full.
    std::vector<std::unique_ptr<Process>> senders;
    for (int i = 0; i < 4; i++) {
        senders.push_back(std::make_unique<Process>());
        ASSERT_TRUE(senders.back()->Start(std::string(VEK_BUILD_DIR) + "/send-message",
                                          {"--count", "2500", "application/VEK_BeOS", "RFID",
                                           "_time:int32=1", "_tagstr=B" + std::to_string(i)}));
    }
    for (int i = 0; i < 200 && CountOf(program.Stdout(), "xinfos: ") < 500; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PressCloseBox(id);
    ASSERT_TRUE(program.Wait(10000)) << "the program hangs";
    ExpectCleanEnd(program);
    for (auto& sender : senders) {
        ASSERT_TRUE(sender->Wait(30000));
        EXPECT_LE(sender->ExitCode(), 1);
    }
}
