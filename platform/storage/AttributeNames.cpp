#include "storage/AttributeNames.h"

#include <string.h>

namespace BPrivate
{

const char kAttributePrefix[] = "user.haiku.";

std::string attribute_xattr_name(const char* name)
{
    std::string result(kAttributePrefix);
    for (const char* c = name; *c != '\0'; c++) {
        if (*c == '%')
            result += "%%";
        else if (*c == '/')
            result += "%\\";
        else
            result += *c;
    }
    return result;
}

bool attribute_name_from_xattr(const char* xattrName, std::string* name)
{
    size_t prefixLength = strlen(kAttributePrefix);
    if (strncmp(xattrName, kAttributePrefix, prefixLength) != 0)
        return false;
    name->clear();
    for (const char* c = xattrName + prefixLength; *c != '\0'; c++) {
        if (c[0] == '%' && c[1] == '%') {
            *name += '%';
            c++;
        } else if (c[0] == '%' && c[1] == '\\') {
            *name += '/';
            c++;
        } else {
            *name += *c;
        }
    }
    return true;
}

} // namespace BPrivate
