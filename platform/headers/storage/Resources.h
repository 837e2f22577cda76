#ifndef _RESOURCES_H
#define _RESOURCES_H

#include <SupportDefs.h>

#include <memory>

class BFile;

namespace BPrivate
{
class ResourceContainer;
}

// The resources attached to an executable, read when the object is set to a file. A file
// without resources, or with a damaged container, gives an object without resources.
// Pointers handed out stay valid until the object is set again or deleted.
class BResources
{
public:
    BResources();
    // With clobber the file's existing resources are ignored.
    BResources(const BFile* file, bool clobber = false);
    virtual ~BResources();

    status_t SetTo(const BFile* file, bool clobber = false);
    void Unset();
    status_t InitCheck() const;

    const void* LoadResource(type_code type, int32 id, size_t* outSize);
    const void* LoadResource(type_code type, const char* name, size_t* outSize);

    // Copies up to length bytes of the resource from offset on.
    status_t ReadResource(type_code type, int32 id, void* data, off_t offset, size_t length);

    bool HasResource(type_code type, int32 id);
    bool HasResource(type_code type, const char* name);

    bool GetResourceInfo(int32 byIndex, type_code* typeFound, int32* idFound,
                         const char** nameFound, size_t* lengthFound);
    bool GetResourceInfo(type_code byType, int32 andIndex, int32* idFound, const char** nameFound,
                         size_t* lengthFound);
    bool GetResourceInfo(type_code byType, int32 andID, const char** nameFound,
                         size_t* lengthFound);
    bool GetResourceInfo(type_code byType, const char* andName, int32* idFound,
                         size_t* lengthFound);
    bool GetResourceInfo(const void* byPointer, type_code* typeFound, int32* idFound,
                         size_t* lengthFound, const char** nameFound);

private:
    BResources(const BResources&) = delete;
    BResources& operator=(const BResources&) = delete;

    std::unique_ptr<BPrivate::ResourceContainer> fContainer;
    status_t fInitStatus;
};

#endif
