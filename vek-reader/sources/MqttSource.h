#ifndef VEK_READER_SOURCES_MQTT_SOURCE_H
#define VEK_READER_SOURCES_MQTT_SOURCE_H

// Readers elsewhere on the network publish their scans to an MQTT broker:
// MqttSource subscribes to them, MqttPublisher publishes this machine's reads.

#include "sources/TagSource.h"

#include <memory>
#include <string>

#include <time.h>

struct MqttSettings {
    // The reader's name in the service's log and messages.
    std::string name = "mqtt";
    std::string host = "localhost";
    int port = 1883;
    std::string username;
    std::string password;
    // The topic to subscribe to (MQTT wildcards allowed); empty: none.
    std::string topic;
    // Where the tag is in a JSON payload, as a dotted path ("data.uid");
    // empty: the first of uid, UID, rfid, tag at any depth. A payload that is
    // not JSON is the tag itself, as plain text.
    std::string field;
    // The topic that this machine's reads are published to; empty: none.
    std::string publishTopic;

    bool operator==(const MqttSettings&) const = default;
};

class MqttSource : public TagSource
{
public:
    explicit MqttSource(const MqttSettings& settings);
    ~MqttSource() override;

    const std::string& Name() const override;
    status_t Check(std::string* error) override;
    void Run(TagSink& sink, const StopSignal& stop) override;

private:
    MqttSettings fSettings;
};

// Publishes every local read as JSON {"tag", "reader", "time"} to
// publishTopic. Publish never blocks: reads made while the broker is away
// are dropped and counted.
class MqttPublisher
{
public:
    explicit MqttPublisher(const MqttSettings& settings);
    ~MqttPublisher();

    status_t Check(std::string* error);
    void Publish(const std::string& tag, const std::string& reader, time_t when);
    // The reads dropped so far.
    size_t Dropped() const;

private:
    struct Client;
    MqttSettings fSettings;
    std::unique_ptr<Client> fClient;
};

#endif
