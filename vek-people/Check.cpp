#include "Check.h"

#include "AppFolder.h"
#include "Picture.h"
#include "tags/Spelling.h"

#include <algorithm>
#include <map>
#include <set>

namespace
{

std::string Quoted(std::string_view text)
{
    return "'" + Printable(text, 60) + "'";
}

std::string Who(const AvatarPiece& entry)
{
    return Printable(entry.name, 60) + " (line " + std::to_string(entry.line) + ")";
}

// Whether a skipped line holds more than blanks and a line end.
bool LooksLikeEntry(std::string_view text)
{
    return text.find_first_not_of(" \t\r\n") != std::string_view::npos;
}

void CheckPicture(const AvatarPiece& entry, const std::string& appFolder,
                  std::vector<Problem>* problems)
{
    std::string path = AvatarPath(appFolder, std::string(entry.name));
    PictureState state = InspectPicture(path.c_str());
    std::string who = Printable(entry.name, 60);
    std::string problem;
    if (path.empty() || !state.exists)
        problem = who + " has no picture: the client keeps showing the one before";
    else if (!state.isImage)
        problem =
            "the picture of " + who + " is " + Describe(state) + ": the client does not show it";
    else if (!state.decodes)
        problem = "the picture of " + who + " cannot be decoded: the client shows no picture";
    else if (state.width > kWidestPicture)
        problem = "the picture of " + who + " is " + std::to_string(state.width) +
                  " pixels wide: more than " + std::to_string(kWidestPicture) + " covers the log";
    else if (state.height > kTallestPicture)
        problem = "the picture of " + who + " is " + std::to_string(state.height) +
                  " pixels high: the window cuts it at " + std::to_string(kTallestPicture);
    if (!problem.empty())
        problems->push_back({entry.line, problem});
}

} // namespace

std::vector<Problem> Shadowed(const AvatarList& list)
{
    std::vector<Problem> problems;
    for (const AvatarPiece& entry : list.Pieces()) {
        // An entry without a name is said as such; it shows no one anyway.
        if (entry.kind != AvatarPiece::kEntry || entry.name.empty())
            continue;
        std::set<std::string_view> said;
        for (std::string_view tag : TagsOf(entry.tags)) {
            const AvatarPiece* shown = list.Shows(tag);
            if (shown == nullptr || shown == &entry || shown->name == entry.name ||
                !said.insert(tag).second)
                continue;
            problems.push_back(
                {entry.line, Printable(tag, 60) + " shows " + Who(*shown) + ", not " + Who(entry)});
        }
    }
    return problems;
}

std::vector<Problem> CheckList(const AvatarList& list, const std::string& appFolder,
                               CheckCounts* counts)
{
    std::vector<Problem> problems;
    if (!list.Exists())
        problems.push_back({0, "there is no " + std::string(kAvatarListName) + " in " + appFolder});
    if (list.WasCut())
        problems.push_back({0, "the list is longer than " + std::to_string(kLongestList) +
                                   " bytes: the client reads no further"});

    std::map<std::string_view, const AvatarPiece*> named;
    size_t cutLine = 0;
    for (const AvatarPiece& piece : list.Pieces()) {
        if (piece.continued && piece.line != cutLine) {
            cutLine = piece.line;
            problems.push_back({piece.line, "the line is longer than " +
                                                std::to_string(kLongestPiece) +
                                                " bytes: the client reads each piece of that "
                                                "length as a line of its own"});
        }
        if (piece.kind == AvatarPiece::kShort && LooksLikeEntry(piece.text)) {
            problems.push_back({piece.line, Quoted(piece.text.substr(0, piece.text.find('\n'))) +
                                                " is " + std::to_string(kShortestEntry - 1) +
                                                " bytes or fewer with its line end: the client "
                                                "skips it"});
        }
        if (piece.kind != AvatarPiece::kEntry)
            continue;
        counts->entries++;
        if (piece.name.empty()) {
            problems.push_back({piece.line, Quoted(piece.tags) +
                                                " has no name (no '|' after its first byte, "
                                                "no blank): it shows no picture"});
            continue;
        }
        for (std::string_view tag : TagsOf(piece.tags)) {
            if (tag.size() == 1)
                problems.push_back({piece.line, "the tag " + Quoted(tag) + " of " +
                                                    Printable(piece.name, 60) +
                                                    " is one character: it names nobody"});
        }
        auto [first, isNew] = named.emplace(piece.name, &piece);
        if (!isNew) {
            problems.push_back({piece.line, Printable(piece.name, 60) +
                                                " is named again (first on line " +
                                                std::to_string(first->second->line) + ")"});
            continue;
        }
        counts->pictures++;
        CheckPicture(piece, appFolder, &problems);
    }

    std::vector<Problem> shadowed = Shadowed(list);
    problems.insert(problems.end(), shadowed.begin(), shadowed.end());

    for (const char* picture : {"givecard2", "none"}) {
        std::string path = AvatarPath(appFolder, picture);
        PictureState state = InspectPicture(path.c_str());
        counts->pictures++;
        if (!state.exists)
            problems.push_back(
                {0, std::string("the picture ") + picture + " is missing (" +
                        (picture == std::string("none") ? "shown for cards the list does not know"
                                                        : "shown at start and with messages") +
                        ")"});
        else if (!state.isImage || !state.decodes)
            problems.push_back({0, std::string("the picture ") + picture + " is " +
                                       Describe(state) + ": the client cannot show it"});
    }

    std::stable_sort(problems.begin(), problems.end(),
                     [](const Problem& a, const Problem& b) { return a.line < b.line; });
    return problems;
}
