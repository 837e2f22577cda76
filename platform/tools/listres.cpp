// listres: lists the resources attached to files.

#include "ToolMain.h"

#include <File.h>
#include <Resources.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace
{

const char kUsage[] =
    "usage: listres FILE...\n"
    "\n"
    "Prints one line per resource of each FILE: the type code, the id, the size in\n"
    "bytes and the name. With several files each list follows a line 'FILE:'.\n"
    "Exit status 0 when every file has resources; 1 when a file cannot be read or\n"
    "has none (said in one line on standard error) or on a usage error.\n";

void PrintType(type_code type)
{
    char code[4];
    bool printable = true;
    for (int i = 0; i < 4; i++) {
        code[i] = static_cast<char>((type >> (8 * (3 - i))) & 0xff);
        printable = printable && isprint(static_cast<unsigned char>(code[i]));
    }
    if (printable)
        printf("'%.4s'    ", code);
    else
        printf("0x%08lx", (unsigned long)type);
}

bool ListFile(const char* path, bool withHeading)
{
    BFile file(path, B_READ_ONLY);
    status_t status = file.InitCheck();
    BResources resources;
    if (status == B_OK)
        status = resources.SetTo(&file);
    if (status != B_OK) {
        fprintf(stderr, "listres: %s: %s\n", path, strerror(status));
        return false;
    }

    type_code type;
    int32 id;
    const char* name;
    size_t size;
    if (!resources.GetResourceInfo(0, &type, &id, &name, &size)) {
        fprintf(stderr, "listres: %s: no resources\n", path);
        return false;
    }
    if (withHeading)
        printf("%s:\n", path);
    for (int32 index = 0; resources.GetResourceInfo(index, &type, &id, &name, &size); index++) {
        PrintType(type);
        printf(" %11ld %10lu  %s\n", (long)id, (unsigned long)size, name);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (AnswerHelpOrVersion(argc, argv, "listres", kUsage))
        return 0;
    if (argc < 2) {
        fputs("listres: usage: listres FILE... (or --help)\n", stderr);
        return 1;
    }
    return RunOnEach(argv + 1, argv + argc,
                     [&](const char* path) { return ListFile(path, argc > 2); });
}
