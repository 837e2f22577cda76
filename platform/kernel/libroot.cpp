// What the platform's libroot gives programs beyond the kits: the kernel's
// time and thread calls, the C library's strerror() with the platform's texts,
// and the mapping of the host's errno values onto the platform's codes.
//
// strerror() lives in the same object as the calls every program uses, so that
// the linker always takes this definition over the C library's (or a
// sanitizer's), whatever else a program happens to use.

#include "support/HostErrors.h"

#include <Errors.h>
#include <OS.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

bigtime_t system_time()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (bigtime_t)now.tv_sec * 1000000 + now.tv_nsec / 1000;
}

status_t snooze(bigtime_t microseconds)
{
    if (microseconds <= 0)
        return B_OK;
    struct timespec delay = {(time_t)(microseconds / 1000000),
                             (long)(microseconds % 1000000) * 1000};
    while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
    return B_OK;
}

thread_id find_thread(const char* name)
{
    if (name != NULL)
        return B_NAME_NOT_FOUND;
    static thread_local thread_id self = (thread_id)syscall(SYS_gettid);
    return self;
}

// Standard output is line-buffered, also into a pipe or a file, so that trace
// lines reach a reader as they happen. This must run before anything prints.
__attribute__((constructor)) static void line_buffered_stdout()
{
    setvbuf(stdout, NULL, _IOLBF, 0);
}

