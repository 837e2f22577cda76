#include <AppDefs.h>
#include <Handler.h>
#include <Looper.h>
#include <Message.h>
#include <Messenger.h>

#include "app/LooperRegistry.h"
#include "app/MessagePort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

namespace
{

constexpr uint32 kWork = 'WORK';
constexpr uint32 kSelfPost = 'SELF';

// Collects what it receives, for the test thread to wait on.
class Recorder
{
public:
    void Add(const BMessage* message)
    {
        std::lock_guard<std::mutex> guard(fMutex);
        int32 sender = -1;
        int32 sequence = -1;
        message->FindInt32("sender", &sender);
        message->FindInt32("sequence", &sequence);
        fReceived.push_back({message->what, sender, sequence});
        fChanged.notify_all();
    }

    bool WaitForCount(size_t count, int timeoutMs = 20000)
    {
        std::unique_lock<std::mutex> guard(fMutex);
        return fChanged.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                 [&] { return fReceived.size() >= count; });
    }

    struct Entry {
        uint32 what;
        int32 sender;
        int32 sequence;
    };

    std::vector<Entry> Received()
    {
        std::lock_guard<std::mutex> guard(fMutex);
        return fReceived;
    }

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
    std::vector<Entry> fReceived;
};

class RecordingLooper : public BLooper
{
public:
    RecordingLooper(Recorder* recorder, int32 capacity = B_LOOPER_PORT_DEFAULT_CAPACITY)
        : BLooper("recording", B_NORMAL_PRIORITY, capacity), fRecorder(recorder)
    {
    }

    void MessageReceived(BMessage* message) override
    {
        if (message->what == kSelfPost) {
            // More than the queue holds, from the looper's own thread.
            for (int32 i = 0; i < 3 * 2 + 4; i++) {
                BMessage work(kWork);
                work.AddInt32("sequence", i);
                EXPECT_EQ(B_OK, PostMessage(&work));
            }
        }
        fRecorder->Add(message);
    }

    bool QuitRequested() override { return fAllowQuit; }

    std::atomic<bool> fAllowQuit{true};

private:
    Recorder* fRecorder;
};

class RecordingHandler : public BHandler
{
public:
    RecordingHandler(Recorder* recorder) : BHandler("handler"), fRecorder(recorder) {}
    void MessageReceived(BMessage* message) override { fRecorder->Add(message); }

private:
    Recorder* fRecorder;
};

// Locking through a pointer to a deleted looper is allowed; the sanitizer's
// type check at the call would read the freed object, so it is off here.
__attribute__((no_sanitize("vptr"))) bool LockStale(BLooper* looper)
{
    return looper->Lock();
}

__attribute__((no_sanitize("vptr"))) status_t LockStaleWithTimeout(BLooper* looper)
{
    return looper->LockWithTimeout(1000);
}

// A test that hangs fails instead of stalling the run.
class LooperTest : public ::testing::Test
{
protected:
    void SetUp() override { alarm(120); }
    void TearDown() override { alarm(0); }
};

TEST_F(LooperTest, LockIsRecursiveAndHeldByTheConstructorUntilRun)
{
    Recorder recorder;
    auto* looper = new RecordingLooper(&recorder);
    EXPECT_TRUE(looper->IsLocked());
    EXPECT_EQ(find_thread(NULL), looper->LockingThread());
    EXPECT_EQ(1, looper->CountLocks());
    ASSERT_TRUE(looper->Lock());
    EXPECT_EQ(2, looper->CountLocks());
    looper->Unlock();
    EXPECT_EQ(1, looper->CountLocks());

    thread_id thread = looper->Run();
    ASSERT_GT(thread, 0);
    EXPECT_EQ(thread, looper->Thread());
    EXPECT_NE(find_thread(NULL), thread);
    EXPECT_FALSE(looper->IsLocked());
    EXPECT_EQ(B_ERROR, looper->Run());

    // The loop runs now: a message posted reaches the looper on its own thread.
    looper->PostMessage(kWork);
    ASSERT_TRUE(recorder.WaitForCount(1));
    EXPECT_EQ(looper, BLooper::LooperForThread(thread));
    EXPECT_EQ(NULL, BLooper::LooperForThread(find_thread(NULL)));

    ASSERT_TRUE(looper->Lock());
    ASSERT_TRUE(looper->Lock());
    EXPECT_EQ(2, looper->CountLocks());
    looper->Unlock();
    // Quit from another thread with the lock held: returns when the looper is gone.
    looper->Quit();
    EXPECT_EQ(NULL, BLooper::LooperForThread(thread));
}

