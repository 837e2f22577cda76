#ifndef VEK_BENCH_BENCH_WINDOW_H
#define VEK_BENCH_BENCH_WINDOW_H

// The real window on the headless display for benchmarks, with its trace sent
// to /dev/null while a benchmark runs.

#include <Application.h>

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "VEKWindow.h"

class QuietStdout
{
public:
    QuietStdout()
    {
        fflush(stdout);
        fSaved = dup(STDOUT_FILENO);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~QuietStdout()
    {
        fflush(stdout);
        dup2(fSaved, STDOUT_FILENO);
        close(fSaved);
    }

private:
    int fSaved;
};

inline std::string BenchAppDir()
{
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    self[length > 0 ? length : 0] = '\0';
    return std::filesystem::path(self).parent_path().string();
}

// An application and a window, built once for the benchmark program.
class BenchWindow
{
public:
    BenchWindow()
    {
        std::string home = "/tmp/vek-bench-" + std::to_string(getpid());
        std::filesystem::create_directories(home + "/run");
        chmod((home + "/run").c_str(), 0700);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (home + "/run").c_str(), 1);
        setenv("BE_DISPLAY", "headless", 1);
        fHome = home;
        std::string signature = "application/x-vnd.vek-bench-" + std::to_string(getpid());
        fApplication = new BApplication(signature.c_str());
        QuietStdout quiet;
        fWindow = new VEKWindow(BRect(30, 50, 340, 100));
    }
    ~BenchWindow()
    {
        {
            QuietStdout quiet;
            fWindow->Quit();
        }
        delete fApplication;
        std::filesystem::remove_all(fHome);
    }

    VEKWindow* Window() const { return fWindow; }

private:
    std::string fHome;
    BApplication* fApplication;
    VEKWindow* fWindow;
};

#endif