namespace
{

struct ErrorText {
    status_t code;
    const char* text;
};

const ErrorText kTexts[] = {
    {B_OK, "No error"},
    {B_ERROR, "General system error"},
    {B_NO_MEMORY, "Out of memory"},
    {B_IO_ERROR, "I/O error"},
    {B_PERMISSION_DENIED, "Permission denied"},
    {B_BAD_INDEX, "Index not in range for the data set"},
    {B_BAD_TYPE, "Bad argument type passed to function"},
    {B_BAD_VALUE, "Invalid Argument"},
    {B_MISMATCHED_VALUES, "Mismatched values passed to function"},
    {B_NAME_NOT_FOUND, "Name not found"},
    {B_NAME_IN_USE, "Name in use"},
    {B_TIMED_OUT, "Operation timed out"},
    {B_INTERRUPTED, "Interrupted system call"},
    {B_WOULD_BLOCK, "Operation would block"},
    {B_CANCELED, "Operation canceled"},
    {B_NO_INIT, "Initialization failed"},
    {B_BUSY, "Device/File/Resource busy"},
    {B_NOT_ALLOWED, "Operation not allowed"},
    {B_BAD_DATA, "Bad data"},
    {B_DONT_DO_THAT, "No, don't do that!"},
    {B_BAD_SEM_ID, "Bad semaphore ID"},
    {B_NO_MORE_SEMS, "No more semaphores"},
    {B_BAD_THREAD_ID, "Bad thread ID"},
    {B_NO_MORE_THREADS, "No more threads"},
    {B_BAD_THREAD_STATE, "Thread is inappropriate state"},
    {B_BAD_TEAM_ID, "Operation on invalid team"},
    {B_NO_MORE_TEAMS, "No more teams"},
    {B_BAD_PORT_ID, "Bad port ID"},
    {B_NO_MORE_PORTS, "No more ports available"},
    {B_BAD_IMAGE_ID, "Bad image ID"},
    {B_BAD_ADDRESS, "Bad address"},
    {B_NOT_AN_EXECUTABLE, "Not an executable"},
    {B_MISSING_LIBRARY, "Missing library"},
    {B_MISSING_SYMBOL, "Symbol not found"},
    {B_BAD_REPLY, "Attempted to send an invalid reply"},
    {B_DUPLICATE_REPLY, "Attempted to reply to a message that has already been replied to"},
    {B_MESSAGE_TO_SELF, "Can't send message to self"},
    {B_BAD_HANDLER, "Bad handler"},
    {B_ALREADY_RUNNING, "Already running"},
    {B_LAUNCH_FAILED, "Launch failed"},
    {B_AMBIGUOUS_APP_LAUNCH, "Ambiguous app launch"},
    {B_UNKNOWN_MIME_TYPE, "Unknown MIME type"},
    {B_BAD_SCRIPT_SYNTAX, "Bad script syntax"},
    {B_NOT_A_MESSAGE, "Data is not a message"},
    {B_NO_TRANSLATOR, "No translator found"},
    {B_ILLEGAL_DATA, "Illegal data"},
    {B_FILE_ERROR, "Bad file descriptor"},
    {B_FILE_NOT_FOUND, "No such file or directory"},
    {B_FILE_EXISTS, "File or Directory already exists"},
    {B_ENTRY_NOT_FOUND, "No such file or directory"},
    {B_NAME_TOO_LONG, "File or Directory name too long"},
    {B_NOT_A_DIRECTORY, "Not a directory"},
    {B_DIRECTORY_NOT_EMPTY, "Directory not empty"},
    {B_DEVICE_FULL, "No space left on device"},
    {B_READ_ONLY_DEVICE, "Read-only file system"},
    {B_IS_A_DIRECTORY, "Is a directory"},
    {B_NO_MORE_FDS, "Too many open files"},
    {B_CROSS_DEVICE_LINK, "Cross-device link"},
    {B_LINK_LIMIT, "Too many symbolic links"},
    {B_BUSTED_PIPE, "Broken pipe"},
    {B_UNSUPPORTED, "Operation not supported"},
    {B_BUFFER_OVERFLOW, "Value too large for defined type"},
    {B_NOT_SUPPORTED, "Operation not supported"},
    {B_FILE_TOO_LARGE, "File too large"},
    {B_DEVICE_NOT_FOUND, "No such device"},
};

struct ErrnoCode {
    int error;
    status_t code;
};

const ErrnoCode kErrnoCodes[] = {
    {0, B_OK},
    {ENOMEM, B_NO_MEMORY},
    {EIO, B_IO_ERROR},
    {EACCES, B_PERMISSION_DENIED},
    {EPERM, B_NOT_ALLOWED},
    {EINVAL, B_BAD_VALUE},
    {ETIMEDOUT, B_TIMED_OUT},
    {EINTR, B_INTERRUPTED},
    {EAGAIN, B_WOULD_BLOCK},
    {ECANCELED, B_CANCELED},
    {EBUSY, B_BUSY},
    {EBADF, B_FILE_ERROR},
    {EEXIST, B_FILE_EXISTS},
    {ENOENT, B_ENTRY_NOT_FOUND},
    {ENAMETOOLONG, B_NAME_TOO_LONG},
    {ENOTDIR, B_NOT_A_DIRECTORY},
    {ENOTEMPTY, B_DIRECTORY_NOT_EMPTY},
    {ENOSPC, B_DEVICE_FULL},
    {EDQUOT, B_DEVICE_FULL},
    {EROFS, B_READ_ONLY_DEVICE},
    {EISDIR, B_IS_A_DIRECTORY},
    {EMFILE, B_NO_MORE_FDS},
    {ENFILE, B_NO_MORE_FDS},
    {EXDEV, B_CROSS_DEVICE_LINK},
    {ELOOP, B_LINK_LIMIT},
    {EPIPE, B_BUSTED_PIPE},
    {ENOTSUP, B_NOT_SUPPORTED},
    {EOVERFLOW, B_BUFFER_OVERFLOW},
    {EFBIG, B_FILE_TOO_LARGE},
    {ENODEV, B_DEVICE_NOT_FOUND},
    {EFAULT, B_BAD_ADDRESS},
    {ENOEXEC, B_NOT_AN_EXECUTABLE},
    {ESRCH, B_BAD_THREAD_ID},
    {ECONNREFUSED, B_BAD_PORT_ID},
};

} // namespace

namespace BPrivate
{

status_t status_from_errno(int error)
{
    for (const ErrnoCode& entry : kErrnoCodes)
        if (entry.error == error)
            return entry.code;
    return B_ERROR;
}

status_t last_error_status()
{
    return status_from_errno(errno);
}

} // namespace BPrivate

// Replaces the C library's strerror in programs linked with the layer, as the
// platform's C library knows the platform's codes. Other values get the C
// library's own text.
extern "C" char* strerror(int code) noexcept
{
    for (const ErrorText& entry : kTexts)
        if (entry.code == code)
            return const_cast<char*>(entry.text);
    static thread_local char buffer[128];
    return strerror_r(code, buffer, sizeof(buffer));
}
