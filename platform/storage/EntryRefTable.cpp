#include "storage/EntryRefTable.h"

#include <stdint.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace BPrivate
{

EntryRefTable& EntryRefTable::Default()
{
    static EntryRefTable table;
    return table;
}

void EntryRefTable::Remember(dev_t device, ino_t directory, const std::string& path)
{
    std::lock_guard<std::mutex> guard(fLock);
    fPaths[{device, directory}] = path;
}

bool EntryRefTable::Find(dev_t device, ino_t directory, std::string* path) const
{
    std::string found;
    {
        std::lock_guard<std::mutex> guard(fLock);
        auto it = fPaths.find({device, directory});
        if (it == fPaths.end())
            return false;
        found = it->second;
    }
    struct stat st;
    if (stat(found.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ref_device(st.st_dev) != device ||
        st.st_ino != directory)
        return false;
    *path = found;
    return true;
}

dev_t ref_device(dev_t hostDevice)
{
    if (hostDevice <= (dev_t)INT32_MAX)
        return hostDevice;
    // 11 bits of major and 20 of minor keep the value positive as an int32.
    return ((dev_t)(major(hostDevice) & 0x7ff) << 20) | (minor(hostDevice) & 0xfffff);
}

} // namespace BPrivate
