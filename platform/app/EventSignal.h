#ifndef _APP_EVENT_SIGNAL_H
#define _APP_EVENT_SIGNAL_H

#include <stdint.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace BPrivate
{

// An eventfd that one thread waits on (with poll or epoll) and others raise.
// Shared by pointer, so that whoever may still raise it keeps it open.
class EventSignal
{
public:
    EventSignal() : fFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~EventSignal()
    {
        if (fFd >= 0)
            close(fFd);
    }
    EventSignal(const EventSignal&) = delete;
    EventSignal& operator=(const EventSignal&) = delete;

    bool IsValid() const { return fFd >= 0; }
    int Fd() const { return fFd; }

    void Raise() const
    {
        uint64_t one = 1;
        ssize_t ignored = write(fFd, &one, sizeof(one));
        (void)ignored;
    }

    void Clear() const
    {
        uint64_t count;
        ssize_t ignored = read(fFd, &count, sizeof(count));
        (void)ignored;
    }

private:
    const int fFd;
};

} // namespace BPrivate

#endif
