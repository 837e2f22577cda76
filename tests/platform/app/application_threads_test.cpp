// The application object in this process: its loop on the thread that builds
// it, messages by signature, quit requests from messages, other threads and
// signals, pulses and its information.

#include <Application.h>
#include <Message.h>
#include <Messenger.h>
#include <Roster.h>

#include "app/AppSocket.h"

#include <gtest/gtest.h>

#include "support/ScratchDir.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const char* kSignature = "application/x-vnd.test-in-process";

class TestApp : public BApplication
{
public:
    TestApp(const char* signature) : BApplication(signature) {}

    void ReadyToRun() override
    {
        fReadyThread = find_thread(NULL);
        if (fOnReady)
            fOnReady(this);
        Notify([&] { fReady = true; });
    }

    void MessageReceived(BMessage* message) override
    {
        if (message->what == 'STOP') {
            SetPulseRate(0);
            Notify([&] { fPulsesWhenStopped = fPulses; });
            return;
        }
        if (message->what == 'TEST') {
            Notify([&] {
                fTests++;
                fTestThread = find_thread(NULL);
            });
            return;
        }
        BApplication::MessageReceived(message);
    }

    bool QuitRequested() override
    {
        Notify([&] { fQuitRequests++; });
        return fAllowQuit && BApplication::QuitRequested();
    }

    void Pulse() override
    {
        Notify([&] { fPulses++; });
    }

    bool WaitFor(std::function<bool()> condition, int timeoutMs = 10000)
    {
        std::unique_lock<std::mutex> guard(fMutex);
        return fChanged.wait_for(guard, std::chrono::milliseconds(timeoutMs), condition);
    }

    void Notify(std::function<void()> change)
    {
        std::lock_guard<std::mutex> guard(fMutex);
        change();
        fChanged.notify_all();
    }

    std::function<void(TestApp*)> fOnReady;
    std::atomic<bool> fAllowQuit{true};
    bool fReady = false;
    int fTests = 0;
    int fQuitRequests = 0;
    int fPulses = 0;
    int fPulsesWhenStopped = -1;
    thread_id fReadyThread = -1;
    thread_id fTestThread = -1;

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
};

// Builds and runs an application on a thread of its own, as main() would.
class AppThread
{
public:
    AppThread(std::function<void(TestApp*)> onReady = nullptr)
    {
        fThread = std::thread([this, onReady] {
            TestApp app(kSignature);
            app.fOnReady = onReady;
            {
                std::lock_guard<std::mutex> guard(fMutex);
                fApp = &app;
                fThreadId = find_thread(NULL);
                fStarted.notify_all();
            }
            app.Run();
            fRunReturned = true;
            std::lock_guard<std::mutex> guard(fMutex);
            fApp = NULL;
        });
        std::unique_lock<std::mutex> guard(fMutex);
        fStarted.wait(guard, [this] { return fApp != NULL; });
    }

    ~AppThread()
    {
        if (fThread.joinable())
            fThread.join();
    }

    TestApp* App() { return fApp; }
    thread_id Id() const { return fThreadId; }
    bool Join(int timeoutMs = 10000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!fRunReturned && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!fRunReturned)
            return false;
        fThread.join();
        return true;
    }

private:
    std::mutex fMutex;
    std::condition_variable fStarted;
    TestApp* fApp = NULL;
    thread_id fThreadId = -1;
    std::atomic<bool> fRunReturned{false};
    std::thread fThread;
};

class InProcessApplicationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        alarm(120);
        setenv("XDG_RUNTIME_DIR", fRuntime.Path().c_str(), 1);
    }

    void TearDown() override { alarm(0); }

    bool SignatureSocketExists()
    {
        struct stat info;
        std::string path =
            BPrivate::AppSocket::SignaturePath(fRuntime / "be-applications", kSignature);
        return stat(path.c_str(), &info) == 0;
    }

    ScratchDir fRuntime;
};

