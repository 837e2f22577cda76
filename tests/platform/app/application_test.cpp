// Applications as real processes: registration by signature, delivery from
// other processes, single launch, bad senders and signals.

#include <Application.h>
#include <Message.h>
#include <Messenger.h>
#include <Roster.h>

#include "app/AppSocket.h"
#include "app/MessageFrame.h"
#include "support/Process.h"
#include "support/RawAttributes.h"

#include <gtest/gtest.h>

#include "support/ScratchDir.h"

#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

const std::string kEchoApp = std::string(VEK_BUILD_DIR) + "/tests/programs/echo_app";
const std::string kSendMessage = std::string(VEK_BUILD_DIR) + "/send-message";
const char* kSignature = "application/x-vnd.test-echo-app";
constexpr int kWait = 20000;

// A stop signal takes effect a moment after it is sent.
bool WaitUntilStopped(pid_t pid)
{
    std::string statPath = "/proc/" + std::to_string(pid) + "/stat";
    for (int i = 0; i < 500; i++) {
        std::ifstream stat(statPath);
        std::string line;
        std::getline(stat, line);
        size_t end = line.rfind(')');
        if (end != std::string::npos && line.compare(end + 1, 3, " T ") == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        count++;
    return count;
}

// Every test gets a runtime folder of its own, which its children inherit.
class ApplicationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        alarm(240);
        setenv("XDG_RUNTIME_DIR", fRuntime.Path().c_str(), 1);
        setenv("HOME", (fRuntime / "home").c_str(), 1);
        mkdir((fRuntime / "home").c_str(), 0755);
    }

    void TearDown() override { alarm(0); }

    // Starts the echo application and waits until its loop runs.
    void StartEcho(Process* process, const std::string& program = kEchoApp)
    {
        ASSERT_TRUE(process->Start(program));
        ASSERT_TRUE(process->WaitForStdout("ready pid=", kWait)) << process->Stderr();
    }

    // A copy of the echo application, to give launch flags of its own.
    std::string CopyEcho(const std::string& name)
    {
        std::string copy = fRuntime / name;
        std::ifstream source(kEchoApp, std::ios::binary);
        std::ofstream(copy, std::ios::binary) << source.rdbuf();
        EXPECT_EQ(0, chmod(copy.c_str(), 0755));
        return copy;
    }

    void SetFlagsAttribute(const std::string& file, uint32 flags)
    {
        ASSERT_EQ(0, RawAttributes::Plant(file, "BEOS:APP_FLAGS",
                                          RawAttributes::Encode('APPF', &flags, sizeof(flags))));
    }

    void SetFlagsResource(const std::string& file, uint32 flags)
    {
        std::string rdef = file + ".rdef";
        std::ofstream(rdef) << "resource 'APPF' 1 \"BEOS:APP_FLAGS\"\n    uint32 " << flags
                            << "\nend\n";
        std::string err;
        ASSERT_EQ(
            0, Process::Run(std::string(VEK_BUILD_DIR) + "/rc", {rdef, file}, kWait, nullptr, &err))
            << err;
    }

    int Send(const std::vector<std::string>& arguments, std::string* err = nullptr)
    {
        return Process::Run(kSendMessage, arguments, kWait, nullptr, err);
    }

    std::string SignatureSocket(const char* signature)
    {
        return BPrivate::AppSocket::SignaturePath(fRuntime / "be-applications", signature);
    }

    // A raw connection to an application's socket.
    int ConnectRaw(const std::string& path)
    {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(0, connect(fd, (sockaddr*)&address, sizeof(address))) << strerror(errno);
        return fd;
    }

    ScratchDir fRuntime;
};

TEST_F(ApplicationTest, TenThousandMessagesFromSendMessageAllArrive)
{
    Process echo;
    // A slow start fills the queue, so that the sender has to wait for room.
    echo.SetEnv("ECHO_APP_DELAY_US", "500");
    StartEcho(&echo);
    EXPECT_EQ(0, Send({"--count", "10000", kSignature, "TEST", "text=abc"}));
    EXPECT_EQ(0, Send({kSignature, "DONE"}));
    ASSERT_TRUE(echo.WaitForStdout("done count=", kWait));
    std::string out = echo.Stdout();
    EXPECT_NE(std::string::npos, out.find("done count=10000 in_order=1")) << out.substr(0, 500);
    EXPECT_EQ(10000u, CountOf(out, "length=3 remote=1"));
    EXPECT_NE(std::string::npos, out.find("TEST count=10000 "));
    EXPECT_TRUE(echo.Signal(SIGTERM));
    EXPECT_TRUE(echo.Wait(kWait));
}

