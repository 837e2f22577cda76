// The program as a desktop session runs it: started by a session script at the
// same moment as the window manager, and ended by the end of the session, when
// the X server goes away under it.

#include "XProgramHarness.h"

#include <signal.h>
#include <stddef.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

namespace
{

using Clock = std::chrono::steady_clock;

void ExpectCleanEnd(Process& program)
{
    EXPECT_TRUE(program.Exited()) << "signal " << program.TermSignal();
    EXPECT_EQ(0, program.ExitCode()) << program.Stderr();
    std::string out = program.Stdout();
    EXPECT_TRUE(out.size() >= 11 && out.compare(out.size() - 11, 11, "\n-VEK end-\n") == 0)
        << out.substr(out.size() > 300 ? out.size() - 300 : 0);
}

// The process of the X server of `display` (":N"): the peer of its socket.
pid_t ServerProcess(const std::string& display)
{
    std::string name = "/tmp/.X11-unix/X" + display.substr(1);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    // Xvfb listens in the abstract namespace: the name follows a zero byte.
    memcpy(address.sun_path + 1, name.data(), name.size());
    int connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ucred peer = {};
    socklen_t length = sizeof peer;
    bool found = connect(connection, (sockaddr*)&address,
                         offsetof(sockaddr_un, sun_path) + 1 + name.size()) == 0 &&
                 getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0;
    close(connection);
    return found ? peer.pid : -1;
}

} // namespace

class SessionTest : public XProgramTest
{
protected:
    void SetUp() override { StartDisplay({"Xvfb", "xdotool", "xwininfo", "openbox"}); }
};

// No window manager comes with this display: each start brings its own, as a
// kiosk's session script does (openbox & VEK_BeOS).
class BareDisplayTest : public XProgramTest
{
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "xdotool", "openbox"})
            if (!Have(tool))
                GTEST_SKIP() << tool << " is missing";
        ProgramTest::SetUp();
        ASSERT_TRUE(fXvfb.Start("/usr/bin/Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24",
                                                  "-nolisten", "tcp"}));
        ASSERT_TRUE(fXvfb.WaitForStdout("\n", 20000)) << fXvfb.Stderr();
        std::string number = fXvfb.Stdout();
        setenv("DISPLAY", (":" + number.substr(0, number.find('\n'))).c_str(), 1);
        setenv("BE_DISPLAY", "sdl", 1);
    }

    static bool Viewable()
    {
        return !Run("xdotool search --onlyvisible --name '^Pictoslate$'").empty();
    }

    void TearDown() override
    {
        if (fXvfb.Pid() > 0 && fXvfb.IsRunning()) {
            fXvfb.Signal(SIGTERM);
            fXvfb.Wait(5000);
        }
        unsetenv("DISPLAY");
    }

    Process fXvfb;
};

TEST_F(BareDisplayTest, StartedWithTheWindowManagerTheWindowShowsAndTheProgramEnds)
{
    for (int start = 1; start <= 20; start++) {
        SCOPED_TRACE("start " + std::to_string(start));
        Process windowManager;
        Process program;
        ASSERT_TRUE(windowManager.Start("/usr/bin/openbox"));
        ASSERT_TRUE(program.Start(fProgram));
        Clock::time_point started = Clock::now();
        bool viewable = false;
        while (!viewable && Clock::now() - started < std::chrono::seconds(5)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            viewable = Viewable();
        }
        EXPECT_TRUE(viewable) << program.Stderr();

        ASSERT_TRUE(program.WaitForStdout("-- StartUp --\n", 5000));
        EXPECT_EQ(0, Send({"_QRQ"}));
        bool ended = program.Wait(5000);
        EXPECT_TRUE(ended) << "the program hangs";
        if (ended)
            ExpectCleanEnd(program);
        BRect stored = StoredFrame();
        EXPECT_EQ(310, stored.Width()) << "the frame was stored";
        EXPECT_EQ(50, stored.Height());

        windowManager.Signal(SIGTERM);
        windowManager.Wait(5000);
        if (!ended)
            break;
    }
}

TEST_F(SessionTest, LosingTheDisplayClosesTheWindowAndStoresItsFrame)
{
    Process program;
    Start(program);
    std::string id = FindWindow();
    ASSERT_FALSE(id.empty()) << program.Stderr();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    Run("xdotool windowmove " + id + " 240 180");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    int x = -1;
    int y = -1;
    std::istringstream info(Run("xwininfo -id " + id));
    for (std::string line; std::getline(info, line);) {
        if (line.find("Absolute upper-left X:") != std::string::npos)
            x = std::stoi(line.substr(line.find(':') + 1));
        if (line.find("Absolute upper-left Y:") != std::string::npos)
            y = std::stoi(line.substr(line.find(':') + 1));
    }
    ASSERT_NE(100, x) << "the window did not move";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    // The X server alone goes, as when it is restarted.
    pid_t server = ServerProcess(fServer.Display());
    ASSERT_GT(server, 0);
    ASSERT_EQ(0, kill(server, SIGTERM));
    ASSERT_TRUE(program.Wait(10000)) << "the program outlives its display";
    ExpectCleanEnd(program);
    BRect stored = StoredFrame();
    EXPECT_EQ(x, stored.left) << program.Stderr();
    EXPECT_EQ(y, stored.top);
    EXPECT_EQ(310, stored.Width());
    EXPECT_EQ(50, stored.Height());
}

TEST_F(SessionTest, AProgramWhoseDisplayStopsAnsweringStillEnds)
{
    Process program;
    Start(program);
    ASSERT_FALSE(FindWindow().empty()) << program.Stderr();
    pid_t server = ServerProcess(fServer.Display());
    ASSERT_GT(server, 0);
    ASSERT_EQ(0, kill(server, SIGSTOP));
    EXPECT_EQ(0, Send({"_QRQ"}));
    bool ended = program.Wait(10000);
    kill(server, SIGCONT);
    ASSERT_TRUE(ended) << "the program waits for its display for ever";
    ExpectCleanEnd(program);
    EXPECT_EQ(310, StoredFrame().Width());
    EXPECT_NE(std::string::npos, program.Stderr().find("display does not answer"))
        << program.Stderr();
}
