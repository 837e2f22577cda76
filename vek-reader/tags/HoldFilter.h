#ifndef VEK_READER_HOLD_FILTER_H
#define VEK_READER_HOLD_FILTER_H

// A card held on a reader that repeats its frame is one read: it passes once
// and again only after the reader has not seen it for the hold time.

#include <chrono>
#include <map>
#include <string>
#include <utility>

class HoldFilter
{
public:
    using Clock = std::chrono::steady_clock;

    explicit HoldFilter(std::chrono::milliseconds hold) : fHold(hold) {}

    void SetHold(std::chrono::milliseconds hold) { fHold = hold; }

    // Whether this sighting of the tag on the reader is a new read.
    bool Pass(const std::string& reader, const std::string& tag, Clock::time_point now);

private:
    std::chrono::milliseconds fHold;
    // When each card was last seen on each reader; cards gone for longer
    // than the hold time are forgotten.
    std::map<std::pair<std::string, std::string>, Clock::time_point> fLastSeen;
};

#endif
