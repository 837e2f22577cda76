// Tag events from another thread while the user minimises the window and the
// avatar list is rewritten; also run under ThreadSanitizer.

#include "WindowHarness.h"

#include <thread>

class BurstTest : public ShownWindowTest
{
};

TEST_F(BurstTest, BurstWhileTheUserMinimisesAndTheListIsReplaced)
{
    Picture("alice", 16, 16);
    Picture("bob", 16, 16);
    WriteList("alice|0001\n");
    OpenShown();

    CaptureStdout capture;
    std::thread reader([&] {
        BMessage event = TagEvent(1, "00001");
        for (int i = 0; i < 2000; i++)
            fWindow->MessageReceived(&event);
    });
    for (int i = 0; i < 50; i++) {
        fServer->UserMinimized(fToken, true);
        WriteList(i % 2 == 0 ? "bob|0001\n" : "alice|0001\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    reader.join();
    Settle();
    std::string trace = capture.Stop();

    EXPECT_EQ(2000u, CountOf(trace, "xinfos: 2\n"));
    // Each lookup shows one picture: a person's, or "none" when it read the list
    // half written.
    EXPECT_EQ(2000u, CountOf(trace, "image: '"));
    ASSERT_TRUE(fWindow->Lock());
    EXPECT_LE(Log()->TextLength(), 400 + 12);
    BMessage last = TagEvent(2, "00001");
    fWindow->MessageReceived(&last);
    EXPECT_FALSE(fWindow->IsMinimized()) << "a lookup brings the window back";
    fWindow->Unlock();
}
