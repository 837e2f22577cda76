// The reader service end to end: an EM4100 reader on a pseudo-terminal, the
// real vek-reader reading it and the real client (headless) showing what it
// reads. Measures the time from a frame's last byte written on the pty to the
// client's trace line for that tag, one read at a time, and how many reads a
// second go through the service to the client. Every wait has a limit, and
// an alarm ends a run that hangs anyway, children included.

#include "Spawn.h"
#include "reader/SerialLine.h"
#include "support/ScratchDir.h"
#include "support/TestPictures.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

constexpr int kWarmUp = 20;
constexpr int kTimed = 1000;
constexpr int kBurst = 2000;
constexpr int kInFlight = 128;
constexpr auto kReadLimit = std::chrono::seconds(5);
constexpr auto kBurstLimit = std::chrono::seconds(60);
constexpr unsigned kWholeRunSeconds = 240;

pid_t gChildren[2] = {-1, -1};

void KillChildren()
{
    for (pid_t& child : gChildren) {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        child = -1;
    }
}

void OnAlarm(int)
{
    static const char said[] = "reader_bench: the run took too long; ended\n";
    write(STDERR_FILENO, said, sizeof(said) - 1);
    for (pid_t child : gChildren) {
        if (child > 0)
            kill(child, SIGKILL);
    }
    _exit(1);
}

// The client's trace, read from its pipe line by line, each line stamped
// when it came.
class Trace
{
public:
    explicit Trace(int fd) : fFd(fd) {}

    // The next line; false when none comes before the deadline.
    bool Next(Clock::time_point deadline, std::string* line, Clock::time_point* when)
    {
        for (;;) {
            size_t end = fPending.find('\n');
            if (end != std::string::npos) {
                *line = fPending.substr(0, end);
                *when = fStamp;
                fPending.erase(0, end + 1);
                return true;
            }
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd wait = {fFd, POLLIN, 0};
            if (poll(&wait, 1, int(left.count()) + 1) <= 0)
                continue;
            char bytes[65536];
            ssize_t count = read(fFd, bytes, sizeof(bytes));
            if (count <= 0)
                return false;
            fStamp = Clock::now();
            fPending.append(bytes, size_t(count));
        }
    }

    // Waits for the next line that contains text.
    bool WaitFor(const std::string& text, Clock::time_point deadline, Clock::time_point* when)
    {
        std::string line;
        while (Next(deadline, &line, when)) {
            if (line.find(text) != std::string::npos)
                return true;
        }
        return false;
    }

private:
    int fFd;
    std::string fPending;
    Clock::time_point fStamp;
};

std::string Card(int i)
{
    char text[16];
    snprintf(text, sizeof(text), "04%08X", i);
    return text;
}

// Waits for the client to look card i up, which must be the next card it
// looks up: none lost, none out of order.
bool WaitForCard(Trace& trace, int i, Clock::time_point deadline, Clock::time_point* when)
{
    const std::string marker = "search: '";
    std::string line;
    while (trace.Next(deadline, &line, when)) {
        size_t at = line.find(marker);
        if (at == std::string::npos)
            continue;
        if (line.compare(at + marker.size(), std::string::npos, Card(i).substr(1) + "'") == 0)
            return true;
        fprintf(stderr, "reader_bench: the client looked up \"%s\" where %s was next\n",
                line.c_str() + at + marker.size(), Card(i).c_str());
        return false;
    }
    fprintf(stderr, "reader_bench: %s did not reach the client in time\n", Card(i).c_str());
    return false;
}

double Ms(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

int Fail(const char* what)
{
    fprintf(stderr, "reader_bench: %s\n", what);
    KillChildren();
    return 1;
}

} // namespace

