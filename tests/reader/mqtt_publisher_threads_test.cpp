// The publisher used from several threads at once, while its own thread
// keeps the connection to a real broker.

#include "sources/MqttSource.h"
#include "reader/MqttBroker.h"

#include <gtest/gtest.h>

namespace
{

TEST(MqttPublisherThreads, EveryReadIsPublishedOrCountedAsDropped)
{
    std::string why = MqttBroker::Unavailable();
    if (!why.empty())
        GTEST_SKIP() << why;
    MqttBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log();
    MqttTestClient subscriber(broker.Port(), "vek/reads");

    MqttSettings settings;
    settings.host = "127.0.0.1";
    settings.port = broker.Port();
    settings.publishTopic = "vek/reads";
    constexpr size_t kThreads = 4;
    constexpr size_t kReads = 500;
    size_t dropped;
    {
        MqttPublisher publisher(settings);
        // Connected once the subscriber has a probe.
        bool connected = false;
        for (int i = 0; i < 100 && !connected; i++) {
            publisher.Publish("F00D", "probe", 0);
            connected = subscriber.WaitForMessages(1, 200);
        }
        ASSERT_TRUE(connected);
        size_t probes = subscriber.Messages().size();
        size_t droppedProbes = publisher.Dropped();

        std::vector<std::thread> threads;
        for (size_t t = 0; t < kThreads; t++) {
            threads.emplace_back([&publisher, t] {
                for (size_t i = 0; i < kReads; i++)
                    publisher.Publish(std::to_string(t * kReads + i), "door", 0);
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        dropped = publisher.Dropped() - droppedProbes;
        // Reads are dropped only when many wait to be sent.
        EXPECT_LT(dropped, kThreads * kReads);
        ASSERT_TRUE(subscriber.WaitForMessages(probes + kThreads * kReads - dropped));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    size_t received = 0;
    for (const std::string& message : subscriber.Messages())
        received += message.find("\"door\"") != std::string::npos;
    EXPECT_EQ(received + dropped, kThreads * kReads);
}

} // namespace
