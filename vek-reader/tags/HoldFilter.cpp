#include "tags/HoldFilter.h"

#include <algorithm>

bool HoldFilter::Pass(const std::string& reader, const std::string& tag, Clock::time_point now)
{
    if (fHold.count() == 0)
        return true;
    for (auto it = fLastSeen.begin(); it != fLastSeen.end();) {
        if (now - it->second >= HoldOf(it->first.first))
            it = fLastSeen.erase(it);
        else
            ++it;
    }
    auto [entry, added] = fLastSeen.try_emplace({reader, tag}, now);
    if (!added) {
        // A repeat: the reader's pace.
        std::vector<Clock::duration>& repeats = fRepeats[reader];
        if (repeats.size() == kRepeatsKept)
            repeats.erase(repeats.begin());
        repeats.push_back(now - entry->second);
    }
    entry->second = now;
    return added;
}

HoldFilter::Clock::duration HoldFilter::HoldOf(const std::string& reader) const
{
    auto repeats = fRepeats.find(reader);
    if (repeats == fRepeats.end())
        return std::max<Clock::duration>(fHold, kSlowestRepeat);
    // The median, which a lost frame or two frames read at once do not move.
    std::vector<Clock::duration> sorted = repeats->second;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    return std::max<Clock::duration>(fHold, sorted[sorted.size() / 2] * kHeldTenths / 10);
}
