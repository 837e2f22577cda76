#ifndef _ENTRY_H
#define _ENTRY_H

#include <StorageDefs.h>
#include <SupportDefs.h>

#include <sys/types.h>

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

#endif
