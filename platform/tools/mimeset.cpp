// mimeset [-f] PATH...: gives each file the type of its content.

#include "storage/MimeSniffer.h"
#include "ToolMain.h"

#include <File.h>
#include <Node.h>
#include <NodeInfo.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace
{

const char kUsage[] =
    "usage: mimeset [-f] PATH...\n"
    "Stores in each PATH's BEOS:TYPE attribute the MIME type of its content (a folder gets\n"
    "the folder type; folders are not entered). A PATH that already has a type keeps it\n"
    "unless -f is given.\n";

const char kTypeAttribute[] = "BEOS:TYPE";
constexpr size_t kSniffSize = 64 * 1024;

status_t content_type(const char* path, const BNode& node, std::string* type)
{
    if (node.IsDirectory()) {
        *type = "application/x-vnd.Be-directory";
        return B_OK;
    }
    BFile file(path, B_READ_ONLY);
    if (file.InitCheck() != B_OK)
        return file.InitCheck();
    std::vector<char> head(kSniffSize);
    ssize_t size = file.ReadAt(0, head.data(), head.size());
    if (size < 0)
        return (status_t)size;
    *type = BPrivate::MimeSniffer::Default().TypeOf(head.data(), (size_t)size);
    return B_OK;
}

bool set_type(const char* path, bool force)
{
    BNode node(path);
    status_t status = node.InitCheck();
    attr_info info;
    if (status == B_OK && !force && node.GetAttrInfo(kTypeAttribute, &info) == B_OK)
        return true;
    std::string type;
    if (status == B_OK)
        status = content_type(path, node, &type);
    BNodeInfo nodeInfo;
    if (status == B_OK)
        status = nodeInfo.SetTo(&node);
    if (status == B_OK)
        status = nodeInfo.SetType(type.c_str());
    if (status != B_OK) {
        fprintf(stderr, "mimeset: %s: %s\n", path, strerror(status));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (AnswerHelpOrVersion(argc, argv, "mimeset", kUsage))
        return 0;
    int first = 1;
    bool force = false;
    if (argc > 1 && strcmp(argv[1], "-f") == 0) {
        force = true;
        first = 2;
    } else if (argc > 1 && argv[1][0] == '-' && argv[1][1] != '\0') {
        fprintf(stderr, "mimeset: unknown option %s (see --help)\n", argv[1]);
        return 1;
    }
    if (first >= argc) {
        fputs("mimeset: no path given (see --help)\n", stderr);
        return 1;
    }
    return RunOnEach(argv + first, argv + argc,
                     [&](const char* path) { return set_type(path, force); });
}
