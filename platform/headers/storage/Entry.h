#ifndef _ENTRY_H
#define _ENTRY_H

#include <StorageDefs.h>
#include <Statable.h>
#include <SupportDefs.h>

#include <sys/types.h>

#include <string>

class BDirectory;
class BPath;

// A reference to an entry: the device and the inode of its folder, and its name.
struct entry_ref {
    entry_ref();
    entry_ref(dev_t device, ino_t directory, const char* name);
    entry_ref(const entry_ref& other);
    ~entry_ref();

    status_t set_name(const char* name);

    bool operator==(const entry_ref& other) const;
    bool operator!=(const entry_ref& other) const;
    entry_ref& operator=(const entry_ref& other);

    dev_t device;
    ino_t directory;
    char* name;
};

// A location in the file system: a folder that exists and a name in it, which may not.
class BEntry : public BStatable
{
public:
    BEntry();
    BEntry(const BDirectory* dir, const char* path, bool traverse = false);
    BEntry(const entry_ref* ref, bool traverse = false);
    BEntry(const char* path, bool traverse = false);
    BEntry(const BEntry& entry);
    virtual ~BEntry();

    status_t InitCheck() const;
    bool Exists() const;

    virtual status_t GetStat(struct stat* st) const;

    status_t SetTo(const BDirectory* dir, const char* path, bool traverse = false);
    status_t SetTo(const entry_ref* ref, bool traverse = false);
    status_t SetTo(const char* path, bool traverse = false);
    void Unset();

    status_t GetRef(entry_ref* ref) const;
    status_t GetPath(BPath* path) const;
    status_t GetParent(BEntry* entry) const;
    status_t GetParent(BDirectory* dir) const;
    status_t GetName(char* buffer) const;

    status_t Remove();

    bool operator==(const BEntry& item) const;
    bool operator!=(const BEntry& item) const;
    BEntry& operator=(const BEntry& item);

private:
    std::string fPath;
    status_t fStatus;
};

// Makes an entry_ref for the entry at path (whose folder must exist).
status_t get_ref_for_path(const char* path, entry_ref* ref);

bool operator<(const entry_ref& a, const entry_ref& b);

#endif
