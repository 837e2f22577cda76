#ifndef _STORAGE_ATTRIBUTE_NAMES_H
#define _STORAGE_ATTRIBUTE_NAMES_H

#include <stddef.h>

#include <string>

namespace BPrivate
{

// Attributes are Linux user xattrs named "user.haiku." + the name, '%' written "%%" and
// '/' written "%\"; the value is the 4-byte type code (host order) and the data.
extern const char kAttributePrefix[];
constexpr size_t kAttributeTypeSize = 4;
constexpr size_t kMaxAttributeDataSize = 40960;

std::string attribute_xattr_name(const char* name);
// The attribute name of an xattr, or false for an xattr that is not an attribute.
bool attribute_name_from_xattr(const char* xattrName, std::string* name);

} // namespace BPrivate

#endif
