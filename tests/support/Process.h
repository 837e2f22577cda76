#ifndef VEK_TESTS_SUPPORT_PROCESS_H
#define VEK_TESTS_SUPPORT_PROCESS_H

#include <string>
#include <vector>

#include <sys/types.h>

// A real child process for tests: started with a chosen environment and folder,
// its standard output and error captured in files, waited for with a timeout.
// A process still running when the object goes is killed.
class Process
{
public:
    Process();
    ~Process();

    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Changes to the environment the child gets (a copy of ours otherwise).
    Process& SetEnv(const std::string& name, const std::string& value);
    Process& UnsetEnv(const std::string& name);
    Process& SetWorkingDirectory(const std::string& folder);
    // Text the child reads on standard input (nothing: /dev/null).
    Process& SetInput(const std::string& text);
    // The child reads standard input from a pipe; the write end is returned
    // for the caller to write to and close (-1 when no pipe could be made).
    int PipeInput();

    // arguments exclude argv[0], which is the program's path.
    bool Start(const std::string& program, const std::vector<std::string>& arguments = {});

    pid_t Pid() const { return fPid; }
    bool Signal(int signal) const;

    // Waits for the end; false when it did not end in time.
    bool Wait(int timeoutMs);
    bool IsRunning();
    bool Exited() const { return fExited; }
    // The exit status, or -1 when it ended by a signal (see TermSignal) or runs on.
    int ExitCode() const { return fExitCode; }
    int TermSignal() const { return fTermSignal; }

    // What the child wrote so far.
    std::string Stdout() const;
    std::string Stderr() const;
    // Waits until the child's standard output (or error) contains text;
    // false when it does not in time or the child ends without it.
    bool WaitForStdout(const std::string& text, int timeoutMs);
    bool WaitForStderr(const std::string& text, int timeoutMs);

    // Runs a program to its end; the exit code, or -1 on a timeout or signal.
    static int Run(const std::string& program, const std::vector<std::string>& arguments,
                   int timeoutMs, std::string* out = nullptr, std::string* err = nullptr);

private:
    bool WaitForText(const std::string& path, const std::string& text, int timeoutMs);
    void Reap(int status);

    std::vector<std::pair<std::string, std::string>> fSet;
    std::vector<std::string> fUnset;
    std::string fWorkingDirectory;
    std::string fInput;
    bool fHasInput = false;
    int fInputPipe = -1;
    std::string fFolder;
    pid_t fPid = -1;
    bool fExited = false;
    int fExitCode = -1;
    int fTermSignal = 0;
};

#endif
