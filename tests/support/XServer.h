#ifndef VEK_TESTS_SUPPORT_X_SERVER_H
#define VEK_TESTS_SUPPORT_X_SERVER_H

#include <string>

#include "support/Process.h"

// An X server of a test's own: Xvfb at 1024×768×24, with openbox as its window manager
// when openbox is installed. Xvfb picks a free display number itself, so that test
// programs running side by side never take the same one, and both are ended gently,
// so that the server removes its lock and socket.
class XServer
{
public:
    ~XServer() { Stop(); }

    // Whether Xvfb is installed at all.
    static bool Available();

    // False when Xvfb is missing or does not come up; Error() then says why.
    bool Start();
    void Stop();

    // Sends an event on a new connection to display to a window that was just destroyed, as
    // SDL does when it wakes its event wait; Xlib's own error handler would end the process.
    static void SendToDestroyedWindow(const std::string& display);

    // ":N" while it runs, else empty.
    const std::string& Display() const { return fDisplay; }
    const std::string& Error() const { return fError; }

private:
    void StartWindowManager();

    Process fServer;
    Process fWindowManager;
    std::string fDisplay;
    std::string fError;
};

#endif
