// catattr NAME FILE...: the value of one attribute of each file, decoded by its type.

#include "ToolMain.h"

#include <Node.h>
#include <TypeConstants.h>

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace
{

const char kUsage[] =
    "usage: catattr NAME FILE...\n"
    "Prints the attribute NAME of each FILE. Strings (CSTR, MIMS) print up to their first\n"
    "NUL, LONG, ULNG and LLNG as decimal numbers, BOOL as true or false, FLOT as a number,\n"
    "RECT as left,top,right,bottom; any other type, or a value whose size does not fit its\n"
    "type, as hex bytes. With several files, each value follows the file's name and \": \".\n";

std::string hex(const std::vector<char>& data)
{
    std::string text;
    char digits[3];
    for (char c : data) {
        snprintf(digits, sizeof(digits), "%02x", (unsigned char)c);
        text += digits;
    }
    return text;
}

template <typename T> bool fixed(const std::vector<char>& data, T* value)
{
    if (data.size() != sizeof(T))
        return false;
    memcpy(value, data.data(), sizeof(T));
    return true;
}

std::string decode(uint32 type, const std::vector<char>& data)
{
    char text[256];
    switch (type) {
    case B_STRING_TYPE:
    case B_MIME_STRING_TYPE:
        return std::string(data.data(), strnlen(data.data(), data.size()));
    case B_INT32_TYPE: {
        int32 value;
        if (fixed(data, &value))
            return std::to_string(value);
        break;
    }
    case B_UINT32_TYPE: {
        uint32 value;
        if (fixed(data, &value))
            return std::to_string(value);
        break;
    }
    case B_INT64_TYPE: {
        int64 value;
        if (fixed(data, &value))
            return std::to_string(value);
        break;
    }
    case B_BOOL_TYPE: {
        uint8 value;
        if (fixed(data, &value))
            return value != 0 ? "true" : "false";
        break;
    }
    case B_FLOAT_TYPE: {
        float value;
        if (fixed(data, &value)) {
            snprintf(text, sizeof(text), "%g", value);
            return text;
        }
        break;
    }
    case B_RECT_TYPE: {
        struct {
            float left, top, right, bottom;
        } rect;
        if (fixed(data, &rect)) {
            snprintf(text, sizeof(text), "%g,%g,%g,%g", rect.left, rect.top, rect.right,
                     rect.bottom);
            return text;
        }
        break;
    }
    }
    return hex(data);
}

bool cat_file(const char* name, const char* path, bool withName)
{
    BNode node(path);
    if (node.InitCheck() != B_OK) {
        fprintf(stderr, "catattr: %s: %s\n", path, strerror(node.InitCheck()));
        return false;
    }
    attr_info info;
    status_t status = node.GetAttrInfo(name, &info);
    if (status != B_OK) {
        fprintf(stderr, "catattr: %s: %s: %s\n", path, name, strerror(status));
        return false;
    }
    std::vector<char> data((size_t)info.size);
    ssize_t read = node.ReadAttr(name, info.type, 0, data.data(), data.size());
    if (read < 0) {
        fprintf(stderr, "catattr: %s: %s: %s\n", path, name, strerror((status_t)read));
        return false;
    }
    data.resize((size_t)read);
    if (withName)
        printf("%s: ", path);
    printf("%s\n", decode(info.type, data).c_str());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (AnswerHelpOrVersion(argc, argv, "catattr", kUsage))
        return 0;
    if (argc < 3) {
        fputs("catattr: need an attribute name and at least one file (see --help)\n", stderr);
        return 1;
    }
    return RunOnEach(argv + 2, argv + argc,
                     [&](const char* path) { return cat_file(argv[1], path, argc > 3); });
}
