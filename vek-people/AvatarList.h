#ifndef VEK_PEOPLE_AVATAR_LIST_H
#define VEK_PEOPLE_AVATAR_LIST_H

// The avatar list read as the client reads it: in pieces of at most 255
// bytes, comments and short lines skipped, each other piece split into a
// name and a tag field at its first '|' (or first blank). Which entry a tag
// shows follows the client too. Everything that reads the list for the
// client's meaning (the people tool, the reader service's log) goes through
// this.

#include <SupportDefs.h>

#include <string>
#include <string_view>
#include <vector>

extern const char kAvatarListName[];
extern const char kAvatarFolderName[];

// Lines of 8 bytes or fewer, newline included, are no entries.
constexpr size_t kShortestEntry = 9;
// Lines are read in pieces of at most this many bytes.
constexpr size_t kLongestPiece = 255;
// More than this is not read of a list.
constexpr size_t kLongestList = 16 * 1024 * 1024;

struct AvatarPiece {
    enum Kind { kEntry, kComment, kShort };

    Kind kind;
    // The file's line the piece belongs to, from 1.
    size_t line;
    // Not the first piece of its line: the line was longer than a piece.
    bool continued;
    // As the client reads it: newline included, cut at a NUL byte.
    std::string_view text;
    // Entries only; the tag field without its newline, its CR kept.
    std::string_view name;
    std::string_view tags;
};

class AvatarList
{
public:
    AvatarList() = default;
    explicit AvatarList(std::string text);

    // Reads the file as the client does: a regular file only, at most
    // kLongestList bytes. A missing file is an empty list (B_OK is still
    // returned with Exists() false); a file that cannot be read gives its
    // error.
    status_t Load(const char* path);

    bool Exists() const { return fExists; }
    bool WasCut() const { return fCut; }
    const std::string& Text() const { return fText; }
    const std::vector<AvatarPiece>& Pieces() const { return fPieces; }

    // The entry the client shows for a read of tag, or null for nobody (the
    // client then shows "none"). The client searches the tag without its
    // first character as a substring of each tag field, first match wins.
    const AvatarPiece* Shows(std::string_view tag) const;

    // The first entry named name, or null.
    const AvatarPiece* Find(std::string_view name) const;

private:
    void Split();

    std::string fText;
    std::vector<AvatarPiece> fPieces;
    bool fExists = false;
    bool fCut = false;
};

// What the client searches the list for when tag is read; empty names
// nobody.
std::string_view SearchKey(std::string_view tag);

// The tags written in a tag field: its words, CR and blanks between them
// left out.
std::vector<std::string_view> TagsOf(std::string_view field);

#endif
