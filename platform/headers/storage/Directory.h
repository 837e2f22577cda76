#ifndef _DIRECTORY_H
#define _DIRECTORY_H

#include <Node.h>
#include <StorageDefs.h>

#include <string>
#include <vector>

class BEntry;
class BFile;
class BPath;
struct entry_ref;

// A folder: a node whose entries can be looked up, created and listed. Relative paths
// given to an uninitialised folder fail with B_NO_INIT; absolute ones need no folder.
class BDirectory : public BNode
{
public:
    BDirectory();
    BDirectory(const entry_ref* ref);
    BDirectory(const BEntry* entry);
    BDirectory(const char* path);
    BDirectory(const BDirectory* dir, const char* path);
    virtual ~BDirectory();

    status_t SetTo(const entry_ref* ref);
    status_t SetTo(const BEntry* entry);
    status_t SetTo(const char* path);
    status_t SetTo(const BDirectory* dir, const char* path);
    void Unset();

    status_t GetEntry(BEntry* entry) const;
    bool IsRootDirectory() const;

    status_t FindEntry(const char* path, BEntry* entry, bool traverse = false) const;
    bool Contains(const char* path, int32 nodeFlags = B_ANY_NODE) const;
    bool Contains(const BEntry* entry, int32 nodeFlags = B_ANY_NODE) const;

    status_t GetNextEntry(BEntry* entry, bool traverse = false);
    status_t GetNextRef(entry_ref* ref);
    status_t Rewind();
    int32 CountEntries() const;

    status_t CreateFile(const char* path, BFile* file, bool failIfExists = false);
    status_t CreateDirectory(const char* path, BDirectory* dir);

private:
    status_t _SetToPath(const std::string& path);
    status_t _Resolve(const char* path, std::string* fullPath) const;
    status_t _ReadEntryNames();

    std::string fDirPath;
    std::vector<std::string> fEntryNames;
    size_t fNextEntry;
    bool fEntriesRead;
};

#endif
