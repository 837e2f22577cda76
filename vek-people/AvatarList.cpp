#include "AvatarList.h"

#include <Errors.h>

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

const char kAvatarListName[] = "rfid_avatar_list";
const char kAvatarFolderName[] = "avatars";

AvatarList::AvatarList(std::string text) : fText(std::move(text)), fExists(true)
{
    if (fText.size() > kLongestList) {
        fText.resize(kLongestList);
        fCut = true;
    }
    Split();
}

status_t AvatarList::Load(const char* path)
{
    fText.clear();
    fPieces.clear();
    fExists = false;
    fCut = false;

    // Only a regular file, so that a FIFO or a device can't stall the reader.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? B_OK : (status_t)errno;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return B_BAD_TYPE;
    }
    fExists = true;
    std::string text;
    text.resize(kLongestList + 1);
    size_t have = 0;
    while (have < text.size()) {
        ssize_t got = read(fd, text.data() + have, text.size() - have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            status_t error = (status_t)errno;
            close(fd);
            return error;
        }
        if (got == 0)
            break;
        have += got;
    }
    close(fd);
    text.resize(have);
    if (text.size() > kLongestList) {
        text.resize(kLongestList);
        fCut = true;
    }
    fText = std::move(text);
    Split();
    return B_OK;
}

void AvatarList::Split()
{
    std::string_view rest = fText;
    size_t line = 1;
    bool continued = false;
    while (!rest.empty()) {
        size_t length = rest.size() < kLongestPiece ? rest.size() : kLongestPiece;
        size_t newline = rest.substr(0, length).find('\n');
        if (newline != std::string_view::npos)
            length = newline + 1;
        std::string_view piece = rest.substr(0, length);
        rest.remove_prefix(length);

        AvatarPiece entry{AvatarPiece::kEntry, line, continued, piece, {}, {}};
        bool ends = piece.back() == '\n';
        continued = !ends;
        if (ends)
            line++;

        // A piece ends at its first NUL byte, as a C string would.
        size_t nul = piece.find('\0');
        if (nul != std::string_view::npos)
            entry.text = piece = piece.substr(0, nul);
        if (!piece.empty() && piece[0] == '#')
            entry.kind = AvatarPiece::kComment;
        else if (piece.size() < kShortestEntry)
            entry.kind = AvatarPiece::kShort;
        else {
            // The first '|' splits the piece, unless it is the first byte;
            // then the first blank does. Neither field is trimmed.
            size_t separator = piece.find('|');
            if (separator == std::string_view::npos || separator == 0)
                separator = piece.find(' ');
            entry.tags = piece;
            if (separator != std::string_view::npos) {
                entry.name = piece.substr(0, separator);
                entry.tags = piece.substr(separator + 1);
            }
            if (!entry.tags.empty() && entry.tags.back() == '\n')
                entry.tags.remove_suffix(1);
        }
        fPieces.push_back(entry);
    }
}

const AvatarPiece* AvatarList::Shows(std::string_view tag) const
{
    std::string_view key = SearchKey(tag);
    if (key.empty())
        return nullptr;
    for (const AvatarPiece& piece : fPieces) {
        if (piece.kind == AvatarPiece::kEntry && piece.tags.find(key) != std::string_view::npos)
            return &piece;
    }
    return nullptr;
}

const AvatarPiece* AvatarList::Find(std::string_view name) const
{
    for (const AvatarPiece& piece : fPieces) {
        if (piece.kind == AvatarPiece::kEntry && piece.name == name)
            return &piece;
    }
    return nullptr;
}

std::string_view SearchKey(std::string_view tag)
{
    // The client looks for the tag text from its second byte on, up to a NUL.
    if (tag.empty())
        return tag;
    tag.remove_prefix(1);
    return tag.substr(0, tag.find('\0'));
}

std::vector<std::string_view> TagsOf(std::string_view field)
{
    std::vector<std::string_view> tags;
    size_t at = 0;
    while (at < field.size()) {
        size_t start = field.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos)
            break;
        size_t end = field.find_first_of(" \t\r", start);
        if (end == std::string_view::npos)
            end = field.size();
        tags.push_back(field.substr(start, end - start));
        at = end;
    }
    return tags;
}
