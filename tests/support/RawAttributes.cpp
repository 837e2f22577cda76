#include "RawAttributes.h"

#include <errno.h>
#include <sys/xattr.h>

namespace RawAttributes
{

namespace
{

std::string XattrName(const std::string& name)
{
    return "user.haiku." + name;
}

} // namespace

std::string Read(const std::string& path, const std::string& name)
{
    char buffer[65536];
    ssize_t size = getxattr(path.c_str(), XattrName(name).c_str(), buffer, sizeof(buffer));
    return size < 0 ? std::string("<missing>") : std::string(buffer, (size_t)size);
}

int Plant(const std::string& path, const std::string& name, const std::string& value)
{
    return setxattr(path.c_str(), XattrName(name).c_str(), value.data(), value.size(), 0) == 0
               ? 0
               : errno;
}

std::string Encode(uint32 type, const void* data, size_t size)
{
    return std::string((const char*)&type, 4) + std::string((const char*)data, size);
}

} // namespace RawAttributes
