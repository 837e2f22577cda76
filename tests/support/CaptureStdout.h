#ifndef VEK_TESTS_SUPPORT_CAPTURE_STDOUT_H
#define VEK_TESTS_SUPPORT_CAPTURE_STDOUT_H

#include <string>

// Captures everything written to file descriptor 1 (printf, puts, std::cout, child
// processes that inherit it) from construction until Stop(), which gives it back.
// The destructor restores standard output if Stop() was not called.
class CaptureStdout
{
public:
    CaptureStdout();
    ~CaptureStdout();

    std::string Stop();

private:
    CaptureStdout(const CaptureStdout&) = delete;
    CaptureStdout& operator=(const CaptureStdout&) = delete;

    void Restore();

    int fSavedFd;
    int fFileFd;
};

#endif
