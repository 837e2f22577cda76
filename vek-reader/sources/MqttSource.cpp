#include "sources/MqttSource.h"

#include "Log.h"

#include "sources/BackOff.h"
#include "tags/MqttPayload.h"

#include <Errors.h>

#include <mosquitto.h>
#include <nlohmann/json.hpp>

#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace
{

// Seconds between pings while nothing else is sent, so that a broker that
// vanished without closing the connection is noticed.
constexpr int kKeepAlive = 20;
// How often the connection's upkeep (pings, their answers) is looked after
// while nothing happens: well within the keep-alive.
constexpr int kUpkeepMs = kKeepAlive * 1000 / 4;
// How long a goodbye to the broker may take.
constexpr int kGoodbyeMs = 100;

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string Broker(const MqttSettings& settings)
{
    return settings.host + ":" + std::to_string(settings.port);
}

bool CheckBroker(const MqttSettings& settings, std::string* error)
{
    if (settings.host.empty()) {
        *error = settings.name + ": no MQTT broker host";
        return false;
    }
    if (settings.port < 1 || settings.port > 65535) {
        *error = settings.name + ": " + std::to_string(settings.port) + " is not a port";
        return false;
    }
    return true;
}

// What a libmosquitto result means, read right after the call (errno).
std::string Describe(int result)
{
    if (result == MOSQ_ERR_ERRNO)
        return strerror(errno);
    return mosquitto_strerror(result);
}

// One client of the broker. Run connects on the calling thread, keeps the
// connection and reconnects with a back-off when it is lost; callers of
// Handle on other threads may publish meanwhile, and Wake the loop to send.
// The loop is ours (libmosquitto's read, write and upkeep steps), so that it
// sleeps in one poll on the connection, the stop signal and the wake signal.
class Connection
{
public:
    struct Events {
        virtual ~Events() = default;
        // Each time the broker accepts the connection (subscribe here).
        virtual void Connected(mosquitto* client) {}
        virtual void Message(const mosquitto_message& message) {}
        virtual void Published() {}
        // Said once when the broker goes away or cannot be reached, and
        // once when it is back.
        virtual void Lost(const std::string& why) = 0;
        virtual void Back() = 0;
    };

    Connection(const MqttSettings& settings, Events& events) : fSettings(settings), fEvents(events)
    {
        InitLibrary();
        fClient = mosquitto_new(nullptr, true, this);
        if (fClient == nullptr)
            return;
        mosquitto_threaded_set(fClient, true);
        if (!settings.username.empty())
            mosquitto_username_pw_set(fClient, settings.username.c_str(),
                                      settings.password.empty() ? nullptr
                                                                : settings.password.c_str());
        mosquitto_connect_callback_set(fClient, &Connection::OnConnect);
        mosquitto_disconnect_callback_set(fClient, &Connection::OnDisconnect);
        mosquitto_message_callback_set(fClient, &Connection::OnMessage);
        mosquitto_publish_callback_set(fClient, &Connection::OnPublish);
    }

    ~Connection()
    {
        if (fClient != nullptr)
            mosquitto_destroy(fClient);
    }

    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    mosquitto* Handle() const { return fClient; }
    bool IsConnected() const { return fConnected; }
    // Something was queued to be sent from another thread.
    void Wake() const { fWake.Raise(); }

    void Run(const StopSignal& stop)
    {
        if (fClient == nullptr) {
            fEvents.Lost(std::string("cannot create an MQTT client: ") + strerror(errno));
            return;
        }
        while (!stop.IsRaised()) {
            fRefusal.clear();
            int result = mosquitto_connect_async(fClient, fSettings.host.c_str(), fSettings.port,
                                                 kKeepAlive);
            std::string why = Describe(result);
            if (result == MOSQ_ERR_SUCCESS) {
                result = Serve(stop);
                if (stop.IsRaised())
                    break;
                why = Describe(result);
            }
            fConnected = false;
            if (!fRefusal.empty())
                why = fRefusal;
            if (!fLost)
                fEvents.Lost("broker " + Broker(fSettings) + ": " + why);
            fLost = true;
            fBackOff.Wait(stop);
        }
        Disconnect();
    }

private:
    // Reads and writes the connection until it fails (the error) or stop is
    // raised (MOSQ_ERR_SUCCESS).
    int Serve(const StopSignal& stop)
    {
        for (;;) {
            int socket = mosquitto_socket(fClient);
            if (socket < 0)
                return MOSQ_ERR_NO_CONN;
            short events = POLLIN | (mosquitto_want_write(fClient) ? POLLOUT : 0);
            pollfd waits[3] = {
                {socket, events, 0}, {stop.Fd(), POLLIN, 0}, {fWake.Fd(), POLLIN, 0}};
            if (poll(waits, 3, kUpkeepMs) < 0 && errno != EINTR)
                return MOSQ_ERR_ERRNO;
            if (stop.IsRaised())
                return MOSQ_ERR_SUCCESS;
            if (waits[2].revents != 0)
                fWake.Clear();
            int result = MOSQ_ERR_SUCCESS;
            if (waits[0].revents & (POLLIN | POLLHUP | POLLERR))
                result = mosquitto_loop_read(fClient, 1);
            if (result == MOSQ_ERR_SUCCESS && mosquitto_want_write(fClient))
                result = mosquitto_loop_write(fClient, 1);
            if (result == MOSQ_ERR_SUCCESS)
                result = mosquitto_loop_misc(fClient);
            if (result != MOSQ_ERR_SUCCESS)
                return result;
        }
    }

    // Sends what is queued and says goodbye, briefly: the broker may be gone.
    void Disconnect()
    {
        if (!fConnected)
            return;
        if (mosquitto_disconnect(fClient) != MOSQ_ERR_SUCCESS)
            return;
        for (int i = 0; i < 10 && fConnected; i++) {
            if (mosquitto_loop(fClient, kGoodbyeMs, 1) != MOSQ_ERR_SUCCESS)
                break;
        }
        fConnected = false;
    }

    static void OnConnect(mosquitto* client, void* data, int code)
    {
        auto* self = static_cast<Connection*>(data);
        if (code != 0) {
            self->fRefusal = std::string("refused: ") + mosquitto_connack_string(code);
            return;
        }
        self->fConnected = true;
        self->fBackOff.Reset();
        if (self->fLost)
            self->fEvents.Back();
        self->fLost = false;
        self->fEvents.Connected(client);
    }

    static void OnDisconnect(mosquitto* client, void* data, int code)
    {
        static_cast<Connection*>(data)->fConnected = false;
    }

    static void OnMessage(mosquitto* client, void* data, const mosquitto_message* message)
    {
        static_cast<Connection*>(data)->fEvents.Message(*message);
    }

    static void OnPublish(mosquitto* client, void* data, int id)
    {
        static_cast<Connection*>(data)->fEvents.Published();
    }

    const MqttSettings& fSettings;
    Events& fEvents;
    mosquitto* fClient = nullptr;
    std::atomic<bool> fConnected = false;
    bool fLost = false;
    std::string fRefusal;
    BackOff fBackOff;
    BPrivate::EventSignal fWake;
};

std::string IsoTime(time_t when)
{
    struct tm parts;
    char text[32];
    if (gmtime_r(&when, &parts) == nullptr ||
        strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &parts) == 0)
        return std::to_string(when);
    return text;
}

} // namespace