int main()
{
    signal(SIGALRM, OnAlarm);
    alarm(kWholeRunSeconds);

    // The client in an application folder of its own, with a list of a
    // hundred people; the cards read are not among them and show 'none'.
    ScratchDir root;
    std::string app = root / "app";
    std::filesystem::create_directories(app + "/avatars");
    std::filesystem::create_directories(root / "config");
    mkdir((root / "run").c_str(), 0700);
    std::filesystem::copy_file(std::string(VEK_BUILD_DIR) + "/VEK_BeOS", app + "/VEK_BeOS");
    std::string list;
    for (int i = 0; i < 100; i++)
        list += "person" + std::to_string(i) + "|05" + std::to_string(1000000 + i) + "\n";
    TestPictures::WriteText(app + "/rfid_avatar_list", list);
    TestPictures::WritePng(app + "/avatars/none", 64, 64, {90, 90, 90, 255});
    TestPictures::WritePng(app + "/avatars/givecard2", 64, 64, {0, 0, 200, 255});
    setenv("HOME", root.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    setenv("BE_DISPLAY", "headless", 1);

    FarEnd port(root / "ttyUSB-bench");
    if (!port.Plug())
        return Fail("no pseudo-terminal");

    int trace[2];
    if (pipe2(trace, O_CLOEXEC) != 0)
        return Fail("no pipe");
    gChildren[0] = Spawn(app + "/VEK_BeOS", {}, trace[1], root / "client.err");
    close(trace[1]);
    if (gChildren[0] < 0)
        return Fail("cannot start VEK_BeOS");
    Trace client(trace[0]);
    Clock::time_point when;
    if (!client.WaitFor("-- StartUp --", Clock::now() + std::chrono::seconds(20), &when))
        return Fail("the client did not start");
    std::string serviceErrors = root / "vek-reader.err";
    gChildren[1] =
        Spawn(std::string(VEK_BUILD_DIR) + "/vek-reader",
              {"--no-config", "--serial", port.Path(), "--name", "bench"}, -1, serviceErrors);
    if (gChildren[1] < 0)
        return Fail("cannot start vek-reader");
    auto failed = [&] {
        fprintf(stderr, "vek-reader said:\n%s", root.ReadFile("vek-reader.err").c_str());
        return Fail("ended");
    };

    // Until the service has the port open and the client's address.
    int next = 0;
    for (; next < kWarmUp; next++) {
        if (!port.Send(Em4100Frame(Card(next))))
            return Fail("cannot write to the pty");
        if (!WaitForCard(client, next, Clock::now() + std::chrono::seconds(20), &when))
            return failed();
    }

    // One read at a time: the next frame once the client traced the last.
    std::vector<double> latencies;
    for (int i = 0; i < kTimed; i++, next++) {
        if (!port.Send(Em4100Frame(Card(next))))
            return Fail("cannot write to the pty");
        Clock::time_point written = Clock::now();
        if (!WaitForCard(client, next, written + kReadLimit, &when))
            return failed();
        latencies.push_back(Ms(when - written));
        // Lets the client finish showing the picture, so that each read
        // finds it idle, as reads by hand do.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::sort(latencies.begin(), latencies.end());
    printf("frame's last byte on the pty to the client's trace line, %d reads one at a time:\n"
           "  median %.3f ms, 99th percentile %.3f ms, slowest %.3f ms\n",
           kTimed, latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100],
           latencies.back());

    // A pty takes frames far faster than any reader sends them, and faster
    // than the client shows them: the writer keeps no more than kInFlight
    // frames ahead of the client, so that the service's queue, which drops
    // the oldest when it is full, never overflows. What is measured is how
    // many reads a second the service and the client take one after another.
    int first = next;
    std::atomic<int> handled = 0;
    std::atomic<bool> stop = false;
    Clock::time_point start = Clock::now();
    std::thread writer([&] {
        for (int i = 0; i < kBurst && !stop; i++) {
            while (i - handled >= kInFlight && !stop)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            if (!port.Send(Em4100Frame(Card(first + i))))
                return;
        }
    });
    bool arrived = true;
    for (int i = 0; i < kBurst && arrived; i++, handled++)
        arrived = WaitForCard(client, first + i, start + kBurstLimit, &when);
    stop = true;
    writer.join();
    if (!arrived)
        return failed();
    double seconds = std::chrono::duration<double>(when - start).count();
    printf("through the service, %d reads at most %d ahead of the client: %.0f reads/s "
           "(all arrived, in order, in %.2f s)\n",
           kBurst, kInFlight, kBurst / seconds, seconds);

    for (pid_t child : gChildren)
        kill(child, SIGTERM);
    for (pid_t& child : gChildren) {
        waitpid(child, nullptr, 0);
        child = -1;
    }
    return 0;
}
