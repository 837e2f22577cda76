// addattr [-t TYPE] NAME VALUE FILE...: writes one typed attribute to each file.

#include "ToolMain.h"

#include <Node.h>
#include <TypeConstants.h>

#include <ctype.h>
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace
{

const char kUsage[] =
    "usage: addattr [-t TYPE] NAME VALUE FILE...\n"
    "Writes the attribute NAME with VALUE to each FILE, replacing any earlier value.\n"
    "TYPE is one of:\n"
    "  string     CSTR, the characters of VALUE without a terminating NUL (the default)\n"
    "  mime       MIMS, the characters of VALUE with a terminating NUL\n"
    "  int32      LONG, 4 bytes       int64   LLNG, 8 bytes\n"
    "  bool       BOOL, 1 byte: true, false, 1 or 0\n"
    "  float      FLOT, 4 bytes       rect    RECT, \"left,top,right,bottom\" as 4 floats\n"
    "  raw        RAWT, VALUE as hex bytes (\"0a1b\"; \"\" for no data)\n"
    "  raw:CODE   VALUE as hex bytes with the four-character type CODE (raw:RECT 0000c842)\n"
    "Numbers are stored in the machine's byte order.\n";

uint32 four_char_code(const char* text)
{
    return ((uint32)(unsigned char)text[0] << 24) | ((uint32)(unsigned char)text[1] << 16) |
           ((uint32)(unsigned char)text[2] << 8) | (uint32)(unsigned char)text[3];
}

template <typename T> void append(std::vector<char>* data, T value)
{
    const char* bytes = (const char*)&value;
    data->insert(data->end(), bytes, bytes + sizeof(T));
}

bool parse_integer(const char* text, long long low, long long high, long long* value)
{
    char* end;
    errno = 0;
    long long parsed = strtoll(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

bool parse_float(const char* text, char** end, float* value)
{
    errno = 0;
    float parsed = strtof(text, end);
    if (errno != 0 || *end == text || !isfinite(parsed))
        return false;
    *value = parsed;
    return true;
}

bool parse_hex(const char* text, std::vector<char>* data)
{
    size_t length = strlen(text);
    if (length % 2 != 0)
        return false;
    for (size_t i = 0; i < length; i += 2) {
        char pair[3] = {text[i], text[i + 1], '\0'};
        char* end;
        long byte = strtol(pair, &end, 16);
        if (*end != '\0' || !isxdigit((unsigned char)pair[0]) || !isxdigit((unsigned char)pair[1]))
            return false;
        data->push_back((char)byte);
    }
    return true;
}

// The type code and bytes for VALUE, or an error text.
const char* encode(const std::string& type, const char* value, uint32* code,
                   std::vector<char>* data)
{
    if (type == "string" || type == "mime") {
        *code = type == "string" ? (uint32)B_STRING_TYPE : (uint32)B_MIME_STRING_TYPE;
        data->assign(value, value + strlen(value) + (type == "mime" ? 1 : 0));
        return NULL;
    }
    if (type == "int32" || type == "int64") {
        long long number;
        bool wide = type == "int64";
        if (!parse_integer(value, wide ? INT64_MIN : INT32_MIN, wide ? INT64_MAX : INT32_MAX,
                           &number))
            return "not an integer in range";
        *code = wide ? B_INT64_TYPE : B_INT32_TYPE;
        if (wide)
            append(data, (int64)number);
        else
            append(data, (int32)number);
        return NULL;
    }
    if (type == "bool") {
        *code = B_BOOL_TYPE;
        if (strcmp(value, "true") == 0 || strcmp(value, "1") == 0)
            data->push_back(1);
        else if (strcmp(value, "false") == 0 || strcmp(value, "0") == 0)
            data->push_back(0);
        else
            return "not true, false, 1 or 0";
        return NULL;
    }
    if (type == "float") {
        char* end;
        float number;
        if (!parse_float(value, &end, &number) || *end != '\0')
            return "not a finite number";
        *code = B_FLOAT_TYPE;
        append(data, number);
        return NULL;
    }
    if (type == "rect") {
        const char* cursor = value;
        for (int i = 0; i < 4; i++) {
            char* end;
            float number;
            if (!parse_float(cursor, &end, &number) || *end != (i < 3 ? ',' : '\0'))
                return "not four numbers \"left,top,right,bottom\"";
            append(data, number);
            cursor = end + 1;
        }
        *code = B_RECT_TYPE;
        return NULL;
    }
    if (type == "raw" || (type.size() == 8 && type.compare(0, 4, "raw:") == 0)) {
        *code = type == "raw" ? (uint32)B_RAW_TYPE : four_char_code(type.c_str() + 4);
        if (!parse_hex(value, data))
            return "not an even number of hex digits";
        return NULL;
    }
    return "unknown type";
}

} // namespace

int main(int argc, char** argv)
{
    if (AnswerHelpOrVersion(argc, argv, "addattr", kUsage))
        return 0;
    int first = 1;
    std::string type = "string";
    if (argc == 2 && strcmp(argv[1], "-t") == 0) {
        fputs("addattr: -t needs a type (see --help)\n", stderr);
        return 1;
    }
    if (argc > 2 && strcmp(argv[1], "-t") == 0) {
        type = argv[2];
        first = 3;
    } else if (argc > 1 && argv[1][0] == '-' && argv[1][1] != '\0') {
        fprintf(stderr, "addattr: unknown option %s (see --help)\n", argv[1]);
        return 1;
    }
    if (argc - first < 3) {
        fputs("addattr: need a name, a value and at least one file (see --help)\n", stderr);
        return 1;
    }
    const char* name = argv[first];
    const char* value = argv[first + 1];
    uint32 code = 0;
    std::vector<char> data;
    if (const char* error = encode(type, value, &code, &data)) {
        fprintf(stderr, "addattr: %s %s: %s\n", type.c_str(), value, error);
        return 1;
    }

    return RunOnEach(argv + first + 2, argv + argc, [&](const char* path) {
        BNode node(path);
        status_t status = node.InitCheck();
        if (status == B_OK) {
            // The data pointer must not be NULL even for an empty value.
            char none = 0;
            ssize_t written =
                node.WriteAttr(name, code, 0, data.empty() ? &none : data.data(), data.size());
            status = written < 0 ? (status_t)written : B_OK;
        }
        if (status != B_OK)
            fprintf(stderr, "addattr: %s: %s\n", path, strerror(status));
        return status == B_OK;
    });
}
