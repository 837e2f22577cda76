#ifndef _NODE_H
#define _NODE_H

#include <Statable.h>
#include <StorageDefs.h>
#include <SupportDefs.h>

#include <string>
#include <vector>

class BDirectory;
class BEntry;
struct entry_ref;

// What GetAttrInfo tells about an attribute.
struct attr_info {
    uint32 type;
    off_t size;
};

// A file system node (file, folder or link) with typed attributes. A node made on a
// link is the link itself.
class BNode : public BStatable
{
public:
    BNode();
    BNode(const entry_ref* ref);
    BNode(const BEntry* entry);
    BNode(const char* path);
    BNode(const BDirectory* dir, const char* path);
    virtual ~BNode();

    status_t InitCheck() const;
    virtual status_t GetStat(struct stat* st) const;

    status_t SetTo(const entry_ref* ref);
    status_t SetTo(const BEntry* entry);
    status_t SetTo(const char* path);
    status_t SetTo(const BDirectory* dir, const char* path);
    void Unset();

    // ReadAttr ignores type and returns the bytes read: min(length, size - offset).
    ssize_t ReadAttr(const char* name, type_code type, off_t offset, void* buffer,
                     size_t length) const;
    // At offset 0 the write replaces the whole value and its type.
    ssize_t WriteAttr(const char* name, type_code type, off_t offset, const void* buffer,
                      size_t length);
    status_t RemoveAttr(const char* name);
    status_t GetAttrInfo(const char* name, attr_info* info) const;
    status_t GetNextAttrName(char* buffer);
    status_t RewindAttrs();

    status_t Sync();

protected:
    // For subclasses that open the node themselves: takes ownership of fd. A node opened
    // by path only (O_PATH: a link, or no read access) reaches its attributes by path.
    status_t _SetToDescriptor(int fd, const char* path, bool byPath);
    int _Descriptor() const { return fFd; }
    void _SetStatus(status_t status) { fStatus = status; }

private:
    friend class BNodeInfo;

    BNode(const BNode&) = delete;
    BNode& operator=(const BNode&) = delete;

    status_t _OpenPath(const char* path);
    ssize_t _GetValue(const char* name, std::vector<char>* value) const;

    int fFd;
    bool fByPath;
    std::string fPath;
    status_t fStatus;
    std::vector<std::string> fAttrNames;
    size_t fNextAttr;
    bool fAttrsListed;
};

#endif
