#ifndef VEK_TESTS_SUPPORT_DAEMON_H
#define VEK_TESTS_SUPPORT_DAEMON_H

// A daemon that a test runs (a broker, pcscd …): started so that it ends with
// the test, also when the test is killed; waited for until it serves; ended
// as the system ends it.

#include "support/Process.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class Daemon
{
public:
    // Why daemons cannot be run here, or nothing.
    static std::string Unavailable();

    ~Daemon() { Stop(); }

    // Starts program and waits until ready() says that it serves; false when
    // it ends first or is not ready in time.
    bool Start(const std::string& program, const std::vector<std::string>& arguments,
               const std::function<bool()>& ready, int timeoutMs = 20000);
    // SIGTERM, and a wait for the end.
    void Stop(int timeoutMs = 20000);

    // What it wrote on standard output so far.
    std::string Log() const;

    // Whether something takes connections on a loopback TCP port, or on a
    // Unix socket.
    static bool AcceptsTcp(int port);
    static bool AcceptsUnix(const std::string& path);

private:
    std::unique_ptr<Process> fProcess;
};

#endif
