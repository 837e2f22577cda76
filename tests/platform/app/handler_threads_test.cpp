// Handlers in a looper: targets, the preferred handler, the handler chain and
// its answer to unknown messages, synchronous replies, the current message,
// timed sends, and the message queue.

#include <AppDefs.h>
#include <Handler.h>
#include <Looper.h>
#include <Message.h>
#include <MessageQueue.h>
#include <Messenger.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace
{

// Remembers which handler got which message, in order.
class Journal
{
public:
    void Add(const std::string& who, uint32 what)
    {
        std::lock_guard<std::mutex> guard(fMutex);
        fEntries.push_back(who + ":" + std::string(1, (char)(what >> 24)) +
                           std::string(1, (char)(what >> 16)) + std::string(1, (char)(what >> 8)) +
                           std::string(1, (char)what));
        fChanged.notify_all();
    }

    bool WaitForCount(size_t count)
    {
        std::unique_lock<std::mutex> guard(fMutex);
        return fChanged.wait_for(guard, std::chrono::seconds(10),
                                 [&] { return fEntries.size() >= count; });
    }

    std::vector<std::string> Entries()
    {
        std::lock_guard<std::mutex> guard(fMutex);
        return fEntries;
    }

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
    std::vector<std::string> fEntries;
};

// Handles only its own code and passes the rest down the chain.
class NamedHandler : public BHandler
{
public:
    NamedHandler(const char* name, uint32 code, Journal* journal)
        : BHandler(name), fCode(code), fJournal(journal)
    {
    }

    void MessageReceived(BMessage* message) override
    {
        if (message->what != fCode) {
            BHandler::MessageReceived(message);
            return;
        }
        fJournal->Add(Name(), message->what);
        if (message->what == 'KEEP')
            fKept = Looper()->DetachCurrentMessage();
        else
            EXPECT_EQ(message, Looper()->CurrentMessage());
    }

    BMessage* fKept = NULL;

private:
    uint32 fCode;
    Journal* fJournal;
};

class JournalLooper : public BLooper
{
public:
    JournalLooper(Journal* journal) : BLooper("journal"), fJournal(journal) {}

    void MessageReceived(BMessage* message) override
    {
        if (message->what == 'LOOP' || message->what == B_MESSAGE_NOT_UNDERSTOOD ||
            message->what == 'PONG') {
            fJournal->Add("looper", message->what);
            return;
        }
        if (message->what == 'PING') {
            BMessage pong('PONG');
            message->ReturnAddress().SendMessage(&pong);
            return;
        }
        BLooper::MessageReceived(message);
    }

private:
    Journal* fJournal;
};

class HandlerTest : public ::testing::Test
{
protected:
    void SetUp() override { alarm(120); }
    void TearDown() override { alarm(0); }
};

TEST_F(HandlerTest, MessagesReachTheirTargetsAndUnknownOnesAreAnswered)
{
    Journal journal;
    auto* looper = new JournalLooper(&journal);
    auto* first = new NamedHandler("first", 'FRST', &journal);
    auto* second = new NamedHandler("second", 'SCND', &journal);
    looper->AddHandler(first);
    looper->AddHandler(second);
    EXPECT_EQ(3, looper->CountHandlers());
    EXPECT_EQ(looper, looper->HandlerAt(0));
    EXPECT_EQ(second, looper->HandlerAt(2));
    EXPECT_EQ(NULL, looper->HandlerAt(3));
    EXPECT_EQ(1, looper->IndexOf(first));
    EXPECT_EQ(looper, first->Looper());
    // A handler belongs to one looper at a time.
    Journal otherJournal;
    auto* other = new JournalLooper(&otherJournal);
    other->AddHandler(first);
    EXPECT_EQ(looper, first->Looper());
    EXPECT_EQ(1, other->CountHandlers());
    other->Quit();

    first->SetNextHandler(second);
    looper->SetPreferredHandler(second);
    EXPECT_EQ(second, looper->PreferredHandler());
    looper->Run();

    looper->PostMessage('FRST', first);
    // Not first's code: down the chain to second.
    looper->PostMessage('SCND', first);
    // No handler named: the preferred one.
    looper->PostMessage('SCND', NULL);
    looper->PostMessage('LOOP');
    // The end of the chain answers the reply address, since one was given.
    BMessage unknown('WHAT');
    EXPECT_EQ(B_OK, looper->PostMessage(&unknown, second, looper));
    // Without a reply address nobody wants an answer.
    looper->PostMessage('NONE', second);
    ASSERT_TRUE(journal.WaitForCount(5));
    usleep(20000);
    std::vector<std::string> expected = {"first:FRST", "second:SCND", "second:SCND", "looper:LOOP",
                                         "looper:MNOT"};
    EXPECT_EQ(expected, journal.Entries());

    // A handler of another looper is refused as a target.
    NamedHandler stray("stray", 'STRY', &journal);
    EXPECT_EQ(B_MISMATCHED_VALUES, looper->PostMessage('STRY', &stray));

    ASSERT_TRUE(looper->Lock());
    BMessenger toSecond(second);
    EXPECT_TRUE(looper->RemoveHandler(second));
    EXPECT_FALSE(looper->RemoveHandler(second));
    EXPECT_FALSE(looper->RemoveHandler(looper));
    EXPECT_EQ(NULL, looper->PreferredHandler());
    EXPECT_EQ(NULL, second->Looper());
    looper->Unlock();
    // Removed: what is still addressed to it goes nowhere.
    EXPECT_EQ(B_OK, toSecond.SendMessage('SCND'));
    looper->PostMessage('LOOP');
    ASSERT_TRUE(journal.WaitForCount(6));
    EXPECT_EQ("looper:LOOP", journal.Entries().back());
    delete second;
    EXPECT_FALSE(toSecond.IsValid());

    // A handler deleted while it belongs to a looper leaves it first.
    delete first;
    ASSERT_TRUE(looper->Lock());
    EXPECT_EQ(1, looper->CountHandlers());
    looper->Quit();
}

TEST_F(HandlerTest, SynchronousRepliesWithinTheProcess)
{
    Journal journal;
    auto* looper = new JournalLooper(&journal);
    auto* keeper = new NamedHandler("keeper", 'KEEP', &journal);
    looper->AddHandler(keeper);
    looper->Run();
    BMessenger target(NULL, looper);

    BMessage reply;
    EXPECT_EQ(B_OK, target.SendMessage('PING', &reply));
    EXPECT_EQ((uint32)'PONG', reply.what);
    EXPECT_TRUE(reply.IsReply());
    // Handled without an answer: the looper answers B_NO_REPLY for the handler.
    EXPECT_EQ(B_OK, target.SendMessage('LOOP', &reply));
    EXPECT_EQ((uint32)B_NO_REPLY, reply.what);
    // Nobody handles it.
    EXPECT_EQ(B_OK, target.SendMessage('WHAT', &reply));
    EXPECT_EQ((uint32)B_MESSAGE_NOT_UNDERSTOOD, reply.what);
    // The handler keeps the message: no answer, so the wait times out.
    BMessage kept('KEEP');
    kept.AddInt32("value", 7);
    EXPECT_EQ(B_TIMED_OUT,
              BMessenger(keeper).SendMessage(&kept, &reply, B_INFINITE_TIMEOUT, 100000));
    // The loop held the lock while the handler ran.
    ASSERT_TRUE(looper->Lock());
    ASSERT_NE(nullptr, keeper->fKept);
    int32 value = 0;
    EXPECT_EQ(B_OK, keeper->fKept->FindInt32("value", &value));
    EXPECT_EQ(7, value);
    EXPECT_TRUE(keeper->fKept->WasDelivered());
    delete keeper->fKept;
    looper->Unlock();

    EXPECT_EQ(B_BAD_VALUE, target.SendMessage((BMessage*)NULL, &reply));
    EXPECT_EQ(B_BAD_VALUE, target.SendMessage((BMessage*)NULL));
    EXPECT_EQ(B_BAD_PORT_ID, BMessenger().SendMessage('LOOP'));
    EXPECT_FALSE(BMessenger().IsValid());

    ASSERT_TRUE(looper->Lock());
    looper->Quit();
    delete keeper;
}

#ifdef B_ZETA_VERSION
TEST_F(HandlerTest, SendMessageAtTimeWaitsUntilThen)
{
    Journal journal;
    auto* looper = new JournalLooper(&journal);
    looper->Run();
    BMessenger target(NULL, looper);
    BMessage later('LOOP');
    bigtime_t start = system_time();
    EXPECT_EQ(B_OK, target.SendMessageAtTime(&later, start + 100000, BMessenger(), 0,
                                             B_INFINITE_TIMEOUT));
    BMessage now('PONG');
    EXPECT_EQ(B_OK, target.SendMessageAtTime(&now, 0, BMessenger(), 0, 0));
    ASSERT_TRUE(journal.WaitForCount(2));
    EXPECT_GE(system_time() - start, 100000);
    std::vector<std::string> expected = {"looper:PONG", "looper:LOOP"};
    EXPECT_EQ(expected, journal.Entries());
    ASSERT_TRUE(looper->Lock());
    looper->Quit();
}
#endif

TEST(MessageQueueTest, KeepsOrderAndFindsByCode)
{
    BMessageQueue queue;
    EXPECT_TRUE(queue.IsEmpty());
    auto* a = new BMessage('AAAA');
    auto* b = new BMessage('BBBB');
    auto* c = new BMessage('AAAA');
    queue.AddMessage(a);
    queue.AddMessage(b);
    queue.AddMessage(c);
    queue.AddMessage(NULL);
    EXPECT_EQ(3, queue.CountMessages());
    EXPECT_EQ(b, queue.FindMessage(1));
    EXPECT_EQ(NULL, queue.FindMessage(3));
    EXPECT_EQ(c, queue.FindMessage('AAAA', 1));
    EXPECT_EQ(NULL, queue.FindMessage('CCCC'));
    queue.RemoveMessage(b);
    delete b;
    EXPECT_EQ(a, queue.NextMessage());
    delete a;
    EXPECT_EQ(1, queue.CountMessages());
    // c is deleted with the queue.
}

} // namespace
