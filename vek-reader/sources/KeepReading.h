#ifndef VEK_READER_KEEP_READING_H
#define VEK_READER_KEEP_READING_H

// The loop of a reader that can go away (a serial port, an input device):
// open it, read until it is gone, say so once, and open it again with a
// back-off until it is back; the sink hears once that it is back.

#include "sources/BackOff.h"
#include "sources/TagSource.h"

#include <errno.h>
#include <poll.h>

#include <atomic>
#include <string>

// Waits for input or news on fd, a short poll at a time so that stop is
// seen soon: poll's revents, 0 once stop is set, or -1 (errno) when it
// cannot wait. When nothing came for quietPolls polls, the decoder hears that
// the line fell silent.
template <typename Decoder>
int WaitForInput(int fd, int quietPolls, Decoder& decoder, const std::atomic<bool>& stop)
{
    constexpr int kPollMs = 100;
    int quiet = 0;
    while (!stop) {
        pollfd wait = {fd, POLLIN, 0};
        int ready = poll(&wait, 1, kPollMs);
        if (ready > 0)
            return wait.revents;
        if (ready < 0 && errno != EINTR)
            return -1;
        if (ready == 0 && ++quiet == quietPolls)
            decoder.Idle();
    }
    return 0;
}

// open(Device&, std::string* why) opens the reader, or says why not;
// read(Device&) feeds the decoder until stop is set (returns empty) or the
// reader is gone (returns why), which cuts what the decoder had begun.
// Returns when stop is set.
template <typename Device, typename Decoder, typename Open, typename Read>
void KeepReading(const std::string& reader, TagSink& sink, const std::atomic<bool>& stop,
                 Decoder& decoder, Open open, Read read)
{
    BackOff backOff;
    bool lost = false;
    std::string why;
    while (!stop) {
        Device device;
        if (open(device, &why)) {
            if (lost)
                sink.Back(reader);
            lost = false;
            backOff.Reset();
            why = read(device);
            if (why.empty())
                return;
            decoder.Cut();
        }
        if (!lost)
            sink.Lost(reader, why);
        lost = true;
        backOff.Wait(stop);
    }
}

#endif
