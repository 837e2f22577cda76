// listattr FILE...: the attributes of each file, one line each: name, type code, size.

#include "ToolMain.h"

#include <Node.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

namespace
{

const char kUsage[] =
    "usage: listattr FILE...\n"
    "Lists the attributes of each FILE, one line each: the name, the type code as four\n"
    "characters and the data size in bytes, separated by tabs. With several files, each\n"
    "file's list follows a line with the file's name and a colon.\n";

void type_text(uint32 type, char* text)
{
    for (int i = 0; i < 4; i++) {
        unsigned char c = (unsigned char)(type >> (24 - 8 * i));
        text[i] = isprint(c) ? (char)c : '.';
    }
    text[4] = '\0';
}

bool list_file(const char* path, bool withHeader)
{
    BNode node(path);
    if (node.InitCheck() != B_OK) {
        fprintf(stderr, "listattr: %s: %s\n", path, strerror(node.InitCheck()));
        return false;
    }
    if (withHeader)
        printf("%s:\n", path);
    char name[B_ATTR_NAME_LENGTH + 1];
    status_t status;
    while ((status = node.GetNextAttrName(name)) == B_OK) {
        attr_info info;
        status_t infoStatus = node.GetAttrInfo(name, &info);
        if (infoStatus != B_OK) {
            fprintf(stderr, "listattr: %s: %s: %s\n", path, name, strerror(infoStatus));
            return false;
        }
        char type[5];
        type_text(info.type, type);
        printf("%s\t%s\t%lld\n", name, type, (long long)info.size);
    }
    if (status != B_ENTRY_NOT_FOUND) {
        fprintf(stderr, "listattr: %s: %s\n", path, strerror(status));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (AnswerHelpOrVersion(argc, argv, "listattr", kUsage))
        return 0;
    if (argc < 2) {
        fputs("listattr: no file given (see --help)\n", stderr);
        return 1;
    }
    return RunOnEach(argv + 1, argv + argc,
                     [&](const char* path) { return list_file(path, argc > 2); });
}
