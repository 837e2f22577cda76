#include <Resources.h>

#include <File.h>

#include "storage/ResourceContainer.h"

#include <algorithm>
#include <cstring>

using BPrivate::ResourceContainer;
using BPrivate::ResourceItem;

namespace
{

void Report(const ResourceItem& item, type_code* type, int32* id, const char** name, size_t* length)
{
    if (type != NULL)
        *type = item.type;
    if (id != NULL)
        *id = item.id;
    if (name != NULL)
        *name = item.name.c_str();
    if (length != NULL)
        *length = item.data.size();
}

const void* DataOf(const ResourceItem* item, size_t* outSize)
{
    if (item == NULL)
        return NULL;
    if (outSize != NULL)
        *outSize = item->data.size();
    // An empty resource still needs a pointer that says "found".
    return item->data.empty() ? static_cast<const void*>(item) : item->data.data();
}

} // namespace

BResources::BResources() : fInitStatus(B_NO_INIT) {}

BResources::BResources(const BFile* file, bool clobber) : fInitStatus(B_NO_INIT)
{
    SetTo(file, clobber);
}

BResources::~BResources() = default;

status_t BResources::SetTo(const BFile* file, bool clobber)
{
    Unset();
    if (file == NULL)
        return fInitStatus = B_BAD_VALUE;
    if (file->InitCheck() != B_OK)
        return fInitStatus = file->InitCheck();
    if (!file->IsReadable())
        return fInitStatus = B_NOT_ALLOWED;

    fContainer = std::make_unique<ResourceContainer>();
    // Reading goes through ReadAt, which leaves the file's position alone.
    if (!clobber)
        fContainer->ReadFrom(*const_cast<BFile*>(file));
    return fInitStatus = B_OK;
}

void BResources::Unset()
{
    fContainer.reset();
    fInitStatus = B_NO_INIT;
}

status_t BResources::InitCheck() const
{
    return fInitStatus;
}

const void* BResources::LoadResource(type_code type, int32 id, size_t* outSize)
{
    return fContainer ? DataOf(fContainer->Find(type, id), outSize) : NULL;
}

const void* BResources::LoadResource(type_code type, const char* name, size_t* outSize)
{
    return fContainer ? DataOf(fContainer->Find(type, name), outSize) : NULL;
}

status_t BResources::ReadResource(type_code type, int32 id, void* data, off_t offset, size_t length)
{
    if (!fContainer)
        return B_NO_INIT;
    const ResourceItem* item = fContainer->Find(type, id);
    if (item == NULL || offset < 0 || (data == NULL && length > 0))
        return B_BAD_VALUE;
    size_t size = item->data.size();
    if (static_cast<uint64>(offset) >= size)
        return B_OK;
    size_t count = std::min(length, size - static_cast<size_t>(offset));
    if (count > 0)
        memcpy(data, item->data.data() + offset, count);
    return B_OK;
}

bool BResources::HasResource(type_code type, int32 id)
{
    return fContainer && fContainer->Find(type, id) != NULL;
}

bool BResources::HasResource(type_code type, const char* name)
{
    return fContainer && fContainer->Find(type, name) != NULL;
}

bool BResources::GetResourceInfo(int32 byIndex, type_code* typeFound, int32* idFound,
                                 const char** nameFound, size_t* lengthFound)
{
    if (!fContainer || byIndex < 0 || static_cast<size_t>(byIndex) >= fContainer->Items().size())
        return false;
    Report(fContainer->Items()[byIndex], typeFound, idFound, nameFound, lengthFound);
    return true;
}

bool BResources::GetResourceInfo(type_code byType, int32 andIndex, int32* idFound,
                                 const char** nameFound, size_t* lengthFound)
{
    if (!fContainer || andIndex < 0)
        return false;
    int32 index = 0;
    for (const ResourceItem& item : fContainer->Items()) {
        if (item.type != byType)
            continue;
        if (index++ == andIndex) {
            Report(item, NULL, idFound, nameFound, lengthFound);
            return true;
        }
    }
    return false;
}

bool BResources::GetResourceInfo(type_code byType, int32 andID, const char** nameFound,
                                 size_t* lengthFound)
{
    const ResourceItem* item = fContainer ? fContainer->Find(byType, andID) : NULL;
    if (item == NULL)
        return false;
    Report(*item, NULL, NULL, nameFound, lengthFound);
    return true;
}

bool BResources::GetResourceInfo(type_code byType, const char* andName, int32* idFound,
                                 size_t* lengthFound)
{
    const ResourceItem* item = fContainer ? fContainer->Find(byType, andName) : NULL;
    if (item == NULL)
        return false;
    Report(*item, NULL, idFound, NULL, lengthFound);
    return true;
}

bool BResources::GetResourceInfo(const void* byPointer, type_code* typeFound, int32* idFound,
                                 size_t* lengthFound, const char** nameFound)
{
    if (!fContainer || byPointer == NULL)
        return false;
    for (const ResourceItem& item : fContainer->Items()) {
        if (DataOf(&item, NULL) == byPointer) {
            Report(item, typeFound, idFound, nameFound, lengthFound);
            return true;
        }
    }
    return false;
}
