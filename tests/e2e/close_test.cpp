// Closing the real program's window by its close box (openbox's Close on a
// real X display), also in the middle of a burst of tag events.

#include "ProgramHarness.h"
#include "support/XServer.h"

#include <memory>
#include <thread>

class CloseTest : public ProgramTest
{
protected:
    void SetUp() override
    {
        if (!Have("Xvfb") || !Have("xdotool") || !Have("openbox"))
            GTEST_SKIP() << "Xvfb, xdotool or openbox missing";
        ProgramTest::SetUp();
        ASSERT_TRUE(fServer.Start()) << fServer.Error();
        setenv("DISPLAY", fServer.Display().c_str(), 1);
        setenv("BE_DISPLAY", "sdl", 1);
    }

    void TearDown() override
    {
        fServer.Stop();
        unsetenv("DISPLAY");
    }

    static bool Have(const char* program)
    {
        return Process::Run("/bin/sh", {"-c", std::string("command -v ") + program}, 5000) == 0;
    }

    static std::string Run(const std::string& command)
    {
        std::string out;
        Process::Run("/bin/sh", {"-c", command}, 10000, &out);
        return out;
    }

    static std::string FindWindow()
    {
        for (int i = 0; i < 100; i++) {
            std::string id = Run("xdotool search --onlyvisible --name '^Pictoslate$' | head -n 1");
            if (!id.empty())
                return id.substr(0, id.find('\n'));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return "";
    }

    // The window manager's Close, as the close box gives it.
    static void PressCloseBox(const std::string& id)
    {
        Run("xdotool windowactivate --sync " + id + " key alt+F4");
    }

    static void ExpectCleanEnd(Process& program)
    {
        EXPECT_TRUE(program.Exited());
        EXPECT_EQ(0, program.ExitCode()) << program.Stderr();
        std::string out = program.Stdout();
        EXPECT_EQ(out.size() - 11, out.rfind("\n-VEK end-\n")) << out.substr(out.size() > 300 ? out.size() - 300 : 0);
    }

    XServer fServer;
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
