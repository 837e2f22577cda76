#include <Path.h>

#include "storage/PathText.h"

#include <Directory.h>
#include <Entry.h>

#include <string.h>

using BPrivate::normalize_path;
using BPrivate::path_needs_normalization;

BPath::BPath() : fStatus(B_NO_INIT) {}

BPath::BPath(const BPath& path) : fName(path.fName), fStatus(path.fStatus) {}

BPath::BPath(const entry_ref* ref) : fStatus(B_NO_INIT)
{
    SetTo(ref);
}

BPath::BPath(const BEntry* entry) : fStatus(B_NO_INIT)
{
    SetTo(entry);
}

BPath::BPath(const char* dir, const char* leaf, bool normalize) : fStatus(B_NO_INIT)
{
    SetTo(dir, leaf, normalize);
}

BPath::BPath(const BDirectory* dir, const char* leaf, bool normalize) : fStatus(B_NO_INIT)
{
    SetTo(dir, leaf, normalize);
}

BPath::~BPath() = default;

status_t BPath::InitCheck() const
{
    return fStatus;
}

status_t BPath::_Fail(status_t error)
{
    Unset();
    fStatus = error;
    return error;
}

status_t BPath::SetTo(const entry_ref* ref)
{
    if (ref == NULL)
        return _Fail(B_BAD_VALUE);
    BEntry entry;
    status_t status = entry.SetTo(ref);
    if (status != B_OK)
        return _Fail(status);
    return SetTo(&entry);
}

status_t BPath::SetTo(const BEntry* entry)
{
    if (entry == NULL)
        return _Fail(B_BAD_VALUE);
    BPath path;
    status_t status = entry->GetPath(&path);
    if (status != B_OK)
        return _Fail(status);
    *this = path;
    return B_OK;
}

status_t BPath::SetTo(const char* path, const char* leaf, bool normalize)
{
    if (path == NULL || path[0] == '\0')
        return _Fail(B_BAD_VALUE);
    if (leaf != NULL && leaf[0] == '/')
        return _Fail(B_BAD_VALUE);

    std::string text(path);
    if (leaf != NULL && leaf[0] != '\0')
        text = BPrivate::join_path(text, leaf);
    if (text.size() >= B_PATH_NAME_LENGTH)
        return _Fail(B_NAME_TOO_LONG);

    if (normalize || path_needs_normalization(text)) {
        std::string normalized;
        status_t status = normalize_path(text, &normalized);
        if (status != B_OK)
            return _Fail(status);
        text = normalized;
    }
    fName = text;
    fStatus = B_OK;
    return B_OK;
}

status_t BPath::SetTo(const BDirectory* dir, const char* leaf, bool normalize)
{
    if (dir == NULL || dir->InitCheck() != B_OK)
        return _Fail(B_BAD_VALUE);
    if (leaf != NULL && leaf[0] == '/')
        return _Fail(B_BAD_VALUE);
    BEntry entry;
    status_t status = dir->GetEntry(&entry);
    if (status != B_OK)
        return _Fail(status);
    BPath folder(&entry);
    if (folder.InitCheck() != B_OK)
        return _Fail(folder.InitCheck());
    return SetTo(folder.Path(), leaf, normalize);
}

void BPath::Unset()
{
    fName.clear();
    fStatus = B_NO_INIT;
}

status_t BPath::Append(const char* path, bool normalize)
{
    if (fStatus != B_OK)
        return _Fail(B_BAD_VALUE);
    // SetTo reads its arguments before it changes anything, but fName is one of them.
    std::string current = fName;
    return SetTo(current.c_str(), path, normalize);
}

const char* BPath::Path() const
{
    return fStatus == B_OK ? fName.c_str() : NULL;
}

const char* BPath::Leaf() const
{
    if (fStatus != B_OK)
        return NULL;
    const char* name = fName.c_str();
    if (fName == "/")
        return name + 1;
    const char* slash = strrchr(name, '/');
    return slash == NULL ? name : slash + 1;
}

status_t BPath::GetParent(BPath* path) const
{
    if (path == NULL)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return path->_Fail(B_NO_INIT);
    if (fName == "/")
        return path->_Fail(B_ENTRY_NOT_FOUND);
    std::string folder, leaf;
    BPrivate::split_path(fName, &folder, &leaf);
    path->fName = folder;
    path->fStatus = B_OK;
    return B_OK;
}

bool BPath::operator==(const BPath& item) const
{
    return *this == item.Path();
}

bool BPath::operator==(const char* path) const
{
    if (fStatus != B_OK || path == NULL)
        return fStatus != B_OK && path == NULL;
    return fName == path;
}

bool BPath::operator!=(const BPath& item) const
{
    return !(*this == item);
}

bool BPath::operator!=(const char* path) const
{
    return !(*this == path);
}

BPath& BPath::operator=(const BPath& item)
{
    fName = item.fName;
    fStatus = item.fStatus;
    return *this;
}

BPath& BPath::operator=(const char* path)
{
    if (path == NULL)
        Unset();
    else
        SetTo(path);
    return *this;
}
