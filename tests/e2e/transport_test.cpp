// How the real program takes messages from many senders at once, from bad
// senders, and how it meets signals and a closed standard output.

#include "ProgramHarness.h"

#include "app/AppSocket.h"
#include "app/MessageFrame.h"

#include <Message.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

using Clock = std::chrono::steady_clock;

std::string SendMessageTool()
{
    return std::string(VEK_BUILD_DIR) + "/send-message";
}

int ConnectTo(const std::string& path)
{
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (connect(fd, (sockaddr*)&address, sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class TransportTest : public ProgramTest
{
protected:
    std::string SocketFolder() const { return fRoot / "run/be-applications"; }

    // Waits until the program has handled `count` tag events.
    static bool WaitForEvents(Process& program, size_t count, int timeoutMs)
    {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (CountOf(program.Stdout(), "xinfos: ") < count) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }
};

TEST_F(TransportTest, ExitCodesOfConcurrentSendersAddUpToWhatArrived)
{
    Process program;
    Start(program);
    constexpr int kSenders = 150;
    constexpr int kEach = 50;
    std::vector<std::unique_ptr<Process>> senders;
    for (int i = 0; i < kSenders; i++) {
        senders.push_back(std::make_unique<Process>());
        ASSERT_TRUE(senders.back()->Start(
            SendMessageTool(), {"--count", std::to_string(kEach), "application/VEK_BeOS", "RFID",
                                "_time:int32=1", "_tagstr=S" + std::to_string(i)}));
    }
    long claimed = 0;
    int failed = 0;
    for (auto& sender : senders) {
        ASSERT_TRUE(sender->Wait(240000));
        if (sender->ExitCode() == 0) {
            claimed += kEach;
            continue;
        }
        ASSERT_EQ(1, sender->ExitCode()) << sender->Stderr();
        failed++;
        long missing = 0;
        ASSERT_EQ(1, sscanf(sender->Stderr().c_str(), "send-message: %ld of", &missing))
            << sender->Stderr();
        claimed += kEach - missing;
    }
    // What the receipts counted is in the queue: all of it gets handled.
    EXPECT_TRUE(WaitForEvents(program, (size_t)claimed, 120000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ((size_t)claimed, CountOf(program.Stdout(), "xinfos: "));
    EXPECT_EQ(0, failed) << "nothing stops these senders";
    Quit(program);
}

TEST_F(TransportTest, IdleAndSlowConnectionsShutNobodyOutAndTimeOut)
{
    constexpr int kIdle = 2000;
    struct rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    rlim_t wanted = kIdle + 512;
    if (limit.rlim_cur < wanted) {
        if (limit.rlim_max < wanted)
            GTEST_SKIP() << "the descriptor limit " << limit.rlim_max << " is below " << wanted;
        limit.rlim_cur = wanted;
        ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &limit));
    }
    Process program;
    Start(program);
    std::string signature =
        BPrivate::AppSocket::SignaturePath(SocketFolder(), "application/VEK_BeOS");

    std::vector<int> idle;
    for (int i = 0; i < kIdle; i++) {
        int fd = ConnectTo(signature);
        ASSERT_GE(fd, 0) << "connection " << i;
        idle.push_back(fd);
    }
    // A sender of one byte a second.
    BMessage slow('RFID');
    slow.AddString("_tagstr", "SLOW");
    std::vector<char> frame;
    ASSERT_EQ(B_OK, BPrivate::MessageFrame::Encode(slow, {}, &frame));
    int slowSocket = ConnectTo(signature);
    ASSERT_GE(slowSocket, 0);
    std::atomic<bool> slowClosed{false};
    std::thread slowSender([&] {
        for (char byte : frame) {
            if (send(slowSocket, &byte, 1, MSG_NOSIGNAL) != 1) {
                slowClosed = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    });

    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    auto start = Clock::now();
    EXPECT_EQ(0, Send({"RFID", "_time:int32=3", "_tagstr=REAL"}));
    EXPECT_TRUE(program.WaitForStdout("xinfos: 2\n", 5000));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));

    // The slow one is dropped a few seconds after its first byte, the idle ones
    // some seconds later; each descriptor is free at once.
    slowSender.join();
    EXPECT_TRUE(slowClosed);
    EXPECT_TRUE(program.WaitForStderr("a message took longer than", 1000)) << program.Stderr();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    int closed = 0;
    for (int fd : idle) {
        char byte;
        if (recv(fd, &byte, 1, MSG_DONTWAIT) == 0)
            closed++;
        close(fd);
    }
    close(slowSocket);
    EXPECT_EQ(kIdle, closed);
    std::string fds = "/proc/" + std::to_string(program.Pid()) + "/fd";
    size_t open = 0;
    for (auto& entry : fs::directory_iterator(fds)) {
        (void)entry;
        open++;
    }
    EXPECT_LT(open, 64u);
    EXPECT_EQ(0, Send({"RFID", "_time:int32=3", "_tagstr=AGAIN"}));
    Quit(program);
}

TEST_F(TransportTest, AReplyAddressThatNeverReadsDoesNotStopTheProgram)
{
    // Our own team socket, which takes connections but never reads them.
    std::string folder = SocketFolder();
    Process program;
    Start(program);
    std::string teamPath = BPrivate::AppSocket::TeamPath(folder, (team_id)getpid());
    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, teamPath.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(0, bind(listener, (sockaddr*)&address, sizeof(address)));
    ASSERT_EQ(0, listen(listener, 4));

    // Asks for a reply, which goes to that socket.
    BMessage ask('cust');
    BPrivate::MessageFrame::Header header;
    header.targetPort = 1;
    header.targetToken = -2;
    header.flags =
        BPrivate::MessageFrame::kPreferredTarget | BPrivate::MessageFrame::kReplyRequired;
    header.replyPort = 5;
    header.replyTeam = (int32)getpid();
    std::vector<char> frame;
    ASSERT_EQ(B_OK, BPrivate::MessageFrame::Encode(ask, header, &frame));
    int sender = ConnectTo(BPrivate::AppSocket::SignaturePath(folder, "application/VEK_BeOS"));
    for (int i = 0; i < 20; i++)
        ASSERT_EQ((ssize_t)frame.size(), send(sender, frame.data(), frame.size(), MSG_NOSIGNAL));
    ASSERT_TRUE(program.WaitForStdout("VEKApp BMessage: what = cust", 5000));

    auto start = Clock::now();
    ASSERT_TRUE(program.Signal(SIGTERM));
    ASSERT_TRUE(program.Wait(5000));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(0, program.ExitCode());
    std::string out = program.Stdout();
    EXPECT_EQ(out.size() - 11, out.rfind("\n-VEK end-\n"));
    close(sender);
    close(listener);
    unlink(teamPath.c_str());
}

TEST_F(TransportTest, HangupIsAQuitRequest)
{
    Process program;
    Start(program);
    ASSERT_TRUE(program.Signal(SIGHUP));
    ASSERT_TRUE(program.Wait(10000));
    EXPECT_TRUE(program.Exited());
    EXPECT_EQ(0, program.ExitCode());
    std::string out = program.Stdout();
    EXPECT_EQ(out.size() - 11, out.rfind("\n-VEK end-\n"));
    EXPECT_EQ(BRect(100, 100, 410, 150), StoredFrame());
}

TEST_F(TransportTest, AClosedStandardOutputDoesNotEndTheProgram)
{
    // As `VEK_BeOS | head -n 3`: the reader goes after three lines.
    int out[2];
    ASSERT_EQ(0, pipe(out));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execl(fProgram.c_str(), fProgram.c_str(), (char*)NULL);
        _exit(127);
    }
    close(out[1]);
    int lines = 0;
    char c;
    while (lines < 3 && read(out[0], &c, 1) == 1)
        lines += c == '\n';
    close(out[0]);
    ASSERT_EQ(3, lines);

    // It goes on taking events, and ends cleanly when asked.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(0, Send({"--count", "20", "RFID", "_time:int32=1", "_tagstr=PIPE"}));
    EXPECT_EQ(0, Send({"_QRQ"}));
    int status = 0;
    for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!WIFEXITED(status) && !WIFSIGNALED(status)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "the program did not end";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_EQ(BRect(100, 100, 410, 150), StoredFrame());
}

TEST_F(TransportTest, SocketsLeftByAKilledProgramGoAtTheNextStart)
{
    std::string folder = SocketFolder();
    Process killed;
    Start(killed);
    std::string stale = BPrivate::AppSocket::TeamPath(folder, (team_id)killed.Pid());
    ASSERT_TRUE(fs::exists(stale));
    ASSERT_TRUE(killed.Signal(SIGKILL));
    ASSERT_TRUE(killed.Wait(10000));
    ASSERT_TRUE(fs::exists(stale)) << "kill -9 leaves it";

    Process next;
    Start(next);
    EXPECT_FALSE(fs::exists(stale));
    size_t teams = 0;
    for (auto& entry : fs::directory_iterator(folder))
        teams += entry.path().filename().string().rfind("team-", 0) == 0;
    EXPECT_EQ(1u, teams);
    Quit(next);
}