TEST_F(ApplicationTest, MessagesFromOneSenderKeepTheirOrderAndSize)
{
    Process echo;
    echo.SetEnv("ECHO_APP_DELAY_US", "200");
    StartEcho(&echo);
    status_t status;
    BMessenger echoApp(kSignature, -1, &status);
    ASSERT_EQ(B_OK, status);
    EXPECT_FALSE(echoApp.IsTargetLocal());
    EXPECT_EQ(echo.Pid(), echoApp.Team());
    EXPECT_TRUE(echoApp.IsValid());
    for (int32 i = 0; i < 5000; i++) {
        BMessage message('TEST');
        message.AddInt32("seq", i);
        ASSERT_EQ(B_OK, echoApp.SendMessage(&message));
    }
    std::string text(1024 * 1024, 't');
    BMessage large('TEST');
    large.AddInt32("seq", 5000);
    large.AddString("text", text.c_str());
    ASSERT_EQ(B_OK, echoApp.SendMessage(&large));
    ASSERT_EQ(B_OK, echoApp.SendMessage('DONE'));
    ASSERT_TRUE(echo.WaitForStdout("done count=", kWait));
    EXPECT_NE(std::string::npos, echo.Stdout().find("done count=5001 in_order=1"));
    EXPECT_NE(std::string::npos, echo.Stdout().find("length=1048576"));

    // Once the application is gone, the messenger is invalid and sends fail.
    EXPECT_TRUE(echo.Signal(SIGKILL));
    EXPECT_TRUE(echo.Wait(kWait));
    EXPECT_FALSE(echoApp.IsValid());
    EXPECT_EQ(B_BAD_PORT_ID, echoApp.SendMessage('TEST'));
    EXPECT_EQ(1, Send({kSignature, "TEST"}));
}

TEST_F(ApplicationTest, SecondStartOfSingleLaunchApplicationHandsOver)
{
    std::string copy = CopyEcho("single_echo");
    SetFlagsAttribute(copy, B_SINGLE_LAUNCH);

    Process first;
    StartEcho(&first, copy);
    Process second;
    ASSERT_TRUE(second.Start(copy));
    ASSERT_TRUE(second.Wait(kWait));
    EXPECT_EQ(0, second.ExitCode());
    EXPECT_EQ(std::string::npos, second.Stdout().find("ready")) << second.Stdout();
    EXPECT_TRUE(first.WaitForStdout("silent relaunch", kWait));
    EXPECT_EQ("single_echo: already running (process " + std::to_string(first.Pid()) +
                  "), which was brought to the front\n",
              second.Stderr());

    Process third;
    ASSERT_TRUE(third.Start(copy, {"one", "two"}));
    ASSERT_TRUE(third.Wait(kWait));
    EXPECT_EQ(0, third.ExitCode());
    EXPECT_TRUE(first.WaitForStdout("argv 3 one two", kWait)) << first.Stdout();
    EXPECT_TRUE(first.IsRunning());
}

TEST_F(ApplicationTest, ExclusiveLaunchFromResourcesHandsOverToTheSignature)
{
    // Another executable holds the signature.
    Process first;
    StartEcho(&first);
    std::string exclusive = CopyEcho("exclusive_echo");
    SetFlagsResource(exclusive, B_EXCLUSIVE_LAUNCH);
    Process second;
    ASSERT_TRUE(second.Start(exclusive, {"given"}));
    ASSERT_TRUE(second.Wait(kWait));
    EXPECT_EQ(0, second.ExitCode()) << second.Stderr();
    EXPECT_TRUE(first.WaitForStdout("argv 2 given", kWait)) << first.Stdout();

    // The attribute comes before the resources: this one may run again.
    SetFlagsAttribute(exclusive, B_MULTIPLE_LAUNCH);
    Process third;
    StartEcho(&third, exclusive);
    EXPECT_TRUE(third.IsRunning());
}

TEST_F(ApplicationTest, ArgumentsArriveBeforeReadyToRun)
{
    Process echo;
    ASSERT_TRUE(echo.Start(kEchoApp, {"alpha", "beta"}));
    ASSERT_TRUE(echo.WaitForStdout("ready pid=", kWait));
    EXPECT_EQ(0u, echo.Stdout().find("argv 3 alpha beta\nready pid="));
}

// Takes the echo application's answers.
class PongLooper : public BLooper
{
public:
    PongLooper(int32 capacity = B_LOOPER_PORT_DEFAULT_CAPACITY)
        : BLooper("pong", B_NORMAL_PRIORITY, capacity)
    {
    }

