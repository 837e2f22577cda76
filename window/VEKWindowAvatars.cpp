// The avatar list: which picture belongs to which tag.

#include "VEKWindow.h"

#include <Node.h>
#include <NodeInfo.h>
#include <Path.h>
#include <String.h>

#include <stdio.h>
#include <string.h>

namespace {

const char* kListName = "rfid_avatar_list";

// Lines of 8 bytes or fewer, newline included, are no entries.
const size_t kShortestEntry = 9;

// Reads the list at path piece by piece (at most 255 bytes each) and hands
// every entry's name and tag fields to handleEntry, which returns false to end
// the scan. A list that can't be opened has no entries.
template <typename Handler>
void ScanAvatarList(const char* path, Handler handleEntry)
{
    FILE* list = path != NULL ? fopen(path, "r") : NULL;
    if (list == NULL)
        return;

    char line[256];
    while (!feof(list) && !ferror(list)) {
        if (fgets(line, sizeof(line), list) == NULL)
            break;
        if (line[0] == '#' || strlen(line) < kShortestEntry)
            continue;

        // The first '|' splits the line, unless it is the first byte; then the
        // first blank does. Neither field is trimmed.
        char* separator = strchr(line, '|');
        if (separator == NULL || separator == line)
            separator = strchr(line, ' ');

        BString name;
        BString tag;
        if (separator != NULL) {
            name.SetTo(line, (int32)(separator - line));
            tag = separator + 1;
        } else {
            tag = line;
        }
        tag.RemoveAll("\n");

        if (!handleEntry(name, tag))
            break;
    }
    fclose(list);
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
            ScanAvatarList(listPath.Path(), [search](const BString& name, const BString& tag) {
                printf("Add: '%s' '%s' ", name.String(), tag.String());
                if (search != NULL)
                    printf("strstr: '%p'", (const void*)strstr(tag.String(), search));
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
            bool matched = false;
            ScanAvatarList(listPath.Path(), [&](const BString& name, const BString& tag) {
                if (search == NULL || strstr(tag.String(), search) == NULL)
                    return true;
                ManageLogo((char*)name.String());
                matched = true;
                return false;
            });
            if (!matched)
                ManageLogo(NULL);
            break;
        }
    }
}
