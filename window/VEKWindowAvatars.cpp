// The avatar list: which picture belongs to which tag.

#include "VEKWindow.h"

#include <Node.h>
#include <NodeInfo.h>
#include <Path.h>
#include <String.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

namespace
{

const char* kListName = "rfid_avatar_list";

// Lines of 8 bytes or fewer, newline included, are no entries.
const size_t kShortestEntry = 9;

// Lines are read in pieces of at most this many bytes.
const size_t kLongestPiece = 255;

// More than this is not read of a list: it is no list a person wrote.
const off_t kLongestList = 16 * 1024 * 1024;

// The list file, handed out piece by piece as a line-by-line fgets() into a
// 256-byte buffer would give them, without copying and without a lock per call.
class ListReader
{
public:
    ListReader(int fd) : fFile(fd), fStart(0), fEnd(0), fTotal(0), fAtEnd(false), fCut(false) {}

    // The next piece, its newline included; false at the end of the list.
    bool NextPiece(std::string_view& piece)
    {
        if (fEnd - fStart <= kLongestPiece && !fAtEnd)
            Refill();
        if (fStart == fEnd)
            return false;
        size_t length = fEnd - fStart;
        if (length > kLongestPiece)
            length = kLongestPiece;
        const char* start = fBuffer + fStart;
        const char* newline = (const char*)memchr(start, '\n', length);
        if (newline != NULL)
            length = newline - start + 1;
        fStart += length;
        piece = std::string_view(start, length);
        return true;
    }

    // Whether the list went on past the longest list that is read.
    bool WasCut() const { return fCut; }

private:
    void Refill()
    {
        memmove(fBuffer, fBuffer + fStart, fEnd - fStart);
        fEnd -= fStart;
        fStart = 0;
        while (fEnd < sizeof(fBuffer) && !fAtEnd) {
            size_t wanted = sizeof(fBuffer) - fEnd;
            if (fTotal == kLongestList) {
                // One byte more tells whether anything was left out.
                char probe;
                fCut = Read(&probe, 1) > 0;
                fAtEnd = true;
                break;
            }
            if ((off_t)wanted > kLongestList - fTotal)
                wanted = kLongestList - fTotal;
            ssize_t got = Read(fBuffer + fEnd, wanted);
            if (got <= 0) {
                fAtEnd = true;
                break;
            }
            fEnd += got;
            fTotal += got;
        }
    }

    ssize_t Read(char* into, size_t size)
    {
        ssize_t got;
        do
            got = read(fFile, into, size);
        while (got < 0 && errno == EINTR);
        return got;
    }

    int fFile;
    char fBuffer[32 * 1024];
    size_t fStart;
    size_t fEnd;
    off_t fTotal;
    bool fAtEnd;
    bool fCut;
};

// Reads the list at path piece by piece and hands every entry's name and tag
// fields to handleEntry, which returns false to end the scan. A list that
// can't be opened has no entries; only a regular file is read, so that a FIFO
// or a device can't stall the window.
template <typename Handler>
void ScanAvatarList(const char* path, bool& cutSaid, Handler handleEntry)
{
    if (path == NULL)
        return;
    struct stat status;
    if (stat(path, &status) != 0)
        return;
    int fd = -1;
    if (S_ISREG(status.st_mode)) {
        fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
            return;
        // It may have been replaced in between.
        if (fstat(fd, &status) != 0)
            status.st_mode = 0;
    }
    if (!S_ISREG(status.st_mode)) {
        printf("Avatar list '%s' is no regular file: not read\n", path);
        if (fd >= 0)
            close(fd);
        return;
    }

    ListReader list(fd);
    std::string_view piece;
    while (list.NextPiece(piece)) {
        // A piece ends at its first NUL byte, as a C string would.
        size_t length = piece.find('\0');
        if (length != std::string_view::npos)
            piece = piece.substr(0, length);
        if (piece.empty() || piece[0] == '#' || piece.size() < kShortestEntry)
            continue;

        // The first '|' splits the line, unless it is the first byte; then the
        // first blank does. Neither field is trimmed.
        size_t separator = piece.find('|');
        if (separator == std::string_view::npos || separator == 0)
            separator = piece.find(' ');

        std::string_view name;
        std::string_view tag = piece;
        if (separator != std::string_view::npos) {
            name = piece.substr(0, separator);
            tag = piece.substr(separator + 1);
        }
        if (!tag.empty() && tag.back() == '\n')
            tag.remove_suffix(1);

        if (!handleEntry(name, tag))
            break;
    }
    if (list.WasCut() && !cutSaid) {
        printf("Avatar list '%s' is longer than %lld bytes: the rest is not read\n", path,
               (long long)kLongestList);
        cutSaid = true;
    }
    close(fd);
}

} // namespace

void VEKWindow::WorkWithAvaList(int mode, char* search)
{
    printf("Modus: %d | search: '%s'\n", mode,
           search != NULL ? Printable(search).String() : "(null)");
    if (mode > A_LOOK) {
        printf("Modus: >A_ERR\n");
        return;
    }

    BPath listPath;
    if (listPath.SetTo(fAppDir.Path(), NULL, false) == B_OK)
        listPath.Append(kListName, false);

    switch (mode) {
    case A_INIT:
        printf("Modus: A_INIT\n");
        ManageLogo((char*)"givecard2");
        ScanAvatarList(
            listPath.Path(), fListCutSaid, [search](std::string_view name, std::string_view tag) {
                printf("Add: '%.*s' '%.*s' ", (int)name.size(), name.data(), (int)tag.size(),
                       tag.data());
                if (search != NULL) {
                    size_t at = tag.find(search);
                    printf("strstr: '%p'",
                           at != std::string_view::npos ? (const void*)(tag.data() + at) : NULL);
                }
                printf("\n");
                return true;
            });
        break;

    case A_READ:
        printf("Modus: A_READ\n");
        break;

    case A_WRITE:
        printf("Modus: A_WRITE\n");
        break;

    case A_CHECK: {
        printf("Modus: A_CHECK\n");
        BNode node(listPath.Path());
        BNodeInfo nodeInfo;
        nodeInfo.SetTo(&node);
        nodeInfo.SetType("text/plain");
        break;
    }

    case A_LOOK: {
        printf("Modus: A_LOOK\n");
        if (IsMinimized()) {
            printf("Will Show on screen.. \n");
            Show();
            Minimize(false);
        }
        // An empty key would be found in every entry, a key of blanks in every entry
        // that holds a blank; such a key names nobody.
        char name[kLongestPiece + 1];
        bool matched = false;
        if (search != NULL && search[strspn(search, " ")] != '\0') {
            ScanAvatarList(listPath.Path(), fListCutSaid,
                           [&](std::string_view entryName, std::string_view tag) {
                               if (tag.find(search) == std::string_view::npos)
                                   return true;
                               memcpy(name, entryName.data(), entryName.size());
                               name[entryName.size()] = '\0';
                               matched = true;
                               return false;
                           });
        }
        ManageLogo(matched ? name : NULL);
        break;
    }
    }
}