    void MessageReceived(BMessage* message) override
    {
        if (message->what != 'PONG') {
            BLooper::MessageReceived(message);
            return;
        }
        fRemote = message->IsSourceRemote();
        fGot = true;
    }

    std::atomic<bool> fGot{false};
    std::atomic<bool> fRemote{false};
};

TEST_F(ApplicationTest, MessengersInMessagesReachLoopersOfTheSendingProcess)
{
    Process echo;
    StartEcho(&echo);
    // Our own application object gives this process a socket of its own.
    BApplication self("application/x-vnd.test-messenger-owner");
    ASSERT_EQ(B_OK, self.InitCheck());
    auto* looper = new PongLooper;
    looper->Run();
    BMessage ping('PING');
    ping.AddMessenger("reply_to", BMessenger(NULL, looper));
    ASSERT_EQ(B_OK, BMessenger(kSignature).SendMessage(&ping));
    for (int i = 0; i < 1000 && !looper->fGot; i++)
        usleep(10000);
    EXPECT_TRUE(looper->fGot);
    EXPECT_TRUE(looper->fRemote);
    EXPECT_TRUE(echo.WaitForStdout("ping answered: No error", kWait)) << echo.Stdout();
    ASSERT_TRUE(looper->Lock());
    looper->Quit();
}

TEST_F(ApplicationTest, ClosingTheApplicationDoesNotWaitForAFullLooper)
{
    Process echo;
    StartEcho(&echo);
    auto self = std::make_unique<BApplication>("application/x-vnd.test-full-looper");
    ASSERT_EQ(B_OK, self->InitCheck());
    // Never runs, and holds one message: the answers pile up in our reader.
    auto* looper = new PongLooper(1);
    BMessage ping('PING');
    ping.AddMessenger("reply_to", BMessenger(NULL, looper));
    BMessenger echoApp(kSignature);
    for (int i = 0; i < 5; i++)
        ASSERT_EQ(B_OK, echoApp.SendMessage(&ping));
    ASSERT_TRUE(echo.WaitForStdout("ping answered", kWait));
    usleep(100000);
    self.reset();
    looper->Quit();
}

TEST_F(ApplicationTest, AnUnsafeSocketFolderIsPassedOverForOneUnderHome)
{
    std::string folder = fRuntime / "be-applications";
    ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
    Process echo;
    StartEcho(&echo);
    EXPECT_NE(std::string::npos, echo.Stderr().find(folder + " is not a private folder"))
        << echo.Stderr();
    EXPECT_EQ(0, Send({kSignature, "TEST"}));
    EXPECT_TRUE(echo.WaitForStdout("TEST count=1", kWait));
    struct stat info;
    EXPECT_NE(0, stat(SignatureSocket(kSignature).c_str(), &info)) << "nothing in the unsafe one";
}

TEST_F(ApplicationTest, MultipleLaunchRunsAgainAndTheSignatureStaysWithTheFirst)
{
    Process first;
    StartEcho(&first);
    Process second;
    StartEcho(&second);
    EXPECT_EQ(0, Send({kSignature, "TEST"}));
    EXPECT_TRUE(first.WaitForStdout("TEST count=1", kWait));
    EXPECT_EQ(std::string::npos, second.Stdout().find("TEST"));

    // When the first one goes, its stale socket does not stop a new start.
    ASSERT_TRUE(first.Signal(SIGKILL));
    ASSERT_TRUE(first.Wait(kWait));
    Process third;
    StartEcho(&third);
    EXPECT_EQ(0, Send({kSignature, "TEST"}));
    EXPECT_TRUE(third.WaitForStdout("TEST count=1", kWait));
}