TEST_F(InProcessApplicationTest, LoopRunsOnTheBuildingThreadAndTakesMessagesBySignature)
{
    AppThread runner;
    TestApp* app = runner.App();
    ASSERT_TRUE(app->WaitFor([&] { return app->fReady; }));
    EXPECT_EQ(runner.Id(), app->fReadyThread);
    EXPECT_EQ(B_OK, app->InitCheck());
    EXPECT_EQ(app, be_app);
    EXPECT_TRUE(be_app_messenger.IsValid());
    EXPECT_TRUE(be_app_messenger.IsTargetLocal());
    EXPECT_FALSE(app->IsLaunching());
    EXPECT_TRUE(SignatureSocketExists());

    // Case does not matter; from this process the target is local.
    BMessenger bySignature("Application/X-VND.Test-In-Process");
    ASSERT_TRUE(bySignature.IsValid());
    EXPECT_TRUE(bySignature.IsTargetLocal());
    EXPECT_EQ(B_OK, bySignature.SendMessage('TEST'));
    EXPECT_EQ(B_OK, be_app_messenger.SendMessage('TEST'));
    ASSERT_TRUE(app->WaitFor([&] { return app->fTests == 2; }));
    EXPECT_EQ(runner.Id(), app->fTestThread);
    EXPECT_EQ(app, BLooper::LooperForThread(runner.Id()));

    app_info info;
    ASSERT_EQ(B_OK, app->GetAppInfo(&info));
    EXPECT_STREQ(kSignature, info.signature);
    EXPECT_EQ(getpid(), info.team);
    EXPECT_EQ(runner.Id(), info.thread);
    EXPECT_EQ((uint32)B_MULTIPLE_LAUNCH, info.flags);
    char executable[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", executable, sizeof(executable) - 1), 0);
    EXPECT_STREQ(strrchr(executable, '/') + 1, info.ref.name);

    EXPECT_EQ(B_OK, be_app_messenger.SendMessage(B_QUIT_REQUESTED));
    ASSERT_TRUE(runner.Join());
    EXPECT_EQ(NULL, be_app);
    EXPECT_FALSE(be_app_messenger.IsValid());
    EXPECT_FALSE(bySignature.IsValid());
    EXPECT_FALSE(SignatureSocketExists());
}

TEST_F(InProcessApplicationTest, QuitRequestedCanRefuseAndQuitFromAnotherThreadEndsRun)
{
    AppThread runner;
    TestApp* app = runner.App();
    ASSERT_TRUE(app->WaitFor([&] { return app->fReady; }));
    app->fAllowQuit = false;
    EXPECT_EQ(B_OK, be_app_messenger.SendMessage(B_QUIT_REQUESTED));
    EXPECT_EQ(B_OK, be_app_messenger.SendMessage('TEST'));
    ASSERT_TRUE(app->WaitFor([&] { return app->fTests == 1; }));
    EXPECT_EQ(1, app->fQuitRequests);
    EXPECT_FALSE(runner.Join(100));

    ASSERT_TRUE(app->Lock());
    app->Quit();
    app->Unlock();
    ASSERT_TRUE(runner.Join());
}

TEST_F(InProcessApplicationTest, TerminationSignalBecomesAQuitRequest)
{
    for (int signal : {SIGTERM, SIGINT}) {
        AppThread runner;
        TestApp* app = runner.App();
        ASSERT_TRUE(app->WaitFor([&] { return app->fReady; }));
        ASSERT_EQ(0, raise(signal));
        ASSERT_TRUE(runner.Join()) << "signal " << signal;
    }
    // Once the application is gone, the signals have their old meaning again.
    struct sigaction current;
    ASSERT_EQ(0, sigaction(SIGTERM, NULL, &current));
    EXPECT_EQ(SIG_DFL, current.sa_handler);
}

TEST_F(InProcessApplicationTest, PulsesComeAtTheRateAsked)
{
    AppThread runner([](TestApp* app) { app->SetPulseRate(10000); });
    TestApp* app = runner.App();
    ASSERT_TRUE(app->WaitFor([&] { return app->fPulses >= 5; }));
    be_app_messenger.SendMessage('STOP');
    ASSERT_TRUE(app->WaitFor([&] { return app->fPulsesWhenStopped >= 5; }));
    EXPECT_FALSE(app->WaitFor([&] { return app->fPulses > app->fPulsesWhenStopped; }, 100));
    be_app_messenger.SendMessage(B_QUIT_REQUESTED);
    ASSERT_TRUE(runner.Join());
}

TEST_F(InProcessApplicationTest, BadSignatureAndSecondApplicationReportErrors)
{
    status_t error = B_OK;
    {
        BApplication bad("no-application-type", &error);
        EXPECT_EQ(B_BAD_VALUE, error);
        EXPECT_EQ(B_BAD_VALUE, bad.InitCheck());
        EXPECT_EQ(&bad, be_app);
    }
    EXPECT_EQ(NULL, be_app);
    {
        BApplication first(kSignature, &error);
        ASSERT_EQ(B_OK, error);
        BApplication second("application/x-vnd.test-second", &error);
        EXPECT_NE(B_OK, error);
        EXPECT_EQ(&first, be_app);
    }
    EXPECT_EQ(NULL, be_app);
}

} // namespace
