#include "support/CaptureStdout.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <iostream>
#include <stdexcept>
#include <string>

CaptureStdout::CaptureStdout() : fSavedFd(-1), fFileFd(-1)
{
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != NULL && base[0] == '/' ? base : "/tmp") + "/vek-stdout-XXXXXX";
    fFileFd = mkstemp(pattern.data());
    if (fFileFd < 0)
        throw std::runtime_error("mkstemp failed for " + pattern);
    unlink(pattern.c_str());

    std::cout.flush();
    fflush(stdout);
    fSavedFd = dup(STDOUT_FILENO);
    if (fSavedFd < 0 || dup2(fFileFd, STDOUT_FILENO) < 0)
        throw std::runtime_error("cannot redirect standard output");
}

CaptureStdout::~CaptureStdout()
{
    Restore();
    if (fFileFd >= 0)
        close(fFileFd);
}

void CaptureStdout::Restore()
{
    if (fSavedFd < 0)
        return;
    std::cout.flush();
    fflush(stdout);
    dup2(fSavedFd, STDOUT_FILENO);
    close(fSavedFd);
    fSavedFd = -1;
}

std::string CaptureStdout::Stop()
{
    Restore();
    std::string text;
    if (fFileFd < 0)
        return text;
    char buffer[4096];
    ssize_t size;
    off_t offset = 0;
    while ((size = pread(fFileFd, buffer, sizeof(buffer), offset)) > 0) {
        text.append(buffer, (size_t)size);
        offset += size;
    }
    close(fFileFd);
    fFileFd = -1;
    return text;
}
