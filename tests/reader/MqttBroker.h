#ifndef VEK_TESTS_READER_MQTT_BROKER_H
#define VEK_TESTS_READER_MQTT_BROKER_H

// A real mosquitto broker of the test's own on a free loopback port, and a
// plain libmosquitto client that publishes to it and listens to it.

#include "support/Daemon.h"
#include "support/ScratchDir.h"

#include <mosquitto.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MqttBroker
{
public:
    static constexpr const char* kProgram = "/usr/sbin/mosquitto";

    // Why the broker cannot run here, or nothing.
    static std::string Unavailable()
    {
        if (access(kProgram, X_OK) != 0)
            return std::string("no mosquitto broker at ") + kProgram + " (Debian: mosquitto)";
        return Daemon::Unavailable();
    }

    MqttBroker() : fPort(FreePort())
    {
        // Run as the test's user: a change of user would clear the signal
        // that ends the broker with the test.
        const passwd* user = getpwuid(geteuid());
        fFolder.WriteFile("mosquitto.conf", "listener " + std::to_string(fPort) +
                                                " 127.0.0.1\n"
                                                "allow_anonymous true\n"
                                                "persistence false\n"
                                                "log_dest stdout\n"
                                                "user " +
                                                std::string(user != nullptr ? user->pw_name : "") +
                                                "\n");
    }

    int Port() const { return fPort; }

    // Starts it and waits until it takes connections.
    bool Start()
    {
        return fDaemon.Start(kProgram, {"-c", fFolder / "mosquitto.conf"},
                             [this] { return Daemon::AcceptsTcp(fPort); });
    }

    void Stop() { fDaemon.Stop(); }

    std::string Log() const { return fDaemon.Log(); }

private:
    static int FreePort()
    {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        close(fd);
        return ntohs(address.sin_port);
    }

    ScratchDir fFolder;
    int fPort;
    Daemon fDaemon;
};

// Publishes with QoS 1 and waits for the broker's acknowledgement, so that
// what a test published has reached the broker, in order; keeps what arrives
// on the topic it subscribes to, and reconnects by itself.
class MqttTestClient
{
public:
    MqttTestClient(int port, const std::string& subscription = "") : fSubscription(subscription)
    {
        mosquitto_lib_init();
        fClient = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(fClient, [](mosquitto* client, void* data, int code) {
            auto* self = static_cast<MqttTestClient*>(data);
            if (code == 0 && !self->fSubscription.empty())
                mosquitto_subscribe(client, nullptr, self->fSubscription.c_str(), 1);
        });
        mosquitto_publish_callback_set(fClient, [](mosquitto*, void* data, int id) {
            auto* self = static_cast<MqttTestClient*>(data);
            std::lock_guard lock(self->fLock);
            self->fAcknowledged.push_back(id);
            self->fChanged.notify_all();
        });
        mosquitto_message_callback_set(
            fClient, [](mosquitto*, void* data, const mosquitto_message* message) {
                auto* self = static_cast<MqttTestClient*>(data);
                std::lock_guard lock(self->fLock);
                self->fMessages.emplace_back(static_cast<const char*>(message->payload),
                                             message->payloadlen);
                self->fChanged.notify_all();
            });
        mosquitto_reconnect_delay_set(fClient, 1, 1, false);
        mosquitto_connect_async(fClient, "127.0.0.1", port, 20);
        mosquitto_loop_start(fClient);
    }

    ~MqttTestClient()
    {
        mosquitto_disconnect(fClient);
        mosquitto_loop_stop(fClient, true);
        mosquitto_destroy(fClient);
    }

    // Waits for the client to be connected (again) first.
    bool Publish(const std::string& topic, const std::string& payload)
    {
        int id;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (mosquitto_publish(fClient, &id, topic.c_str(), payload.size(), payload.data(), 1,
                                 false) != MOSQ_ERR_SUCCESS) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::unique_lock lock(fLock);
        return fChanged.wait_for(lock, std::chrono::seconds(20), [&] {
            for (int acknowledged : fAcknowledged) {
                if (acknowledged == id)
                    return true;
            }
            return false;
        });
    }

    std::vector<std::string> Messages() const
    {
        std::lock_guard lock(fLock);
        return fMessages;
    }

    bool WaitForMessages(size_t count, int timeoutMs = 20000)
    {
        std::unique_lock lock(fLock);
        return fChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return fMessages.size() >= count; });
    }

private:
    std::string fSubscription;
    mosquitto* fClient;
    mutable std::mutex fLock;
    std::condition_variable fChanged;
    std::vector<int> fAcknowledged;
    std::vector<std::string> fMessages;
};

#endif
