#ifndef VEK_TESTS_E2E_X_PROGRAM_HARNESS_H
#define VEK_TESTS_E2E_X_PROGRAM_HARNESS_H

// The real program on an X display of the test's own (Xvfb with a window
// manager), through the SDL backend, driven with the X command-line tools.

#include "ProgramHarness.h"
#include "support/XServer.h"

#include <chrono>
#include <initializer_list>
#include <thread>

class XProgramTest : public ProgramTest
{
protected:
    // Skips the test unless every tool is installed; else starts the display
    // and points the program at it. Call it from SetUp.
    void StartDisplay(std::initializer_list<const char*> tools)
    {
        for (const char* tool : tools)
            if (!Have(tool))
                GTEST_SKIP() << tool << " is missing";
        ProgramTest::SetUp();
        ASSERT_TRUE(fServer.Start()) << fServer.Error();
        setenv("DISPLAY", fServer.Display().c_str(), 1);
        setenv("BE_DISPLAY", "sdl", 1);
    }

    void TearDown() override
    {
        fServer.Stop();
        unsetenv("DISPLAY");
    }

    static bool Have(const char* program)
    {
        return Process::Run("/bin/sh", {"-c", std::string("command -v ") + program}, 5000) == 0;
    }

    static std::string Run(const std::string& command)
    {
        std::string out;
        Process::Run("/bin/sh", {"-c", command}, 10000, &out);
        return out;
    }

    // The X id of the program's window, once it is on screen; empty after 10 s.
    static std::string FindWindow()
    {
        for (int i = 0; i < 100; i++) {
            std::string id = Run("xdotool search --onlyvisible --name '^Pictoslate$' | head -n 1");
            if (!id.empty())
                return id.substr(0, id.find('\n'));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return "";
    }

    XServer fServer;
};

#endif
