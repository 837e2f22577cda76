// Quitting in the middle of a burst from several senders: each kind of quit
// request, and what the senders were told was delivered against what the
// program handled. Also built and run under ThreadSanitizer, where the program
// itself then runs instrumented.

#include "ProgramHarness.h"

#include <chrono>
#include <memory>
#include <thread>

#include <signal.h>
#include <stdio.h>
#include <string.h>

namespace
{

constexpr int kSenders = 4;
constexpr long kEach = 20000;

// How a quit request reaches the program: a signal, or 0 for the message.
struct QuitKind {
    const char* name;
    int signal;
};

void PrintTo(const QuitKind& kind, std::ostream* stream)
{
    *stream << kind.name;
}

const QuitKind kQuitKinds[] = {
    {"Hangup", SIGHUP}, {"Terminate", SIGTERM}, {"Interrupt", SIGINT}, {"Message", 0}};

} // namespace

class QuitDeliveryTest : public ProgramTest, public testing::WithParamInterface<QuitKind>
{
protected:
    // The trace of an event from sender i: the tag's respelling in the lookup
    // trace tells the senders apart.
    static std::string Handled(int sender)
    {
        return "| search: '" + std::to_string(sender) + "'\n";
    }

    // What send-message reported delivered: all of them, or as many as it did
    // not count as not delivered. A sender that cannot tell fails the test.
    static long Delivered(Process& sender)
    {
        if (sender.ExitCode() == 0)
            return kEach;
        EXPECT_EQ(1, sender.ExitCode()) << sender.Stderr();
        long missing = -1;
        long count = -1;
        char reason[128] = "";
        EXPECT_EQ(3, sscanf(sender.Stderr().c_str(),
                            "send-message: %ld of %ld messages not delivered: %127[^\n]", &missing,
                            &count, reason))
            << sender.Stderr();
        EXPECT_EQ(kEach, count);
        EXPECT_STREQ("the application is not running or is quitting", reason);
        return kEach - missing;
    }
};

TEST_P(QuitDeliveryTest, WhatSendersWereToldArrivedIsWhatWasHandled)
{
    Process program;
    Start(program);
    std::vector<std::unique_ptr<Process>> senders;
    for (int i = 1; i <= kSenders; i++) {
        senders.push_back(std::make_unique<Process>());
        ASSERT_TRUE(
            senders.back()->Start(std::string(VEK_BUILD_DIR) + "/send-message",
                                  {"--count", std::to_string(kEach), "application/VEK_BeOS", "RFID",
                                   "_time:int32=1", "_tagstr=S" + std::to_string(i)}));
    }

    // In the middle of the burst, every sender under way.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int i = 1; i <= kSenders; i++) {
        while (CountOf(program.Stdout(), Handled(i)) < 300) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << program.Stderr();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (GetParam().signal != 0)
        ASSERT_TRUE(program.Signal(GetParam().signal));
    else
        ASSERT_EQ(0, Send({"_QRQ"}));
    ASSERT_TRUE(program.Wait(30000)) << program.Stderr();
    EXPECT_EQ(0, program.ExitCode()) << program.Stderr();
    std::string out = program.Stdout();
    EXPECT_EQ(out.size() - 11, out.rfind("\n-VEK end-\n"));

    long told = 0;
    for (int i = 1; i <= kSenders; i++) {
        Process& sender = *senders[i - 1];
        ASSERT_TRUE(sender.Wait(60000)) << "sender " << i;
        long delivered = Delivered(sender);
        EXPECT_EQ((size_t)delivered, CountOf(out, Handled(i)))
            << "sender " << i << ": " << sender.Stderr();
        told += delivered;
    }
    EXPECT_EQ((size_t)told, CountOf(out, "xinfos: "));
    EXPECT_LT(told, kSenders * kEach) << "the quit came after the burst";
}

INSTANTIATE_TEST_SUITE_P(EachQuit, QuitDeliveryTest, testing::ValuesIn(kQuitKinds),
                         [](const testing::TestParamInfo<QuitKind>& info) {
                             return std::string(info.param.name);
                         });