TEST_F(ApplicationTest, BadSendersAreDroppedWithOneLineAndOthersServed)
{
    Process echo;
    StartEcho(&echo);
    std::string path = SignatureSocket(kSignature);

    int garbage = ConnectRaw(path);
    const char junk[] = "this is not a message frame, not at all, really not";
    ASSERT_EQ((ssize_t)sizeof(junk), write(garbage, junk, sizeof(junk)));
    ASSERT_TRUE(echo.WaitForStderr("not a message frame", kWait));
    // The application closed the connection (a reset, as our words went unread).
    char byte;
    EXPECT_GE(0, read(garbage, &byte, 1));
    close(garbage);

    int oversized = ConnectRaw(path);
    BPrivate::MessageFrame::Header header;
    header.size = 0x7fffffff;
    ASSERT_EQ((ssize_t)sizeof(header), write(oversized, &header, sizeof(header)));
    ASSERT_TRUE(echo.WaitForStderr("out of range", kWait));
    close(oversized);

    int truncated = ConnectRaw(path);
    header.size = 1000;
    ASSERT_EQ((ssize_t)sizeof(header), write(truncated, &header, sizeof(header)));
    ASSERT_EQ(10, write(truncated, "0123456789", 10));
    close(truncated);
    ASSERT_TRUE(echo.WaitForStderr("truncated message", kWait));

    // A whole frame whose message header does not match its checksum.
    BMessage forged('TEST');
    forged.AddString("text", "forged");
    std::vector<char> frame;
    ASSERT_EQ(B_OK, BPrivate::MessageFrame::Encode(forged, {}, &frame));
    frame[sizeof(header) + 12] ^= 0x01; // the message's code
    int damaged = ConnectRaw(path);
    ASSERT_EQ((ssize_t)frame.size(), write(damaged, frame.data(), frame.size()));
    ASSERT_TRUE(echo.WaitForStderr("bad checksum", kWait));
    EXPECT_GE(0, read(damaged, &byte, 1)) << "no receipt";
    close(damaged);

    EXPECT_EQ(0, Send({kSignature, "TEST", "text=after"}));
    EXPECT_TRUE(echo.WaitForStdout("TEST count=1 length=5", kWait));
    EXPECT_EQ(4u, CountOf(echo.Stderr(), "\n")) << echo.Stderr();
    EXPECT_EQ(4u, CountOf(echo.Stderr(), "dropped a malformed message"));
    EXPECT_TRUE(echo.IsRunning());
}

TEST_F(ApplicationTest, SignalsQuitThroughQuitRequested)
{
    for (int signal : {SIGTERM, SIGINT}) {
        Process echo;
        StartEcho(&echo);
        ASSERT_TRUE(echo.Signal(signal));
        ASSERT_TRUE(echo.Wait(kWait));
        EXPECT_EQ(0, echo.ExitCode()) << "signal " << signal;
        std::string out = echo.Stdout();
        size_t asked = out.find("quit requested");
        ASSERT_NE(std::string::npos, asked) << out;
        EXPECT_LT(asked, out.find("end\n"));
        // The signature is free again.
        struct stat info;
        EXPECT_NE(0, stat(SignatureSocket(kSignature).c_str(), &info));
    }
}

TEST_F(ApplicationTest, SynchronousRepliesComeBackAcrossProcesses)
{
    Process echo;
    StartEcho(&echo);
    // Replies need a socket of our own to arrive at.
    BApplication self("application/x-vnd.test-reply-waiter");
    ASSERT_EQ(B_OK, self.InitCheck());
    BMessenger echoApp(kSignature);
    ASSERT_TRUE(echoApp.IsValid());

    BMessage reply;
    ASSERT_EQ(B_OK, echoApp.SendMessage('TEST'));
    ASSERT_EQ(B_OK, echoApp.SendMessage('PING', &reply));
    EXPECT_EQ((uint32)'PONG', reply.what);
    int32 count = 0;
    EXPECT_EQ(B_OK, reply.FindInt32("count", &count));
    EXPECT_EQ(1, count);
    EXPECT_TRUE(reply.IsReply());

    // Nobody handles it: the end of the handler chain says so.
    BMessage unknown('WHAT');
    ASSERT_EQ(B_OK, echoApp.SendMessage(&unknown, &reply, B_INFINITE_TIMEOUT, 5000000));
    EXPECT_EQ((uint32)B_MESSAGE_NOT_UNDERSTOOD, reply.what);
}

TEST_F(ApplicationTest, SendMessageChecksItsArguments)
{
    std::string err;
    EXPECT_EQ(0, Process::Run(kSendMessage, {"--help"}, kWait));
    EXPECT_EQ(2, Send({}, &err));
    EXPECT_EQ(2, Send({kSignature}, &err));
    EXPECT_EQ(2, Send({kSignature, "TOOLONG"}, &err));
    EXPECT_EQ(2, Send({kSignature, "TEST", "novalue"}, &err));
    EXPECT_EQ(2, Send({kSignature, "TEST", "n:int32=12x"}, &err));
    EXPECT_EQ(2, Send({kSignature, "TEST", "n:int32=99999999999"}, &err));
    EXPECT_EQ(2, Send({kSignature, "TEST", "n:bool=maybe"}, &err));
    EXPECT_EQ(2, Send({kSignature, "TEST", "n:color=red"}, &err));
    EXPECT_EQ(2, Send({kSignature, "TEST", "n=a", "n:int32=1"}, &err));
    EXPECT_EQ(2, Send({"--count", "0", kSignature, "TEST"}, &err));
    EXPECT_EQ(2, Send({"--timeout", "soon", kSignature, "TEST"}, &err));
    EXPECT_NE(std::string::npos, err.find("bad timeout")) << err;

    EXPECT_EQ(1, Send({kSignature, "TEST"}, &err));
    EXPECT_EQ("send-message: no running application with signature " + std::string(kSignature) +
                  "\n",
              err);
}

