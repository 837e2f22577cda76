#ifndef VEK_TESTS_READER_PCSCD_H
#define VEK_TESTS_READER_PCSCD_H

// The real pcscd, run by a test with the vpcd virtual reader driver, and a
// virtual contactless card that vpcd puts on its reader.
//
// pcscd's socket and pid file have fixed places under /run/pcscd. So that
// the system's pcscd and its files stay untouched, the test's pcscd runs in a
// mount namespace of its own, where a folder of the test is /run/pcscd: the
// socket lies in that folder, and the client library finds it through
// PCSCLITE_CSOCK_NAME. The namespace also hides the USB drivers, so that real
// readers stay with the system's pcscd.

#include "support/Daemon.h"
#include "support/Process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class Pcscd
{
public:
    static constexpr const char* kProgram = "/usr/sbin/pcscd";
    static constexpr const char* kDriver = "/usr/lib/pcsc/drivers/serial/libifdvpcd.so";

    // Why pcscd cannot run here, or nothing.
    static std::string Unavailable()
    {
        if (access(kProgram, X_OK) != 0)
            return std::string("no pcscd at ") + kProgram + " (Debian: pcscd)";
        if (access(kDriver, R_OK) != 0)
            return std::string("no vpcd driver at ") + kDriver + " (Debian: vsmartcard-vpcd)";
        std::string why = Daemon::Unavailable();
        if (!why.empty())
            return why;
        std::vector<std::string> probe = Namespace();
        probe.insert(probe.end(), {"/bin/sh", "-c", "mount -t tmpfs none /run"});
        std::string out, err;
        if (Process::Run(probe[0], {probe.begin() + 1, probe.end()}, 10000, &out, &err) != 0)
            return "cannot give pcscd a mount namespace of its own (unshare): " + err;
        return "";
    }

    // folder holds the socket, the reader configuration and a copy of the driver.
    explicit Pcscd(const std::string& folder) : fFolder(folder)
    {
        std::filesystem::remove_all(ConfigFolder());
        std::filesystem::create_directories(ConfigFolder());
        std::filesystem::copy_file(kDriver, fFolder + "/libifdvpcd.so",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    std::string Socket() const { return fFolder + "/pcscd.comm"; }

    // vpcd's reader, with two slots; each takes its card on a TCP port of
    // its own, new ones each time. Read at the next Start.
    void AddVirtualReader()
    {
        fPort = FreePortPair();
        char channel[16];
        snprintf(channel, sizeof(channel), "0x%04X", fPort);
        std::ofstream(ConfigFolder() + "/vpcd") << "FRIENDLYNAME \"Virtual PCD\"\n"
                                                << "DEVICENAME /dev/null:" << channel << "\n"
                                                << "LIBPATH " << fFolder << "/libifdvpcd.so\n"
                                                << "CHANNELID " << channel << "\n";
    }

    // The port of a slot's card.
    int CardPort(int slot) const { return fPort + slot; }

    bool Start()
    {
        std::vector<std::string> command = Namespace();
        command.insert(
            command.end(),
            {"/bin/sh", "-c",
             "set -e; mount -t tmpfs none /run; mkdir /run/pcscd;"
             " mount --bind \"$0\" /run/pcscd; mount -t tmpfs none /usr/lib/pcsc/drivers;"
             " exec " +
                 std::string(kProgram) + " --foreground --config \"$0/reader.conf.d\"",
             fFolder});
        return fDaemon.Start(command[0], {command.begin() + 1, command.end()},
                             [this] { return Daemon::AcceptsUnix(Socket()); });
    }

    // Ends it as the system ends it; it removes its socket.
    void Stop() { fDaemon.Stop(); }

    std::string Log() const { return fDaemon.Log(); }

private:
    static std::vector<std::string> Namespace()
    {
        if (geteuid() == 0)
            return {"/usr/bin/unshare", "--mount", "--propagation", "private"};
        return {"/usr/bin/unshare", "--user", "--map-root-user", "--mount"};
    }

    // vpcd listens on all addresses, on a port and the next.
    static int FreePortPair()
    {
        for (;;) {
            int first = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            socklen_t length = sizeof(address);
            bind(first, reinterpret_cast<sockaddr*>(&address), sizeof(address));
            getsockname(first, reinterpret_cast<sockaddr*>(&address), &length);
            int port = ntohs(address.sin_port);
            int second = socket(AF_INET, SOCK_STREAM, 0);
            address.sin_port = htons(port + 1);
            bool free = port < 65535 &&
                        bind(second, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
            close(first);
            close(second);
            if (free)
                return port;
        }
    }

    std::string ConfigFolder() const { return fFolder + "/reader.conf.d"; }

    std::string fFolder;
    int fPort = 0;
    Daemon fDaemon;
};

// A contactless card for vpcd's reader. vpcd speaks a small protocol over
// TCP: every message is a 2-byte big-endian length and its bytes; one byte
// is a command (power off, power on, reset, ATR), more is an APDU to answer.
// Connecting puts the card on the reader, closing takes it away.
class VirtualCard
{
public:
    // uidAnswer: what the card answers to FF CA 00 00 00, status included.
    explicit VirtualCard(std::vector<uint8_t> uidAnswer) : fUidAnswer(std::move(uidAnswer)) {}
    ~VirtualCard() { Remove(); }

    // Puts the card on the reader whose slot takes cards on port.
    bool Insert(int port)
    {
        Remove();
        fSocket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (connect(fSocket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            close(fSocket);
            fSocket = -1;
            return false;
        }
        fThread = std::thread([this] { Serve(); });
        return true;
    }

    void Remove()
    {
        if (fSocket < 0)
            return;
        shutdown(fSocket, SHUT_RDWR);
        fThread.join();
        close(fSocket);
        fSocket = -1;
    }

    int UidRequests() const { return fUidRequests; }

private:
    void Serve()
    {
        const std::vector<uint8_t> atr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C,
                                          0xA0, 0x00, 0x00, 0x03, 0x06, 0x03, 0x00,
                                          0x01, 0x00, 0x00, 0x00, 0x00, 0x6A};
        const std::vector<uint8_t> getUid = {0xFF, 0xCA, 0x00, 0x00, 0x00};
        std::vector<uint8_t> request;
        while (Receive(&request)) {
            if (request.size() == 1) {
                if (request[0] == 0x04 && !Send(atr))
                    return;
            } else if (request == getUid) {
                fUidRequests++;
                if (!Send(fUidAnswer))
                    return;
            } else if (!Send({0x6D, 0x00})) {
                return;
            }
        }
    }

    bool ReadAll(uint8_t* data, size_t size)
    {
        while (size > 0) {
            ssize_t count = recv(fSocket, data, size, 0);
            if (count <= 0)
                return false;
            data += count;
            size -= count;
        }
        return true;
    }

    bool Receive(std::vector<uint8_t>* message)
    {
        uint8_t length[2];
        if (!ReadAll(length, 2))
            return false;
        message->resize(length[0] << 8 | length[1]);
        return ReadAll(message->data(), message->size());
    }

    bool Send(const std::vector<uint8_t>& message)
    {
        std::vector<uint8_t> data = {uint8_t(message.size() >> 8), uint8_t(message.size())};
        data.insert(data.end(), message.begin(), message.end());
        return send(fSocket, data.data(), data.size(), MSG_NOSIGNAL) == ssize_t(data.size());
    }

    std::vector<uint8_t> fUidAnswer;
    int fSocket = -1;
    std::thread fThread;
    std::atomic<int> fUidRequests = 0;
};

#endif
