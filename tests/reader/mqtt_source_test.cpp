// The MQTT reader and publisher against a real mosquitto broker.

#include "sources/MqttSource.h"
#include "reader/MqttBroker.h"
#include "reader/SourceRun.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace
{

const char kProbe[] = "F00D";

// A broker of the test's own, an MQTT reader subscribed to it, and a client
// that publishes what the readers of the test would.
class MqttTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string why = MqttBroker::Unavailable();
        if (!why.empty())
            GTEST_SKIP() << why;
        ASSERT_TRUE(fBroker.Start()) << fBroker.Log();
        fSettings.name = "net";
        fSettings.host = "127.0.0.1";
        fSettings.port = fBroker.Port();
        fSettings.topic = "readers/#";
        fClient = std::make_unique<MqttTestClient>(fBroker.Port());
    }

    // Publishes probes until the reader has one, so that the reader is
    // subscribed before the test publishes what counts.
    bool WaitUntilSubscribed(SourceLog& sink)
    {
        size_t before = sink.Count(kProbe);
        for (int i = 0; i < 100; i++) {
            if (!fClient->Publish("readers/probe", kProbe))
                return false;
            if (sink.WaitForTag(kProbe, before + 1, 200))
                return true;
        }
        return false;
    }

    // The reads but the probes.
    static std::vector<TagRead> Reads(const SourceLog& sink)
    {
        std::vector<TagRead> reads;
        for (const TagRead& read : sink.Reads()) {
            if (read.tag != kProbe)
                reads.push_back(read);
        }
        return reads;
    }

    MqttBroker fBroker;
    MqttSettings fSettings;
    std::unique_ptr<MqttTestClient> fClient;
};

TEST_F(MqttTest, GoodPayloadsAreReadAndBadOnesSkipped)
{
    MqttSource source(fSettings);
    std::string error;
    ASSERT_EQ(source.Check(&error), B_OK) << error;
    SourceLog sink;
    SourceThread running(source, sink);
    ASSERT_TRUE(WaitUntilSubscribed(sink));

    const std::vector<std::string> good = {"04:a1:b2", R"({"uid":"04A1B2C3"})",
                                           R"({"event":{"card":{"rfid":"DEADBEEF"}}})",
                                           R"({"tag":1234567890})"};
    const std::vector<std::string> bad = {"hello world",  "{not json", R"({"name":"x"})",
                                          "\xff\xfe\x41", "",          std::string(1 << 20, 'A'),
                                          R"({"uid":-5})"};
    for (const std::string& payload : good)
        ASSERT_TRUE(fClient->Publish("readers/door", payload));
    for (const std::string& payload : bad)
        ASSERT_TRUE(fClient->Publish("readers/gate", payload));
    ASSERT_TRUE(fClient->Publish("readers/door", "CAFE"));
    ASSERT_TRUE(sink.WaitForTag("CAFE"));

    std::vector<TagRead> reads = Reads(sink);
    std::vector<std::string> tags;
    for (const TagRead& read : reads) {
        tags.push_back(read.tag);
        EXPECT_EQ(read.reader, "net");
        EXPECT_FALSE(read.local);
        EXPECT_FALSE(read.repeats);
        EXPECT_EQ(read.typed, read.tag == "1234567890");
    }
    EXPECT_EQ(tags,
              (std::vector<std::string>{"04:a1:b2", "04A1B2C3", "DEADBEEF", "1234567890", "CAFE"}));

    std::vector<std::string> skips = sink.Skips();
    ASSERT_EQ(skips.size(), bad.size());
    for (const std::string& why : skips)
        EXPECT_EQ(why.rfind("readers/gate: ", 0), 0u) << why;
    EXPECT_EQ(skips[3], "readers/gate: payload is not valid UTF-8");
    EXPECT_EQ(skips[5], "readers/gate: payload of 1048576 bytes is too long");
    EXPECT_TRUE(sink.Losses().empty());

    EXPECT_LT(running.Stop().count(), 2000);
}

TEST_F(MqttTest, FieldPathIsFollowedInsteadOfTheUsualKeys)
{
    fSettings.field = "data.card.id";
    MqttSource source(fSettings);
    SourceLog sink;
    SourceThread running(source, sink);
    ASSERT_TRUE(WaitUntilSubscribed(sink));

    ASSERT_TRUE(fClient->Publish("readers/door", R"({"uid":"11","data":{"card":{"id":"0A0B"}}})"));
    ASSERT_TRUE(fClient->Publish("readers/door", R"({"uid":"22","data":{}})"));
    ASSERT_TRUE(fClient->Publish("readers/door", R"({"data":{"card":{"id":3}}})"));
    ASSERT_TRUE(sink.WaitForTag("3"));

    std::vector<TagRead> reads = Reads(sink);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].tag, "0A0B");
    EXPECT_EQ(reads[1].tag, "3");
    EXPECT_EQ(sink.Skips(),
              std::vector<std::string>{"readers/door: JSON payload has no data.card.id"});
}

