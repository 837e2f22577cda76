#ifndef VEK_TESTS_SUPPORT_RAW_ATTRIBUTES_H
#define VEK_TESTS_SUPPORT_RAW_ATTRIBUTES_H

// Typed attributes as they lie on disk, past the storage kit: the xattr
// "user.haiku." + name, holding the type code (host byte order) and the data.
// Names are given as they stand in the xattr's name, escapes included.

#include <SupportDefs.h>

#include <stddef.h>

#include <string>

namespace RawAttributes
{

// The xattr's whole value, type code first; "<missing>" when there is none.
std::string Read(const std::string& path, const std::string& name);

// Sets the xattr's whole value, as another program could; the errno, or 0.
int Plant(const std::string& path, const std::string& name, const std::string& value);

// A value as it is stored: the type code, then the data.
std::string Encode(uint32 type, const void* data, size_t size);
inline std::string Encode(uint32 type, const std::string& data)
{
    return Encode(type, data.data(), data.size());
}

} // namespace RawAttributes

#endif
