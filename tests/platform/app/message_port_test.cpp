// The queue in front of a looper: messages that came from other processes
// hold no more than a bounded number of bytes, whatever their count.

#include "app/EventSignal.h"
#include "app/MessagePort.h"

#include <gtest/gtest.h>

#include <poll.h>

using BPrivate::EventSignal;
using BPrivate::MessagePort;

namespace
{

bool Raised(const EventSignal& signal)
{
    pollfd poll_fd = {signal.Fd(), POLLIN, 0};
    return poll(&poll_fd, 1, 0) == 1;
}

std::unique_ptr<BMessage> Event()
{
    return std::make_unique<BMessage>('RFID');
}

} // namespace

TEST(MessagePortTest, RemoteMessagesAreBoundedByTheirBytes)
{
    const size_t big = 8 * 1024 * 1024;
    MessagePort port(10, 200);
    int queued = 0;
    while (port.Post(Event(), 0, false, nullptr, big) == B_OK)
        queued++;
    EXPECT_EQ((int)(MessagePort::kQueuedBytesBound / big), queued);
    EXPECT_EQ(B_OK, port.Post(Event(), 0)) << "messages of this process count by number only";

    // A reader that must not wait is told when a quarter of the bytes is free.
    auto signal = std::make_shared<EventSignal>();
    ASSERT_TRUE(signal->IsValid());
    EXPECT_EQ(B_WOULD_BLOCK, port.Post(Event(), 0, false, signal, big));
    ASSERT_NE(nullptr, port.Take(0));
    EXPECT_FALSE(Raised(*signal));
    while (!Raised(*signal) && port.Take(0) != nullptr) {
    }
    EXPECT_TRUE(Raised(*signal));
    EXPECT_EQ(B_OK, port.Post(Event(), 0, false, nullptr, big));

    // Taking everything gives the bytes back; one message larger than the
    // bound still goes into an empty queue.
    while (port.Take(0) != nullptr) {
    }
    EXPECT_EQ(B_OK, port.Post(Event(), 0, false, nullptr, 2 * MessagePort::kQueuedBytesBound));
    EXPECT_EQ(B_WOULD_BLOCK, port.Post(Event(), 0, false, nullptr, 1));
    ASSERT_NE(nullptr, port.Take(0));
    for (int i = 0; i < queued; i++)
        EXPECT_EQ(B_OK, port.Post(Event(), 0, false, nullptr, big)) << i;
}

TEST(MessagePortTest, MessagesFromOtherProcessesAreNotQueuedBehindAQuitRequest)
{
    MessagePort port(10, 4);
    const size_t remote = 64;
    EXPECT_EQ(B_OK, port.Post(Event(), 0, false, nullptr, remote));
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(B_OK, port.Post(Event(), 0));
    auto signal = std::make_shared<EventSignal>();
    ASSERT_TRUE(signal->IsValid());

    for (uint32 quit : {(uint32)B_QUIT_REQUESTED, (uint32)_QUIT_}) {
        // A reader waiting for room hears at once that there will be none for it.
        EXPECT_EQ(B_WOULD_BLOCK, port.Post(Event(), 0, false, signal, remote));
        EXPECT_FALSE(Raised(*signal));
        EXPECT_EQ(B_OK, port.Post(std::make_unique<BMessage>(quit), 0, true));
        EXPECT_TRUE(Raised(*signal));
        EXPECT_EQ(B_BAD_PORT_ID, port.Post(Event(), 0, false, nullptr, remote));
        EXPECT_EQ(B_OK, port.Post(Event(), 0, true)) << "this process's messages still go in";
        // Handled without quitting: the port takes them again.
        port.QuitRequestHandled();
        signal->Clear();
    }
    while (port.Take(0) != nullptr) {
    }
    EXPECT_EQ(B_OK, port.Post(Event(), 0, false, nullptr, remote));

    // Two requests in the queue: handling one leaves the other.
    port.Post(std::make_unique<BMessage>((uint32)B_QUIT_REQUESTED), 0, true);
    port.Post(std::make_unique<BMessage>((uint32)B_QUIT_REQUESTED), 0, true);
    port.QuitRequestHandled();
    EXPECT_EQ(B_BAD_PORT_ID, port.Post(Event(), 0, false, nullptr, remote));
    port.QuitRequestHandled();
    EXPECT_EQ(B_OK, port.Post(Event(), 0, false, nullptr, remote));
}
