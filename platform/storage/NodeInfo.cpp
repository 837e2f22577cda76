#include <NodeInfo.h>

#include "storage/MimeSniffer.h"

#include <TypeConstants.h>

#include <algorithm>

#include <string.h>
#include <sys/stat.h>

#include <string>

namespace
{

const char kTypeAttribute[] = "BEOS:TYPE";
const char kDirectoryType[] = "application/x-vnd.Be-directory";
const char kSymLinkType[] = "application/x-vnd.Be-symlink";

void copy_type(const std::string& type, char* buffer)
{
    size_t length = std::min(type.size(), (size_t)B_MIME_TYPE_LENGTH - 1);
    memcpy(buffer, type.data(), length);
    buffer[length] = '\0';
}

} // namespace

BNodeInfo::BNodeInfo() : fNode(NULL), fStatus(B_NO_INIT) {}

BNodeInfo::BNodeInfo(BNode* node) : fNode(NULL), fStatus(B_NO_INIT)
{
    SetTo(node);
}

BNodeInfo::~BNodeInfo() = default;

status_t BNodeInfo::SetTo(BNode* node)
{
    fNode = NULL;
    if (node == NULL || node->InitCheck() != B_OK)
        return fStatus = B_BAD_VALUE;
    fNode = node;
    return fStatus = B_OK;
}

status_t BNodeInfo::InitCheck() const
{
    return fStatus;
}

status_t BNodeInfo::GetType(char* type) const
{
    if (type == NULL)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return B_NO_INIT;

    attr_info info;
    status_t status = fNode->GetAttrInfo(kTypeAttribute, &info);
    if (status == B_OK) {
        if (info.type != B_MIME_STRING_TYPE)
            return B_BAD_TYPE;
        ssize_t read =
            fNode->ReadAttr(kTypeAttribute, B_MIME_STRING_TYPE, 0, type, B_MIME_TYPE_LENGTH);
        if (read < 0)
            return (status_t)read;
        type[std::min((size_t)read, (size_t)B_MIME_TYPE_LENGTH - 1)] = '\0';
        return B_OK;
    }
    if (status != B_ENTRY_NOT_FOUND && status != B_NOT_SUPPORTED)
        return status;

    // No stored type: type the node by what it is, then by content. Nothing is written.
    struct stat st;
    status = fNode->GetStat(&st);
    if (status != B_OK)
        return status;
    if (S_ISDIR(st.st_mode))
        copy_type(kDirectoryType, type);
    else if (S_ISLNK(st.st_mode))
        copy_type(kSymLinkType, type);
    else if (S_ISREG(st.st_mode) && !fNode->fByPath)
        copy_type(BPrivate::MimeSniffer::Default().TypeOfDescriptor(fNode->fFd), type);
    else
        copy_type("application/octet-stream", type);
    return B_OK;
}

status_t BNodeInfo::SetType(const char* type)
{
    if (fStatus != B_OK)
        return B_NO_INIT;
    if (type == NULL) {
        status_t status = fNode->RemoveAttr(kTypeAttribute);
        return status == B_ENTRY_NOT_FOUND ? B_OK : status;
    }
    size_t length = strlen(type);
    if (length >= B_MIME_TYPE_LENGTH)
        return B_BAD_VALUE;
    ssize_t written = fNode->WriteAttr(kTypeAttribute, B_MIME_STRING_TYPE, 0, type, length + 1);
    return written < 0 ? (status_t)written : B_OK;
}