TEST_F(ApplicationTest, SendMessageGivesUpOnAStuckApplicationAfterItsTimeout)
{
    Process echo;
    StartEcho(&echo);
    ASSERT_TRUE(echo.Signal(SIGSTOP));
    ASSERT_TRUE(WaitUntilStopped(echo.Pid()));
    std::string err;
    std::string text = "text=" + std::string(64 * 1024, 's');
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(1, Send({"--timeout", "0.5", "--count", "1000", kSignature, "TEST", text}, &err));
    auto took = std::chrono::steady_clock::now() - start;
    // Whether the message without a receipt arrived is not known, and said so.
    EXPECT_NE(std::string::npos, err.find("perhaps: the application did not answer in time"))
        << err;
    EXPECT_LT(took, std::chrono::seconds(10));
    ASSERT_TRUE(echo.Signal(SIGCONT));
    EXPECT_TRUE(echo.Signal(SIGTERM));
    EXPECT_TRUE(echo.Wait(kWait));
}

TEST_F(ApplicationTest, AnApplicationThatDoesNotAnswerIsNotTakenForOneNotRunning)
{
    Process echo;
    StartEcho(&echo);
    status_t status;
    BMessenger target(kSignature, -1, &status);
    ASSERT_EQ(B_OK, status);
    BMessage message('TEST');
    message.AddString("text", "one");
    ASSERT_EQ(B_OK, target.SendMessage(&message, (BHandler*)NULL, 1000000));

    // Its connections are taken (by the system) but nothing answers.
    ASSERT_TRUE(echo.Signal(SIGSTOP));
    ASSERT_TRUE(WaitUntilStopped(echo.Pid()));
    for (int attempt = 0; attempt < 2; attempt++) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(B_TIMED_OUT, target.SendMessage(&message, (BHandler*)NULL, 300000)) << attempt;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    }
    BMessenger late(kSignature, -1, &status);
    EXPECT_EQ(B_OK, status);
    EXPECT_EQ(B_TIMED_OUT, late.SendMessage(&message, (BHandler*)NULL, 300000));

    ASSERT_TRUE(echo.Signal(SIGKILL));
    ASSERT_TRUE(echo.Wait(kWait));
    EXPECT_EQ(B_BAD_PORT_ID, target.SendMessage(&message, (BHandler*)NULL, 300000));
    BMessenger gone(kSignature, -1, &status);
    EXPECT_NE(B_OK, status);
    EXPECT_EQ(B_BAD_PORT_ID, gone.SendMessage(&message, (BHandler*)NULL, 300000));

    // A process of another kind that listens at an application's address and
    // never answers: it has no team socket to be found again by.
    const char* silentSignature = "application/x-vnd.test-silent";
    std::string silentPath = SignatureSocket(silentSignature);
    pid_t silent = fork();
    ASSERT_GE(silent, 0);
    if (silent == 0) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        strncpy(address.sun_path, silentPath.c_str(), sizeof(address.sun_path) - 1);
        if (bind(fd, (sockaddr*)&address, sizeof(address)) == 0 && listen(fd, 16) == 0)
            pause();
        _exit(1);
    }
    struct stat info;
    for (int i = 0; i < 500 && stat(silentPath.c_str(), &info) != 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    BMessenger other(silentSignature, -1, &status);
    EXPECT_EQ(B_OK, status);
    for (int attempt = 0; attempt < 2; attempt++)
        EXPECT_EQ(B_TIMED_OUT, other.SendMessage(&message, (BHandler*)NULL, 300000)) << attempt;
    kill(silent, SIGKILL);
    waitpid(silent, NULL, 0);
    unlink(silentPath.c_str());
}

TEST_F(ApplicationTest, SendMessageTypesAndMessengerToSelf)
{
    Process echo;
    StartEcho(&echo);
    EXPECT_EQ(0, Send({kSignature, "'ABCD'", "s=x", "s:string=y", "i:int32=-5", "l:int64=0x10",
                       "b:bool=true", "f:float=1.5", "me:messenger=self"}));
    EXPECT_EQ(0, Send({kSignature, "1094861636"}));
    ASSERT_TRUE(echo.WaitForStdout("other ABCD\nother ABCD\n", kWait)) << echo.Stdout();
}

} // namespace
