#ifndef _STORAGE_RESOURCE_CONTAINER_H
#define _STORAGE_RESOURCE_CONTAINER_H

#include <DataIO.h>
#include <SupportDefs.h>

#include <string>
#include <vector>

namespace BPrivate
{

struct ResourceItem {
    type_code type = 0;
    int32 id = 0;
    std::string name; // empty: the resource has no name
    std::vector<uint8> data;
};

// The resources appended to an ELF file, in the platform's container format. Containers are
// written little-endian; big-endian ones are read as well.
class ResourceContainer
{
public:
    // Largest container read into memory; anything beyond counts as damaged.
    static constexpr off_t kMaxContainerSize = 64 * 1024 * 1024;

    // Reads the container of an ELF file: B_OK, B_ENTRY_NOT_FOUND when there is none,
    // B_BAD_TYPE when the file is not ELF, B_BAD_DATA when it is damaged. Any failure leaves
    // the container empty.
    status_t ReadFrom(BPositionIO& file);

    // Parses container bytes; B_BAD_DATA (and empty) when they are damaged.
    status_t Unflatten(const uint8* data, size_t size);

    std::vector<uint8> Flatten() const;

    // Replaces the file's container with this one, leaving the ELF data as it is. An empty
    // container removes the file's resources.
    status_t WriteTo(BPositionIO& file) const;

    // Where a container starts in an ELF file: after everything the ELF headers describe,
    // aligned. B_BAD_TYPE when the file is not ELF or its headers point past its end.
    static status_t FindContainerOffset(BPositionIO& file, off_t* offset, off_t* elfEnd = NULL);

    void Add(ResourceItem item) { fItems.push_back(std::move(item)); }
    void MakeEmpty() { fItems.clear(); }
    const std::vector<ResourceItem>& Items() const { return fItems; }

    const ResourceItem* Find(type_code type, int32 id) const;
    const ResourceItem* Find(type_code type, const char* name) const;

private:
    std::vector<ResourceItem> fItems;
};

} // namespace BPrivate

#endif
