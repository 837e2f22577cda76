#include "support/XServer.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include <signal.h>
#include <unistd.h>

#include <X11/Xlib.h>

namespace
{

const char* const kXvfb = "/usr/bin/Xvfb";
const char* const kOpenbox = "/usr/bin/openbox";
const char* const kXprop = "/usr/bin/xprop";

bool Executable(const char* path)
{
    return access(path, X_OK) == 0;
}

} // namespace

bool XServer::Available()
{
    return Executable(kXvfb);
}

bool XServer::Start()
{
    if (!Available()) {
        fError = std::string(kXvfb) + " is missing";
        return false;
    }
    // With -displayfd, Xvfb writes the number it took once it accepts connections.
    if (!fServer.Start(kXvfb,
                       {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}) ||
        !fServer.WaitForStdout("\n", 20000)) {
        fError = "Xvfb did not come up: " + fServer.Stderr();
        Stop();
        return false;
    }
    std::string number = fServer.Stdout();
    fDisplay = ":" + number.substr(0, number.find('\n'));
    StartWindowManager();
    return true;
}

void XServer::StartWindowManager()
{
    if (!Executable(kOpenbox))
        return;
    fWindowManager.SetEnv("DISPLAY", fDisplay);
    if (!fWindowManager.Start(kOpenbox))
        return;
    // Ready once it has announced itself on the root window.
    for (int i = 0; i < 100 && Executable(kXprop) && fWindowManager.IsRunning(); i++) {
        std::string out;
        Process::Run(kXprop, {"-display", fDisplay, "-root", "_NET_SUPPORTING_WM_CHECK"}, 5000,
                     &out);
        if (out.find("window id") != std::string::npos)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

void XServer::Stop()
{
    // Tests that need the window manager fail oddly without it: say why it went.
    if (!fDisplay.empty() && fWindowManager.Pid() > 0 && !fWindowManager.IsRunning())
        fprintf(stderr, "openbox on %s ended early (status %d, signal %d): %s\n", fDisplay.c_str(),
                fWindowManager.ExitCode(), fWindowManager.TermSignal(),
                fWindowManager.Stderr().c_str());
    for (Process* process : {&fWindowManager, &fServer}) {
        if (process->Pid() > 0 && process->IsRunning()) {
            process->Signal(SIGTERM);
            process->Wait(5000);
        }
    }
    fDisplay.clear();
}

void XServer::SendToDestroyedWindow(const std::string& display)
{
    ::Display* connection = XOpenDisplay(display.c_str());
    if (connection == nullptr)
        return;
    ::Window window =
        XCreateSimpleWindow(connection, DefaultRootWindow(connection), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(connection, window);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.format = 32;
    XSendEvent(connection, window, False, NoEventMask, &event);
    XSync(connection, False);
    XCloseDisplay(connection);
}
