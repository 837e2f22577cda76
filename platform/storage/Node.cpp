#include <Node.h>

#include "storage/AttributeNames.h"
#include "support/HostErrors.h"

#include <Directory.h>
#include <Entry.h>
#include <Path.h>

#include <algorithm>

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using BPrivate::attribute_xattr_name;
using BPrivate::kAttributeTypeSize;
using BPrivate::kMaxAttributeDataSize;

namespace
{

constexpr size_t kMaxXattrNameLength = 255;

status_t xattr_status(int error)
{
    switch (error) {
    case ENODATA:
        return B_ENTRY_NOT_FOUND;
    case ENOTSUP:
        return B_NOT_SUPPORTED;
    case E2BIG:
    case ENOSPC:
        return B_DEVICE_FULL;
    default:
        return BPrivate::status_from_errno(error);
    }
}

// The xattr that holds attribute `name` of a node in state `nodeStatus`.
status_t check_attribute_name(status_t nodeStatus, const char* name, std::string* xattrName)
{
    if (nodeStatus != B_OK)
        return B_FILE_ERROR;
    if (name == NULL || name[0] == '\0')
        return B_BAD_VALUE;
    if (strlen(name) > B_ATTR_NAME_LENGTH)
        return B_NAME_TOO_LONG;
    *xattrName = attribute_xattr_name(name);
    return xattrName->size() > kMaxXattrNameLength ? B_NAME_TOO_LONG : B_OK;
}

} // namespace

BNode::BNode() : fFd(-1), fByPath(false), fStatus(B_NO_INIT), fNextAttr(0), fAttrsListed(false) {}

BNode::BNode(const entry_ref* ref) : BNode()
{
    SetTo(ref);
}

BNode::BNode(const BEntry* entry) : BNode()
{
    SetTo(entry);
}

BNode::BNode(const char* path) : BNode()
{
    SetTo(path);
}

BNode::BNode(const BDirectory* dir, const char* path) : BNode()
{
    SetTo(dir, path);
}

BNode::~BNode()
{
    Unset();
}

status_t BNode::InitCheck() const
{
    return fStatus;
}

status_t BNode::GetStat(struct stat* st) const
{
    if (st == NULL)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return fStatus;
    return fstat(fFd, st) == 0 ? B_OK : BPrivate::last_error_status();
}

status_t BNode::SetTo(const entry_ref* ref)
{
    if (ref == NULL) {
        Unset();
        return fStatus = B_BAD_VALUE;
    }
    BEntry entry(ref);
    return SetTo(&entry);
}

status_t BNode::SetTo(const BEntry* entry)
{
    if (entry == NULL) {
        Unset();
        return fStatus = B_BAD_VALUE;
    }
    BPath path;
    status_t status = entry->GetPath(&path);
    if (status != B_OK) {
        Unset();
        return fStatus = status;
    }
    return SetTo(path.Path());
}

status_t BNode::SetTo(const BDirectory* dir, const char* path)
{
    BEntry entry(dir, path);
    return SetTo(&entry);
}

status_t BNode::SetTo(const char* path)
{
    Unset();
    if (path == NULL)
        return fStatus = B_BAD_VALUE;
    if (path[0] == '\0')
        return fStatus = B_ENTRY_NOT_FOUND;
    return fStatus = _OpenPath(path);
}

status_t BNode::_OpenPath(const char* path)
{
    // O_NONBLOCK keeps a FIFO from blocking the open; the node never reads its data.
    int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        return _SetToDescriptor(fd, path, false);
    if (errno != ELOOP && errno != EACCES)
        return BPrivate::last_error_status();
    // A link (which the node is, not its target) or a node without read access.
    fd = open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return BPrivate::last_error_status();
    return _SetToDescriptor(fd, path, true);
}

status_t BNode::_SetToDescriptor(int fd, const char* path, bool byPath)
{
    if (fFd >= 0)
        close(fFd);
    fFd = fd;
    fByPath = byPath;
    fPath = path;
    fAttrNames.clear();
    fNextAttr = 0;
    fAttrsListed = false;
    return fStatus = B_OK;
}

void BNode::Unset()
{
    if (fFd >= 0)
        close(fFd);
    fFd = -1;
    fByPath = false;
    fPath.clear();
    fAttrNames.clear();
    fNextAttr = 0;
    fAttrsListed = false;
    fStatus = B_NO_INIT;
}

ssize_t BNode::_GetValue(const char* xattrName, std::vector<char>* value) const
{
    // The value may change between asking for its size and reading it: retry a few times.
    for (int attempt = 0; attempt < 4; attempt++) {
        ssize_t size = fByPath ? lgetxattr(fPath.c_str(), xattrName, NULL, 0)
                               : fgetxattr(fFd, xattrName, NULL, 0);
        if (size < 0)
            return xattr_status(errno);
        value->resize((size_t)size);
        ssize_t read = fByPath ? lgetxattr(fPath.c_str(), xattrName, value->data(), value->size())
                               : fgetxattr(fFd, xattrName, value->data(), value->size());
        if (read >= 0) {
            value->resize((size_t)read);
            if (value->size() < kAttributeTypeSize)
                return B_ERROR;
            return read;
        }
        if (errno != ERANGE)
            return xattr_status(errno);
    }
    return B_BUSY;
}

