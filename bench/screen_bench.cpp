// What a person sees: a card read on an EM4100 reader (a pseudo-terminal), through the
// real vek-reader and the real client on its SDL backend, until the new picture's pixels
// are on an Xvfb screen with openbox managing it, read back from the X server. Two
// people's 96 × 96 pictures take turns, one read at a time; each read is a card of its
// own, so that no hold of the service stands in the way. The time runs from the frame's
// last byte written on the pty to the first moment the X server holds the new colour in
// the middle of the picture: the X server tells of every change to the window's pixels
// (XDamage), and the pixel is read back after each (XGetImage).
//
// The client's trace lines, stamped as they come, split each read in three: the service
// and the transport (to the lookup's trace), the lookup and the picture (to the logo's
// last trace), and the drawing and the display (to the pixels). The split is only as
// exact as the thread that reads the trace wakes; the whole way is measured exactly.
//
// Every wait has a limit; an alarm, or a signal, ends a run that hangs anyway, with every
// process it started.

#include "Spawn.h"
#include "reader/SerialLine.h"
#include "support/Process.h"
#include "support/ScratchDir.h"
#include "support/TestPictures.h"
#include "support/XServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

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
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

constexpr int kWarmUp = 10;
constexpr int kTimed = 400;
constexpr int kPictureSize = 96;
// The middle of the picture, which the window shows at (4, 4).
constexpr int kProbeX = 4 + kPictureSize / 2;
constexpr int kProbeY = 4 + kPictureSize / 2;
// Between reads: a person takes one card away and presents the next.
constexpr auto kBetweenReads = std::chrono::milliseconds(30);
constexpr auto kReadLimit = std::chrono::seconds(5);
constexpr unsigned kWholeRunSeconds = 240;

struct Person {
    const char* name;
    TestPictures::Color color;
};
const Person kPeople[2] = {{"red", {220, 30, 30, 255}}, {"blue", {30, 40, 220, 255}}};

// Ends every process of the run: the bench leads a process group of its own.
void OnAbort(int signal)
{
    static const char said[] = "screen_bench: the run took too long or was stopped; ended\n";
    write(STDERR_FILENO, said, sizeof(said) - 1);
    kill(0, SIGKILL);
    _exit(1);
}

int Fail(const std::string& what)
{
    fprintf(stderr, "screen_bench: %s\n", what.c_str());
    return 1;
}

// The client's trace lines, each stamped when it came, gathered on a thread of its own.
class Trace
{
public:
    explicit Trace(int fd) : fFd(fd), fThread([this] { Gather(); }) {}
    ~Trace()
    {
        fStop = true;
        fThread.join();
        close(fFd);
    }

    // The stamp of the first line at or after line `from` that holds text; the line's
    // index in `at`. False when none came before the deadline.
    bool Find(const std::string& text, size_t from, Clock::time_point deadline,
              Clock::time_point* when, size_t* at = nullptr)
    {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(fLock);
                for (size_t i = from; i < fLines.size(); i++) {
                    if (fLines[i].first.find(text) != std::string::npos) {
                        *when = fLines[i].second;
                        if (at != nullptr)
                            *at = i;
                        return true;
                    }
                }
            }
            if (Clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

private:
    void Gather()
    {
        std::string pending;
        while (!fStop) {
            pollfd wait = {fFd, POLLIN, 0};
            if (poll(&wait, 1, 100) <= 0)
                continue;
            char bytes[65536];
            ssize_t count = read(fFd, bytes, sizeof(bytes));
            if (count <= 0)
                return;
            Clock::time_point now = Clock::now();
            pending.append(bytes, size_t(count));
            std::lock_guard<std::mutex> lock(fLock);
            for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
                fLines.emplace_back(pending.substr(0, end), now);
                pending.erase(0, end + 1);
            }
        }
    }

    int fFd;
    std::atomic<bool> fStop = false;
    std::mutex fLock;
    std::vector<std::pair<std::string, Clock::time_point>> fLines;
    std::thread fThread;
};

// The client's window on the X server, its pixels read back as they change.
class WindowPixels
{
public:
    ~WindowPixels()
    {
        if (fDisplay != nullptr)
            XCloseDisplay(fDisplay);
    }

