#ifndef VEK_READER_SOURCES_KEEP_READING_H
#define VEK_READER_SOURCES_KEEP_READING_H

// The loop of a reader that can go away (a serial port, an input device):
// open it, read until it is gone, say so once, and open it again with a
// back-off until it is back; the sink hears once that it is back.

#include "sources/BackOff.h"
#include "sources/TagSource.h"

#include <errno.h>
#include <poll.h>

#include <chrono>
#include <string>

// Waits for input or news on fd, or for stop: poll's revents, 0 once stop is
// raised, or -1 (errno) when it cannot wait. When nothing came for quiet,
// the decoder hears that the line fell silent.
template <typename Decoder>
int WaitForInput(int fd, std::chrono::milliseconds quiet, Decoder& decoder, const StopSignal& stop)
{
    int timeout = int(quiet.count());
    while (!stop.IsRaised()) {
        pollfd waits[2] = {{fd, POLLIN, 0}, {stop.Fd(), POLLIN, 0}};
        int ready = poll(waits, 2, timeout);
        if (ready < 0 && errno != EINTR)
            return -1;
        if (waits[0].revents != 0)
            return waits[0].revents;
        if (ready == 0) {
            decoder.Idle();
            timeout = -1;
        }
    }
    return 0;
}

// open(Device&, std::string* why) opens the reader, or says why not;
// read(Device&) feeds the decoder until stop is raised (returns empty) or
// the reader is gone (returns why), which cuts what the decoder had begun.
// Returns when stop is raised.
template <typename Device, typename Decoder, typename Open, typename Read>
void KeepReading(const std::string& reader, TagSink& sink, const StopSignal& stop, Decoder& decoder,
                 Open open, Read read)
{
    BackOff backOff;
    bool lost = false;
    std::string why;
    while (!stop.IsRaised()) {
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
