#include "tags/HoldFilter.h"

bool HoldFilter::Pass(const std::string& reader, const std::string& tag, Clock::time_point now)
{
    for (auto it = fLastSeen.begin(); it != fLastSeen.end();) {
        if (now - it->second >= fHold)
            it = fLastSeen.erase(it);
        else
            ++it;
    }
    auto [entry, added] = fLastSeen.try_emplace({reader, tag}, now);
    entry->second = now;
    return added;
}