ssize_t BNode::ReadAttr(const char* name, type_code type, off_t offset, void* buffer,
                        size_t length) const
{
    if (name == NULL || buffer == NULL || offset < 0)
        return B_BAD_VALUE;
    std::string xattrName;
    status_t status = check_attribute_name(fStatus, name, &xattrName);
    if (status != B_OK)
        return status;

    std::vector<char> value;
    ssize_t result = _GetValue(xattrName.c_str(), &value);
    if (result < 0)
        return result;
    size_t dataSize = value.size() - kAttributeTypeSize;
    if ((uint64)offset >= dataSize)
        return 0;
    size_t count = std::min(length, dataSize - (size_t)offset);
    memcpy(buffer, value.data() + kAttributeTypeSize + offset, count);
    return (ssize_t)count;
}

ssize_t BNode::WriteAttr(const char* name, type_code type, off_t offset, const void* buffer,
                         size_t length)
{
    if (name == NULL || buffer == NULL || offset < 0)
        return B_BAD_VALUE;
    std::string xattrName;
    status_t status = check_attribute_name(fStatus, name, &xattrName);
    if (status != B_OK)
        return status;
    if ((uint64)offset > kMaxAttributeDataSize || length > kMaxAttributeDataSize - (size_t)offset)
        return B_BAD_VALUE;

    std::vector<char> value;
    if (offset > 0) {
        // Writing into the middle keeps the rest of the old data.
        ssize_t result = _GetValue(xattrName.c_str(), &value);
        if (result < 0 && result != B_ENTRY_NOT_FOUND)
            return result;
        if (result < 0)
            value.clear();
    }
    size_t end = kAttributeTypeSize + (size_t)offset + length;
    if (value.size() < end)
        value.resize(end, 0);
    memcpy(value.data(), &type, kAttributeTypeSize);
    memcpy(value.data() + kAttributeTypeSize + offset, buffer, length);

    int result = fByPath
                     ? lsetxattr(fPath.c_str(), xattrName.c_str(), value.data(), value.size(), 0)
                     : fsetxattr(fFd, xattrName.c_str(), value.data(), value.size(), 0);
    if (result != 0)
        return xattr_status(errno);
    return (ssize_t)length;
}

status_t BNode::RemoveAttr(const char* name)
{
    if (name == NULL)
        return B_BAD_VALUE;
    std::string xattrName;
    status_t status = check_attribute_name(fStatus, name, &xattrName);
    if (status != B_OK)
        return status;
    int result = fByPath ? lremovexattr(fPath.c_str(), xattrName.c_str())
                         : fremovexattr(fFd, xattrName.c_str());
    return result == 0 ? B_OK : xattr_status(errno);
}

status_t BNode::GetAttrInfo(const char* name, attr_info* info) const
{
    if (name == NULL || info == NULL)
        return B_BAD_VALUE;
    std::string xattrName;
    status_t status = check_attribute_name(fStatus, name, &xattrName);
    if (status != B_OK)
        return status;
    std::vector<char> value;
    ssize_t result = _GetValue(xattrName.c_str(), &value);
    if (result < 0)
        return (status_t)result;
    memcpy(&info->type, value.data(), kAttributeTypeSize);
    info->size = (off_t)(value.size() - kAttributeTypeSize);
    return B_OK;
}

status_t BNode::GetNextAttrName(char* buffer)
{
    if (buffer == NULL)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return B_FILE_ERROR;
    if (!fAttrsListed) {
        std::vector<char> list;
        for (int attempt = 0;; attempt++) {
            ssize_t size = fByPath ? llistxattr(fPath.c_str(), NULL, 0) : flistxattr(fFd, NULL, 0);
            if (size < 0)
                return xattr_status(errno);
            list.resize((size_t)size);
            ssize_t read = fByPath ? llistxattr(fPath.c_str(), list.data(), list.size())
                                   : flistxattr(fFd, list.data(), list.size());
            if (read >= 0) {
                list.resize((size_t)read);
                break;
            }
            if (errno != ERANGE || attempt == 3)
                return xattr_status(errno);
        }
        fAttrNames.clear();
        for (size_t start = 0; start < list.size();) {
            const char* xattrName = list.data() + start;
            size_t nameLength = strnlen(xattrName, list.size() - start);
            std::string name;
            if (start + nameLength < list.size() &&
                BPrivate::attribute_name_from_xattr(xattrName, &name) && !name.empty() &&
                name.size() <= B_ATTR_NAME_LENGTH)
                fAttrNames.push_back(name);
            start += nameLength + 1;
        }
        fNextAttr = 0;
        fAttrsListed = true;
    }
    if (fNextAttr >= fAttrNames.size())
        return B_ENTRY_NOT_FOUND;
    const std::string& name = fAttrNames[fNextAttr++];
    memcpy(buffer, name.c_str(), name.size() + 1);
    return B_OK;
}

status_t BNode::RewindAttrs()
{
    if (fStatus != B_OK)
        return B_FILE_ERROR;
    fAttrNames.clear();
    fNextAttr = 0;
    fAttrsListed = false;
    return B_OK;
}

status_t BNode::Sync()
{
    if (fStatus != B_OK)
        return B_FILE_ERROR;
    if (fByPath)
        return B_OK;
    return fsync(fFd) == 0 ? B_OK : BPrivate::last_error_status();
}
