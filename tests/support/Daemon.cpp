#include "support/Daemon.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace
{

// Ends what it starts when the test ends, however it ends.
const char kSetpriv[] = "/usr/bin/setpriv";

bool Connects(int fd, const sockaddr* address, socklen_t length)
{
    bool accepted = fd >= 0 && connect(fd, address, length) == 0;
    if (fd >= 0)
        close(fd);
    return accepted;
}

} // namespace

std::string Daemon::Unavailable()
{
    if (access(kSetpriv, X_OK) != 0)
        return std::string("no ") + kSetpriv + " to end daemons with the test (Debian: util-linux)";
    return "";
}

bool Daemon::Start(const std::string& program, const std::vector<std::string>& arguments,
                   const std::function<bool()>& ready, int timeoutMs)
{
    Stop();
    fProcess = std::make_unique<Process>();
    std::vector<std::string> command = {"--pdeathsig", "TERM", program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    if (!fProcess->Start(kSetpriv, command))
        return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline && fProcess->IsRunning()) {
        if (ready())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void Daemon::Stop(int timeoutMs)
{
    if (fProcess != nullptr && fProcess->Signal(SIGTERM))
        fProcess->Wait(timeoutMs);
    fProcess.reset();
}

std::string Daemon::Log() const
{
    return fProcess != nullptr ? fProcess->Stdout() : "";
}

bool Daemon::AcceptsTcp(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return Connects(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0),
                    reinterpret_cast<sockaddr*>(&address), sizeof(address));
}

bool Daemon::AcceptsUnix(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.c_str());
    return Connects(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0),
                    reinterpret_cast<sockaddr*>(&address), sizeof(address));
}
