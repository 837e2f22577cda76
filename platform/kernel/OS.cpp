#include <OS.h>

#include <errno.h>
#include <stdio.h>
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
    struct timespec delay = {(time_t)(microseconds / 1000000), (long)(microseconds % 1000000) * 1000};
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
