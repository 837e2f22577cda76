#ifndef VEK_READER_TAGS_HOLD_FILTER_H
#define VEK_READER_TAGS_HOLD_FILTER_H

// A card held on a reader that repeats its read is one read: it passes once,
// and again only after the reader has not seen it for the hold time. Readers
// repeat at their own pace (every 50 ms to every second), so each reader's
// pace is learned from the repeats it sends: a card is held for a few times
// that interval, and never for less than the hold setting. Until a reader's
// pace is known, a repeat may come as late as kSlowestRepeat.

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

class HoldFilter
{
public:
    using Clock = std::chrono::steady_clock;

    // The longest pause between two repeats of a held card that any reader
    // makes.
    static constexpr std::chrono::milliseconds kSlowestRepeat{1500};
    // A card is held for a little more than twice its reader's repeat
    // interval: one lost repeat does not end the hold, and a card taken away
    // for two seconds from a reader that repeats every 900 ms is read again.
    static constexpr int kHeldTenths = 21;

    // hold 0: every sighting is a read.
    explicit HoldFilter(std::chrono::milliseconds hold) : fHold(hold) {}

    void SetHold(std::chrono::milliseconds hold) { fHold = hold; }

    // Whether this sighting of the tag on the reader is a new read.
    bool Pass(const std::string& reader, const std::string& tag, Clock::time_point now);

    // How long the reader holds a card, as far as its pace is known.
    Clock::duration HoldOf(const std::string& reader) const;

private:
    // Repeats kept per reader to learn its pace from.
    static constexpr size_t kRepeatsKept = 9;

    std::chrono::milliseconds fHold;
    // When each card was last seen on each reader; cards gone for longer
    // than their reader's hold are forgotten.
    std::map<std::pair<std::string, std::string>, Clock::time_point> fLastSeen;
    // The latest pauses between repeats of a held card, per reader.
    std::map<std::string, std::vector<Clock::duration>> fRepeats;
};

#endif