TEST_F(LooperTest, LockFromAnotherThreadWaitsForTheOwner)
{
    Recorder recorder;
    auto* looper = new RecordingLooper(&recorder);
    looper->Run();
    ASSERT_TRUE(looper->Lock());

    std::atomic<bool> released{false};
    std::atomic<bool> gotLockEarly{false};
    status_t timedOut = B_OK;
    std::thread other([&] {
        timedOut = looper->LockWithTimeout(50000);
        bool locked = looper->Lock();
        gotLockEarly = locked && !released;
        EXPECT_EQ(find_thread(NULL), looper->LockingThread());
        looper->Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    released = true;
    looper->Unlock();
    other.join();
    EXPECT_EQ(B_TIMED_OUT, timedOut);
    EXPECT_FALSE(gotLockEarly);

    ASSERT_TRUE(looper->Lock());
    looper->Quit();
}

TEST_F(LooperTest, StalePointerAndMessengerFailCleanly)
{
    Recorder recorder;
    auto* looper = new RecordingLooper(&recorder);
    auto* handler = new RecordingHandler(&recorder);
    looper->AddHandler(handler);
    looper->Run();
    BMessenger toLooper(NULL, looper);
    BMessenger toHandler(handler);
    EXPECT_TRUE(toLooper.IsValid());
    EXPECT_TRUE(toHandler.IsValid());
    EXPECT_TRUE(toLooper.IsTargetLocal());
    ASSERT_TRUE(toLooper.LockTarget());
    BLooper* found = NULL;
    EXPECT_EQ(handler, toHandler.Target(&found));
    EXPECT_EQ(looper, found);
    looper->Unlock();

    // Another thread waits for the lock while the looper quits under it.
    ASSERT_TRUE(looper->Lock());
    std::atomic<int> waiterResult{-1};
    std::thread waiter([&] { waiterResult = looper->Lock() ? 1 : 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    looper->Quit();
    waiter.join();
    EXPECT_EQ(0, waiterResult);

    // The pointer is stale now: looked up, never used.
    EXPECT_FALSE(LockStale(looper));
    EXPECT_EQ(B_BAD_VALUE, LockStaleWithTimeout(looper));
    EXPECT_FALSE(toLooper.IsValid());
    EXPECT_FALSE(toLooper.LockTarget());
    EXPECT_EQ(B_BAD_VALUE, toLooper.LockTargetWithTimeout(1000));
    EXPECT_EQ(B_BAD_PORT_ID, toLooper.SendMessage(kWork));
    EXPECT_EQ(NULL, toHandler.Target(&found));
    EXPECT_EQ(NULL, found);
    // The handler outlives its looper; a messenger to it stays invalid.
    EXPECT_EQ(NULL, handler->Looper());
    delete handler;
    EXPECT_FALSE(toHandler.IsValid());
}

TEST_F(LooperTest, MessagesFromManyThreadsArriveCompleteAndInOrder)
{
    constexpr int32 kSenders = 6;
    constexpr int32 kEach = 1500;
    Recorder recorder;
    // A small queue, so that the senders keep waiting for room.
    auto* looper = new RecordingLooper(&recorder, 8);
    looper->Run();
    BMessenger target(NULL, looper);

    std::vector<std::thread> senders;
    std::atomic<int32> failures{0};
    for (int32 sender = 0; sender < kSenders; sender++) {
        senders.emplace_back([&, sender] {
            for (int32 i = 0; i < kEach; i++) {
                BMessage message(kWork);
                message.AddInt32("sender", sender);
                message.AddInt32("sequence", i);
                if (target.SendMessage(&message) != B_OK)
                    failures++;
            }
        });
    }
    for (std::thread& sender : senders)
        sender.join();
    ASSERT_TRUE(recorder.WaitForCount(kSenders * kEach));
    EXPECT_EQ(0, failures);

    std::map<int32, int32> next;
    for (const auto& entry : recorder.Received()) {
        ASSERT_EQ(kWork, entry.what);
        ASSERT_EQ(next[entry.sender], entry.sequence) << "sender " << entry.sender;
        next[entry.sender]++;
    }
    for (int32 sender = 0; sender < kSenders; sender++)
        EXPECT_EQ(kEach, next[sender]);

    ASSERT_TRUE(looper->Lock());
    looper->Quit();
}

TEST_F(LooperTest, FullQueueMakesPostersWaitOrTimeOut)
{
    Recorder recorder;
    auto* looper = new RecordingLooper(&recorder, 2);
    BMessenger target(NULL, looper);
    // Not running yet: nothing takes messages out.
    EXPECT_EQ(B_OK, target.SendMessage(kWork));
    EXPECT_EQ(B_OK, target.SendMessage(kWork));
    std::atomic<status_t> fromOther{1};
    std::thread other([&] {
        BMessage message(kWork);
        fromOther = target.SendMessage(&message, (BHandler*)NULL, 0);
        fromOther = target.SendMessage(&message, (BHandler*)NULL, 20000);
    });
    other.join();
    EXPECT_EQ(B_TIMED_OUT, fromOther);

    std::thread waiting([&] { fromOther = target.SendMessage(kWork); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    looper->Run();
    waiting.join();
    EXPECT_EQ(B_OK, fromOther);
    EXPECT_TRUE(recorder.WaitForCount(3));
    ASSERT_TRUE(looper->Lock());
    looper->Quit();
}

TEST_F(LooperTest, LooperPostingToItsOwnFullQueueDoesNotDeadlock)
{
    Recorder recorder;
    auto* looper = new RecordingLooper(&recorder, 3);
    looper->Run();
    looper->PostMessage(kSelfPost);
    ASSERT_TRUE(recorder.WaitForCount(11));
    auto received = recorder.Received();
    EXPECT_EQ(kSelfPost, received[0].what);
    for (int32 i = 1; i < 11; i++)
        EXPECT_EQ(i - 1, received[i].sequence);

    // A thread that holds the lock does not wait either: the loop needs the lock.
    ASSERT_TRUE(looper->Lock());
    for (int32 i = 0; i < 10; i++)
        EXPECT_EQ(B_OK, looper->PostMessage(kWork));
    looper->Unlock();
    EXPECT_TRUE(recorder.WaitForCount(21));
    ASSERT_TRUE(looper->Lock());
    looper->Quit();
}

TEST_F(LooperTest, QuitWhilePostersKeepPosting)
{
    for (int round = 0; round < 5; round++) {
        Recorder recorder;
        auto* looper = new RecordingLooper(&recorder, 4);
        looper->Run();
        BMessenger target(NULL, looper);
        std::atomic<bool> stop{false};
        std::atomic<int32> refused{0};
        std::vector<std::thread> posters;
        for (int i = 0; i < 4; i++) {
            posters.emplace_back([&] {
                while (!stop) {
                    status_t status = target.SendMessage(kWork);
                    if (status == B_BAD_PORT_ID) {
                        refused++;
                        return;
                    }
                    EXPECT_EQ(B_OK, status);
                }
            });
        }
        recorder.WaitForCount(20);
        ASSERT_TRUE(looper->Lock());
        looper->Quit();
        stop = true;
        for (std::thread& poster : posters)
            poster.join();
        EXPECT_FALSE(target.IsValid());
    }
}

TEST_F(LooperTest, QuitRequestedDecides)
{
    Recorder recorder;
    auto* looper = new RecordingLooper(&recorder);
    looper->fAllowQuit = false;
    looper->Run();
    BMessenger target(NULL, looper);
    looper->PostMessage(B_QUIT_REQUESTED);
    looper->PostMessage(kWork);
    ASSERT_TRUE(recorder.WaitForCount(1));
    EXPECT_TRUE(target.IsValid());
    // B_QUIT_REQUESTED never reaches MessageReceived when the looper is the target.
    EXPECT_EQ(kWork, recorder.Received()[0].what);

    looper->fAllowQuit = true;
    looper->PostMessage(B_QUIT_REQUESTED);
    for (int i = 0; i < 500 && target.IsValid(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(target.IsValid());
}

TEST_F(LooperTest, OtherProcessesAreRefusedWhileAQuitRequestWaits)
{
    using BPrivate::LooperRegistry;
    Recorder recorder;
    auto* looper = new RecordingLooper(&recorder);
    looper->fAllowQuit = false;
    looper->Run();
    port_id port = LooperRegistry::Default().PortOf(looper)->Id();
    // As the application's socket server queues what a sender was told arrived.
    auto fromAnotherProcess = [port] {
        return LooperRegistry::Default().Deliver(port, std::make_unique<BMessage>(kWork), 0,
                                                 nullptr, 64);
    };

    // The lock keeps the request waiting in the queue.
    ASSERT_TRUE(looper->Lock());
    ASSERT_EQ(B_OK, looper->PostMessage(B_QUIT_REQUESTED));
    EXPECT_EQ(B_BAD_PORT_ID, fromAnotherProcess());
    ASSERT_EQ(B_OK, looper->PostMessage(kWork));
    looper->Unlock();
    // Declined: it takes them again.
    ASSERT_TRUE(recorder.WaitForCount(1));
    EXPECT_EQ(B_OK, fromAnotherProcess());
    ASSERT_TRUE(recorder.WaitForCount(2));

    BMessenger target(NULL, looper);
    ASSERT_TRUE(looper->Lock());
    looper->fAllowQuit = true;
    ASSERT_EQ(B_OK, looper->PostMessage(B_QUIT_REQUESTED));
    EXPECT_EQ(B_BAD_PORT_ID, fromAnotherProcess());
    looper->Unlock();
    for (int i = 0; i < 500 && target.IsValid(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(target.IsValid());
    EXPECT_EQ(B_BAD_PORT_ID, fromAnotherProcess());
    EXPECT_EQ(2u, recorder.Received().size());
}

} // namespace
