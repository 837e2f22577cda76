#include "support/Process.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void RemoveFolder(const std::string& folder)
{
    for (const char* name : {"/stdout", "/stderr", "/stdin"})
        unlink((folder + name).c_str());
    rmdir(folder.c_str());
}

} // namespace

Process::Process() = default;

Process::~Process()
{
    if (fInputPipe >= 0)
        close(fInputPipe);
    if (fPid > 0 && !fExited) {
        kill(fPid, SIGKILL);
        int status;
        waitpid(fPid, &status, 0);
    }
    if (!fFolder.empty())
        RemoveFolder(fFolder);
}

Process& Process::SetEnv(const std::string& name, const std::string& value)
{
    fSet.emplace_back(name, value);
    return *this;
}

Process& Process::UnsetEnv(const std::string& name)
{
    fUnset.push_back(name);
    return *this;
}

Process& Process::SetWorkingDirectory(const std::string& folder)
{
    fWorkingDirectory = folder;
    return *this;
}

Process& Process::SetInput(const std::string& text)
{
    fInput = text;
    fHasInput = true;
    return *this;
}

int Process::PipeInput()
{
    int ends[2];
    if (fInputPipe >= 0 || pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    fInputPipe = ends[0];
    return ends[1];
}

bool Process::Start(const std::string& program, const std::vector<std::string>& arguments)
{
    if (fPid > 0)
        return false;
    char folder[] = "/tmp/process-XXXXXX";
    if (mkdtemp(folder) == NULL)
        return false;
    fFolder = folder;
    std::string input = "/dev/null";
    if (fHasInput) {
        input = fFolder + "/stdin";
        std::ofstream(input, std::ios::binary) << fInput;
    }

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != NULL; entry++) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& [setName, value] : fSet)
            replaced = replaced || setName == name;
        for (const std::string& unsetName : fUnset)
            replaced = replaced || unsetName == name;
        if (!replaced)
            environment.push_back(text);
    }
    for (const auto& [name, value] : fSet)
        environment.push_back(name + "=" + value);

    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(NULL);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(NULL);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (fInputPipe >= 0)
        posix_spawn_file_actions_adddup2(&actions, fInputPipe, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (fFolder + "/stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (fFolder + "/stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!fWorkingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, fWorkingDirectory.c_str());
    int error = posix_spawn(&fPid, program.c_str(), &actions, NULL, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (fInputPipe >= 0) {
        close(fInputPipe);
        fInputPipe = -1;
    }
    if (error != 0) {
        fPid = -1;
        return false;
    }
    return true;
}

bool Process::Signal(int signal) const
{
    return fPid > 0 && !fExited && kill(fPid, signal) == 0;
}

void Process::Reap(int status)
{
    fExited = true;
    if (WIFEXITED(status)) {
        fExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        fTermSignal = WTERMSIG(status);
    }
}

bool Process::IsRunning()
{
    if (fPid <= 0 || fExited)
        return false;
    int status;
    if (waitpid(fPid, &status, WNOHANG) == fPid) {
        Reap(status);
        return false;
    }
    return true;
}

bool Process::Wait(int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (IsRunning()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return fPid > 0;
}

std::string Process::Stdout() const
{
    return fFolder.empty() ? "" : ReadFile(fFolder + "/stdout");
}

std::string Process::Stderr() const
{
    return fFolder.empty() ? "" : ReadFile(fFolder + "/stderr");
}

bool Process::WaitForText(const std::string& path, const std::string& text, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // Check once more after the end, so that the last words count.
        bool running = IsRunning();
        if (ReadFile(path).find(text) != std::string::npos)
            return true;
        if (!running || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool Process::WaitForStdout(const std::string& text, int timeoutMs)
{
    return !fFolder.empty() && WaitForText(fFolder + "/stdout", text, timeoutMs);
}

bool Process::WaitForStderr(const std::string& text, int timeoutMs)
{
    return !fFolder.empty() && WaitForText(fFolder + "/stderr", text, timeoutMs);
}

int Process::Run(const std::string& program, const std::vector<std::string>& arguments,
                 int timeoutMs, std::string* out, std::string* err)
{
    Process process;
    if (!process.Start(program, arguments))
        return -1;
    bool ended = process.Wait(timeoutMs);
    if (out != nullptr)
        *out = process.Stdout();
    if (err != nullptr)
        *err = process.Stderr();
    return ended ? process.ExitCode() : -1;
}
