#ifndef _STORAGE_ENTRY_REF_TABLE_H
#define _STORAGE_ENTRY_REF_TABLE_H

#include <SupportDefs.h>

#include <sys/types.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace BPrivate
{

// Linux cannot turn a folder's (device, inode) back into a path, so the layer remembers the
// path of every folder it has made an entry_ref for. Process-wide and thread-safe.
class EntryRefTable
{
public:
    static EntryRefTable& Default();

    void Remember(dev_t device, ino_t directory, const std::string& path);
    // The folder's path, checked against the file system: a folder moved or replaced since
    // it was remembered is not found.
    bool Find(dev_t device, ino_t directory, std::string* path) const;

private:
    EntryRefTable() = default;

    mutable std::mutex fLock;
    std::map<std::pair<dev_t, ino_t>, std::string> fPaths;
};

// The device number that an entry_ref carries for a host st_dev. Flattened refs hold the
// device as int32, so numbers beyond that range are folded into it.
dev_t ref_device(dev_t hostDevice);

} // namespace BPrivate

#endif