TEST_F(MqttTest, BrokerRestartIsSaidOnceEachWayAndReadsGoOn)
{
    MqttSource source(fSettings);
    SourceLog sink;
    SourceThread running(source, sink);
    ASSERT_TRUE(WaitUntilSubscribed(sink));

    fBroker.Stop();
    ASSERT_TRUE(sink.WaitForLosses(1));
    // Several attempts to reconnect meanwhile, none of them said.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(sink.Losses().size(), 1u);
    EXPECT_NE(sink.Losses()[0].find("127.0.0.1:" + std::to_string(fBroker.Port())),
              std::string::npos)
        << sink.Losses()[0];
    EXPECT_EQ(sink.Backs(), 0);

    ASSERT_TRUE(fBroker.Start());
    ASSERT_TRUE(sink.WaitForBacks(1));
    // Subscribed again after the reconnection.
    ASSERT_TRUE(WaitUntilSubscribed(sink));
    ASSERT_TRUE(fClient->Publish("readers/door", "0102"));
    ASSERT_TRUE(sink.WaitForTag("0102"));
    EXPECT_EQ(sink.Losses().size(), 1u);
    EXPECT_EQ(sink.Backs(), 1);
    EXPECT_LT(running.Stop().count(), 2000);
}

TEST_F(MqttTest, BrokerNotRunningAtStartIsWaitedFor)
{
    fBroker.Stop();
    MqttSource source(fSettings);
    std::string error;
    EXPECT_EQ(source.Check(&error), B_OK) << error;
    SourceLog sink;
    SourceThread running(source, sink);
    ASSERT_TRUE(sink.WaitForLosses(1));
    EXPECT_NE(sink.Losses()[0].find("Connection refused"), std::string::npos) << sink.Losses()[0];

    ASSERT_TRUE(fBroker.Start());
    ASSERT_TRUE(sink.WaitForBacks(1));
    ASSERT_TRUE(WaitUntilSubscribed(sink));
    EXPECT_EQ(sink.Losses().size(), 1u);
    // Stops promptly also while it waits to reconnect.
    fBroker.Stop();
    ASSERT_TRUE(sink.WaitForLosses(2));
    EXPECT_LT(running.Stop().count(), 2000);
}

TEST_F(MqttTest, SettingsThatCannotWorkAreRefusedAtTheStart)
{
    std::string error;
    MqttSettings settings = fSettings;
    settings.topic = "";
    EXPECT_NE(MqttSource(settings).Check(&error), B_OK);
    EXPECT_EQ(error, "net: no MQTT topic to subscribe to");
    settings.topic = "readers/#/door";
    EXPECT_NE(MqttSource(settings).Check(&error), B_OK);
    EXPECT_EQ(error, "net: \"readers/#/door\" is not an MQTT topic");
    settings = fSettings;
    settings.field = "data..uid";
    EXPECT_NE(MqttSource(settings).Check(&error), B_OK);
    EXPECT_EQ(error, "net: \"data..uid\" is not a field path");
    settings = fSettings;
    settings.port = 70000;
    EXPECT_NE(MqttSource(settings).Check(&error), B_OK);
    EXPECT_EQ(error, "net: 70000 is not a port");

    settings = fSettings;
    settings.publishTopic = "reads/+";
    EXPECT_NE(MqttPublisher(settings).Check(&error), B_OK);
    EXPECT_EQ(error, "net: \"reads/+\" is not an MQTT topic to publish to");
}

// Publishes until the subscriber has a message, so that the publisher is
// connected before what counts.
bool WaitUntilPublishing(MqttPublisher& publisher, MqttTestClient& subscriber)
{
    size_t before = subscriber.Messages().size();
    for (int i = 0; i < 100; i++) {
        publisher.Publish(kProbe, "probe", 0);
        if (subscriber.WaitForMessages(before + 1, 200))
            return true;
    }
    return false;
}

TEST_F(MqttTest, LocalReadsArePublishedAsJsonAndDroppedWhileTheBrokerIsAway)
{
    fSettings.publishTopic = "vek/reads";
    MqttTestClient subscriber(fBroker.Port(), "vek/reads");
    auto owned = std::make_unique<MqttPublisher>(fSettings);
    MqttPublisher& publisher = *owned;
    std::string error;
    ASSERT_EQ(publisher.Check(&error), B_OK) << error;
    ASSERT_TRUE(WaitUntilPublishing(publisher, subscriber));

    size_t before = subscriber.Messages().size();
    publisher.Publish("04A1B2", "door", 1700000000);
    ASSERT_TRUE(subscriber.WaitForMessages(before + 1));
    nlohmann::json read = nlohmann::json::parse(subscriber.Messages()[before], nullptr, false);
    ASSERT_TRUE(read.is_object()) << subscriber.Messages()[before];
    EXPECT_EQ(read, nlohmann::json(
                        {{"tag", "04A1B2"}, {"reader", "door"}, {"time", "2023-11-14T22:13:20Z"}}));

    fBroker.Stop();
    // Reads made before the publisher notices the loss may vanish with the
    // connection; from then on every one is dropped, at once.
    for (int i = 0; i < 200 && publisher.Dropped() == 0; i++) {
        publisher.Publish("0001", "door", 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_GT(publisher.Dropped(), 0u);
    size_t dropped = publisher.Dropped();
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; i++)
        publisher.Publish("0002", "door", 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(publisher.Dropped(), dropped + 1000);

    ASSERT_TRUE(fBroker.Start());
    ASSERT_TRUE(WaitUntilPublishing(publisher, subscriber));
    before = subscriber.Messages().size();
    publisher.Publish("0A0B", "gate", 1700000001);
    ASSERT_TRUE(subscriber.WaitForMessages(before + 1));
    EXPECT_NE(subscriber.Messages()[before].find("\"0A0B\""), std::string::npos);

    // A read just before the service ends is still sent.
    publisher.Publish("0C0D", "gate", 1700000002);
    owned.reset();
    ASSERT_TRUE(subscriber.WaitForMessages(before + 2));
    EXPECT_NE(subscriber.Messages()[before + 1].find("\"0C0D\""), std::string::npos);
}

} // namespace
