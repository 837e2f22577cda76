#ifndef _STORAGE_MIME_SNIFFER_H
#define _STORAGE_MIME_SNIFFER_H

#include <SupportDefs.h>

#include <stddef.h>

#include <memory>
#include <string>

namespace BPrivate
{

// Types data by its content through libmagic, as the registrar types untyped files. One
// magic handle serves the process; calls are serialised.
class MimeSniffer
{
public:
    static MimeSniffer& Default();

    // The MIME type of the bytes (the first bytes of a file), "application/octet-stream"
    // for anything not recognised.
    std::string TypeOf(const void* data, size_t size);
    // The MIME type of an open file descriptor's content, read with pread.
    std::string TypeOfDescriptor(int fd);

    ~MimeSniffer();

private:
    MimeSniffer();

    struct Handle;
    std::unique_ptr<Handle> fHandle;
};

} // namespace BPrivate

#endif
