#ifndef _STATABLE_H
#define _STATABLE_H

#include <SupportDefs.h>

#include <sys/stat.h>
#include <time.h>

// What can be asked of anything that has a stat: its kind, size and times.
class BStatable
{
public:
    virtual ~BStatable();

    virtual status_t GetStat(struct stat* st) const = 0;

    bool IsFile() const;
    bool IsDirectory() const;
    bool IsSymLink() const;

    status_t GetSize(off_t* size) const;
    status_t GetModificationTime(time_t* mtime) const;
    status_t GetPermissions(mode_t* permissions) const;
};

#endif
