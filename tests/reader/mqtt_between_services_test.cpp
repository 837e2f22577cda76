// Two reader services meeting at a real broker, as on two machines: one
// publishes its local reads, the other takes them from the broker and hands
// them to the real client.

#include "reader/MqttBroker.h"
#include "reader/ReaderHarness.h"

namespace
{

const char kProbe[] = "F00D";

class MqttClientTest : public ReaderTest
{
protected:
    void SetUp() override
    {
        ReaderTest::SetUp();
        std::string why = MqttBroker::Unavailable();
        if (!why.empty())
            GTEST_SKIP() << why;
        ASSERT_TRUE(fBroker.Start()) << fBroker.Log();
    }

    std::string Broker() const { return "127.0.0.1:" + std::to_string(fBroker.Port()); }

    MqttBroker fBroker;
};

TEST_F(MqttClientTest, ReadsPublishedElsewhereReachTheClientAndAreNotPublishedAgain)
{
    AvatarList("alice|04A1B2C3\n");
    Picture("alice", 20, 30, {200, 0, 0, 255});
    Process client;
    Start(client);

    // This machine: reads from the broker, and publishes its own reads to the
    // same topic, which it also reads; reads that came from the broker are
    // not published back, or they would go round for ever.
    Process here;
    StartReader(here,
                {"--mqtt", Broker(), "--name", "net", "--topic", "vek/#", "--publish", "vek/reads"},
                false);
    MqttTestClient watcher(fBroker.Port(), "vek/reads");
    MqttTestClient probe(fBroker.Port());
    bool ready = false;
    for (int i = 0; i < 100 && !ready; i++) {
        ASSERT_TRUE(probe.Publish("vek/reads", kProbe));
        ready = WaitUntil([&] { return CountOf(here.Stdout(), std::string(" net ") + kProbe) > 0; },
                          200) &&
                watcher.WaitForMessages(1, 200);
    }
    ASSERT_TRUE(ready) << here.Stderr() << fBroker.Log();

    // The other machine: a reader of its own, a client of its own (not
    // running here), and the broker. A read typed at once, as a script
    // does, is published too: the service starts once it has reached the
    // broker.
    size_t published = watcher.Messages().size();
    Process there;
    StartReader(there, {"--stdin", "--name", "door", "--target", "application/x-vnd.elsewhere",
                        "--mqtt", Broker(), "--publish", "vek/reads"});
    Type("04:a1:b2:c3\n");
    ASSERT_TRUE(client.WaitForStdout(ShownFor("04A1B2C3", "alice"), 20000))
        << client.Stdout() << here.Stderr() << there.Stderr();
    ASSERT_TRUE(watcher.WaitForMessages(published + 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    std::vector<std::string> messages = watcher.Messages();
    ASSERT_EQ(messages.size(), published + 1) << messages.back();
    EXPECT_NE(messages.back().find("\"reader\":\"door\""), std::string::npos) << messages.back();
    EXPECT_NE(messages.back().find("\"tag\":\"04A1B2C3\""), std::string::npos) << messages.back();
    EXPECT_EQ(CountOf(here.Stdout(), " net 04A1B2C3 "), 1u) << here.Stdout();
    EXPECT_EQ(CountOf(client.Stdout(), "ManageLogo end 'alice'"), 1u) << client.Stdout();
    EXPECT_EQ(here.Stderr().find("skipped"), std::string::npos) << here.Stderr();

    for (Process* reader : {&here, &there}) {
        ASSERT_TRUE(reader->Signal(SIGTERM));
        ASSERT_TRUE(reader->Wait(20000));
        EXPECT_EQ(reader->ExitCode(), 0) << reader->Stderr();
    }
    Quit(client);
}

} // namespace