    bool Open(const std::string& name)
    {
        fDisplay = XOpenDisplay(name.c_str());
        int error;
        return fDisplay != nullptr && XDamageQueryExtension(fDisplay, &fDamageEvent, &error);
    }

    // Waits until the window titled title is on screen, and follows its changes.
    bool FindWindow(const char* title, Clock::time_point deadline)
    {
        while (Clock::now() < deadline) {
            fWindow = Search(DefaultRootWindow(fDisplay), title);
            XWindowAttributes attributes;
            if (fWindow != 0 && XGetWindowAttributes(fDisplay, fWindow, &attributes) &&
                attributes.map_state == IsViewable) {
                XDamageCreate(fDisplay, fWindow, XDamageReportNonEmpty);
                XSync(fDisplay, False);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // Waits until the probe pixel holds color: read back after each change the X
    // server reports, and every few milliseconds in case a report is late.
    bool WaitForColor(TestPictures::Color color, Clock::time_point deadline,
                      Clock::time_point* when)
    {
        unsigned long wanted = (unsigned long)color.red << 16 | color.green << 8 | color.blue;
        for (;;) {
            if (ProbePixel() == wanted) {
                *when = Clock::now();
                return true;
            }
            if (Clock::now() >= deadline)
                return false;
            pollfd wait = {ConnectionNumber(fDisplay), POLLIN, 0};
            if (XPending(fDisplay) == 0)
                poll(&wait, 1, 2);
            while (XPending(fDisplay) > 0) {
                XEvent event;
                XNextEvent(fDisplay, &event);
                if (event.type == fDamageEvent + XDamageNotify)
                    XDamageSubtract(fDisplay, ((XDamageNotifyEvent*)&event)->damage, None, None);
            }
        }
    }

private:
    Window Search(Window window, const char* title)
    {
        char* name = nullptr;
        if (XFetchName(fDisplay, window, &name) && name != nullptr) {
            bool found = strcmp(name, title) == 0;
            XFree(name);
            if (found)
                return window;
        }
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        Window found = 0;
        if (XQueryTree(fDisplay, window, &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && found == 0; i++)
                found = Search(children[i], title);
            if (children != nullptr)
                XFree(children);
        }
        return found;
    }

    unsigned long ProbePixel()
    {
        XImage* image = XGetImage(fDisplay, fWindow, kProbeX, kProbeY, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr)
            return ~0ul;
        unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffff;
        XDestroyImage(image);
        return pixel;
    }

    Display* fDisplay = nullptr;
    Window fWindow = 0;
    int fDamageEvent = 0;
};

std::string Card(int i)
{
    char text[16];
    snprintf(text, sizeof(text), "04%08X", 0x100 + i);
    return text;
}

double Ms(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

void PrintFigures(const char* what, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    printf("  %-44s median %7.3f ms, 99th percentile %7.3f ms, slowest %7.3f ms\n", what,
           values[values.size() / 2], values[values.size() * 99 / 100], values.back());
}

} // namespace

int main()
{
    setpgid(0, 0);
    for (int signal : {SIGALRM, SIGTERM, SIGINT, SIGHUP})
        ::signal(signal, OnAbort);
    alarm(kWholeRunSeconds);

    if (!XServer::Available()) {
        printf("screen_bench: no Xvfb here; not run\n");
        return 0;
    }
    XServer server;
    if (!server.Start())
        return Fail(server.Error());
    WindowPixels screen;
    if (!screen.Open(server.Display()))
        return Fail("cannot open " + server.Display() + " or it has no XDamage");

    // The client in an application folder of its own: one list line a card, the
    // cards taking turns between the two people.
    ScratchDir root;
    std::string app = root / "app";
    std::filesystem::create_directories(app + "/avatars");
    std::filesystem::create_directories(root / "config");
    mkdir((root / "run").c_str(), 0700);
    std::filesystem::copy_file(std::string(VEK_BUILD_DIR) + "/VEK_BeOS", app + "/VEK_BeOS");
    std::string list;
    for (int i = 0; i < kWarmUp + kTimed; i++)
        list += std::string(kPeople[i % 2].name) + "|" + Card(i).substr(1) + "\n";
    TestPictures::WriteText(app + "/rfid_avatar_list", list);
    for (const Person& person : kPeople)
        TestPictures::WritePng(app + "/avatars/" + person.name, kPictureSize, kPictureSize,
                               person.color);
    TestPictures::WritePng(app + "/avatars/givecard2", kPictureSize, kPictureSize,
                           {30, 200, 60, 255});
    TestPictures::WritePng(app + "/avatars/none", kPictureSize, kPictureSize, {90, 90, 90, 255});
    setenv("HOME", root.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root / "run").c_str(), 1);
    setenv("DISPLAY", server.Display().c_str(), 1);
    setenv("BE_DISPLAY", "sdl", 1);

    FarEnd port(root / "ttyUSB-bench");
    if (!port.Plug())
        return Fail("no pseudo-terminal");

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return Fail("no pipe");
    pid_t client = Spawn(app + "/VEK_BeOS", {}, out[1], root / "client.err");
    close(out[1]);
    if (client < 0)
        return Fail("cannot start VEK_BeOS");
    Trace trace(out[0]);
    Clock::time_point when;
    if (!trace.Find("-- StartUp --", 0, Clock::now() + std::chrono::seconds(20), &when))
        return Fail("the client did not start: " + root.ReadFile("client.err"));
    if (!screen.FindWindow("Pictoslate", Clock::now() + std::chrono::seconds(20)))
        return Fail("the client's window did not come on screen");

    Process service;
    service.Start(std::string(VEK_BUILD_DIR) + "/vek-reader",
                  {"--no-config", "--serial", port.Path(), "--name", "bench"});

    std::vector<Clock::time_point> written, shown;
    for (int i = 0; i < kWarmUp + kTimed; i++) {
        if (!port.Send(Em4100Frame(Card(i))))
            return Fail("cannot write to the pty");
        written.push_back(Clock::now());
        // The first reads wait for the service to open the port and find the client.
        auto limit = i < kWarmUp ? std::chrono::seconds(20) : kReadLimit;
        if (!screen.WaitForColor(kPeople[i % 2].color, written.back() + limit, &when))
            return Fail(Card(i) + " did not reach the screen in time; vek-reader said:\n" +
                        service.Stderr());
        shown.push_back(when);
        std::this_thread::sleep_for(kBetweenReads);
    }

    // The trace of each timed read, in order: its lookup, then its logo.
    std::vector<double> total, inService, inClient, inDisplay;
    size_t line = 0;
    Clock::time_point traced = Clock::now() + std::chrono::seconds(2);
    for (int i = kWarmUp; i < kWarmUp + kTimed; i++) {
        Clock::time_point looked, drawn;
        size_t at;
        if (!trace.Find("search: '" + Card(i).substr(1) + "'", line, traced, &looked, &at) ||
            !trace.Find(std::string("ManageLogo end '") + kPeople[i % 2].name + "'", at, traced,
                        &drawn, &line))
            return Fail("the client's trace lacks " + Card(i));
        total.push_back(Ms(shown[i] - written[i]));
        inService.push_back(Ms(looked - written[i]));
        inClient.push_back(Ms(drawn - looked));
        inDisplay.push_back(Ms(shown[i] - drawn));
    }
    printf("frame's last byte on the pty to the new picture's pixels on the X server, "
           "%d reads of alternating %d x %d pictures, one at a time:\n",
           kTimed, kPictureSize, kPictureSize);
    PrintFigures("whole way:", total);
    printf("  reads slower than one frame of a 60 Hz display (16.7 ms): %ld of %d\n",
           (long)std::count_if(total.begin(), total.end(), [](double ms) { return ms > 16.7; }),
           kTimed);
    PrintFigures("vek-reader and transport (to the lookup):", inService);
    PrintFigures("lookup and picture (to the logo's trace):", inClient);
    PrintFigures("drawing and display (to the pixels):", inDisplay);

    service.Signal(SIGTERM);
    service.Wait(5000);
    kill(client, SIGTERM);
    for (int i = 0; i < 100 && waitpid(client, nullptr, WNOHANG) == 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(client, SIGKILL);
    waitpid(client, nullptr, 0);
    return 0;
}
