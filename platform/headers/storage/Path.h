#ifndef _PATH_H
#define _PATH_H

#include <StorageDefs.h>
#include <SupportDefs.h>

#include <string>

class BDirectory;
class BEntry;
struct entry_ref;

// An absolute path. Paths that need it (relative ones, "//", "/./", "/../", a trailing
// "/", "/." or "/..") are normalised through the file system; others keep their text.
// Any failure leaves the object uninitialised.
class BPath
{
public:
    BPath();
    BPath(const BPath& path);
    BPath(const entry_ref* ref);
    BPath(const BEntry* entry);
    BPath(const char* dir, const char* leaf = NULL, bool normalize = false);
    BPath(const BDirectory* dir, const char* leaf, bool normalize = false);
    virtual ~BPath();

    status_t InitCheck() const;

    status_t SetTo(const entry_ref* ref);
    status_t SetTo(const BEntry* entry);
    status_t SetTo(const char* path, const char* leaf = NULL, bool normalize = false);
    status_t SetTo(const BDirectory* dir, const char* leaf = NULL, bool normalize = false);
    void Unset();

    status_t Append(const char* path, bool normalize = false);

    const char* Path() const;
    const char* Leaf() const;
    status_t GetParent(BPath* path) const;

    bool operator==(const BPath& item) const;
    bool operator==(const char* path) const;
    bool operator!=(const BPath& item) const;
    bool operator!=(const char* path) const;
    BPath& operator=(const BPath& item);
    BPath& operator=(const char* path);

private:
    status_t _Fail(status_t error);

    std::string fName;
    status_t fStatus;
};

#endif