// ---------------------------------------------------------------------------
// MqttSource: the broker's reads

MqttSource::MqttSource(const MqttSettings& settings) : fSettings(settings) {}

MqttSource::~MqttSource() = default;

const std::string& MqttSource::Name() const
{
    return fSettings.name;
}

// A broker that cannot be reached yet is no error: Run waits for it.
status_t MqttSource::Check(std::string* error)
{
    std::string why;
    if (!CheckBroker(fSettings, &why)) {
    } else if (fSettings.topic.empty()) {
        why = fSettings.name + ": no MQTT topic to subscribe to";
    } else if (mosquitto_sub_topic_check(fSettings.topic.c_str()) != MOSQ_ERR_SUCCESS) {
        why = fSettings.name + ": \"" + fSettings.topic + "\" is not an MQTT topic";
    } else if (!fSettings.field.empty() && !IsFieldPath(fSettings.field)) {
        why = fSettings.name + ": \"" + fSettings.field + "\" is not a field path";
    } else {
        return B_OK;
    }
    if (error != nullptr)
        *error = why;
    return B_BAD_VALUE;
}

void MqttSource::Run(TagSink& sink, const StopSignal& stop)
{
    struct Subscriber : Connection::Events {
        const MqttSettings& settings;
        TagSink& sink;

        Subscriber(const MqttSettings& settings, TagSink& sink) : settings(settings), sink(sink) {}

        void Connected(mosquitto* client) override
        {
            int result = mosquitto_subscribe(client, nullptr, settings.topic.c_str(), 0);
            if (result != MOSQ_ERR_SUCCESS)
                sink.Skipped(settings.name,
                             "cannot subscribe to " + settings.topic + ": " + Describe(result));
        }

        void Message(const mosquitto_message& message) override
        {
            std::string_view payload;
            if (message.payload != nullptr && message.payloadlen > 0)
                payload = {static_cast<const char*>(message.payload),
                           static_cast<size_t>(message.payloadlen)};
            std::string why;
            std::optional<PayloadTag> tag = FindPayloadTag(payload, settings.field, &why);
            if (!tag) {
                sink.Skipped(settings.name, std::string(message.topic) + ": " + why);
                return;
            }
            TagRead read;
            read.reader = settings.name;
            read.tag = tag->tag;
            read.typed = tag->typed;
            read.repeats = true;
            read.local = false;
            sink.Read(read);
        }

        void Lost(const std::string& why) override { sink.Lost(settings.name, why); }
        void Back() override { sink.Back(settings.name); }
    };

    Subscriber subscriber(fSettings, sink);
    Connection connection(fSettings, subscriber);
    connection.Run(stop);
}

