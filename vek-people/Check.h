#ifndef VEK_PEOPLE_CHECK_H
#define VEK_PEOPLE_CHECK_H

// The mistakes in an avatar list that the client passes over without a
// word: entries it skips or cuts, tags that show someone else, pictures it
// cannot show.

#include "AvatarList.h"

#include <string>
#include <vector>

struct Problem {
    // The file's line, from 1; 0 for the list as a whole.
    size_t line;
    std::string text;

    bool operator==(const Problem& other) const = default;
};

// Entries whose tag shows an earlier entry instead:
// "04C0FFEE shows alice (line 3), not carol (line 7)".
std::vector<Problem> Shadowed(const AvatarList& list);

struct CheckCounts {
    size_t entries = 0;
    size_t pictures = 0;
};

// Every problem of the list and its pictures in the application folder, in
// line order.
std::vector<Problem> CheckList(const AvatarList& list, const std::string& appFolder,
                               CheckCounts* counts);

#endif