// ---------------------------------------------------------------------------
// MqttPublisher: this machine's reads to the broker

// Drops reads rather than queueing them without end while the broker is
// away or does not keep up. Until the first attempt to reach the broker is
// over, reads would be dropped unsaid (a script's only read, typed at once):
// the start waits for that attempt, a short while at most.
struct MqttPublisher::Client : Connection::Events {
    static constexpr size_t kMostUnsent = 256;
    static constexpr std::chrono::seconds kFirstAttempt{2};

    const MqttSettings& settings;
    Connection connection;
    StopSignal stop;
    std::atomic<size_t> unsent = 0;
    std::atomic<size_t> dropped = 0;
    size_t droppedBefore = 0;
    std::mutex attemptLock;
    std::condition_variable attempted;
    bool firstAttemptOver = false;
    std::thread thread;

    explicit Client(const MqttSettings& settings)
        : settings(settings), connection(settings, *this), thread([this] { connection.Run(stop); })
    {
        std::unique_lock lock(attemptLock);
        attempted.wait_for(lock, kFirstAttempt, [this] { return firstAttemptOver; });
    }

    void AttemptOver()
    {
        std::lock_guard lock(attemptLock);
        firstAttemptOver = true;
        attempted.notify_all();
    }

    ~Client() override
    {
        stop.Raise();
        thread.join();
    }

    void Connected(mosquitto* client) override
    {
        unsent = 0;
        AttemptOver();
    }
    void Published() override
    {
        size_t count = unsent;
        while (count > 0 && !unsent.compare_exchange_weak(count, count - 1)) {
        }
    }

    void Lost(const std::string& why) override
    {
        Say(Level::kWarning, "%s: cannot publish reads: %s", settings.name.c_str(), why.c_str());
        droppedBefore = dropped;
        AttemptOver();
    }

    void Back() override
    {
        Say(Level::kNotice, "%s: publishing reads again to %s (%zu not published meanwhile)",
            settings.name.c_str(), Broker(settings).c_str(), dropped - droppedBefore);
    }
};

MqttPublisher::MqttPublisher(const MqttSettings& settings) : fSettings(settings)
{
    std::string error;
    if (Check(&error) == B_OK)
        fClient = std::make_unique<Client>(fSettings);
}

MqttPublisher::~MqttPublisher() = default;

status_t MqttPublisher::Check(std::string* error)
{
    std::string why;
    if (!CheckBroker(fSettings, &why)) {
    } else if (fSettings.publishTopic.empty()) {
        why = fSettings.name + ": no MQTT topic to publish to";
    } else if (mosquitto_pub_topic_check(fSettings.publishTopic.c_str()) != MOSQ_ERR_SUCCESS) {
        why = fSettings.name + ": \"" + fSettings.publishTopic +
              "\" is not an MQTT topic to publish to";
    } else {
        return B_OK;
    }
    if (error != nullptr)
        *error = why;
    return B_BAD_VALUE;
}

void MqttPublisher::Publish(const std::string& tag, const std::string& reader, time_t when)
{
    if (fClient == nullptr)
        return;
    Client& client = *fClient;
    if (!client.connection.IsConnected() || client.unsent >= Client::kMostUnsent) {
        client.dropped++;
        return;
    }
    nlohmann::json read = {{"tag", tag}, {"reader", reader}, {"time", IsoTime(when)}};
    std::string payload = read.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    // Counted before, so that the loop thread's Published never comes first.
    client.unsent++;
    int result =
        mosquitto_publish(client.connection.Handle(), nullptr, fSettings.publishTopic.c_str(),
                          payload.size(), payload.data(), 0, false);
    if (result != MOSQ_ERR_SUCCESS) {
        client.Published();
        client.dropped++;
        return;
    }
    client.connection.Wake();
}

size_t MqttPublisher::Dropped() const
{
    return fClient == nullptr ? 0 : fClient->dropped.load();
}
