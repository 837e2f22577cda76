#include "storage/MimeSniffer.h"

#include <magic.h>
#include <string.h>
#include <unistd.h>

#include <mutex>
#include <memory>

namespace BPrivate
{

namespace
{

const char kUnknownType[] = "application/octet-stream";
// Enough for the magic of every format libmagic looks at near the start, and for text.
constexpr size_t kSniffSize = 64 * 1024;

} // namespace

struct MimeSniffer::Handle {
    std::mutex lock;
    magic_t cookie = NULL;
    bool loaded = false;
};

MimeSniffer& MimeSniffer::Default()
{
    static MimeSniffer sniffer;
    return sniffer;
}

MimeSniffer::MimeSniffer() : fHandle(std::make_unique<Handle>()) {}

MimeSniffer::~MimeSniffer()
{
    if (fHandle->cookie != NULL)
        magic_close(fHandle->cookie);
}

std::string MimeSniffer::TypeOf(const void* data, size_t size)
{
    if (size == 0)
        return kUnknownType;
    std::lock_guard<std::mutex> guard(fHandle->lock);
    if (!fHandle->loaded) {
        fHandle->loaded = true;
        fHandle->cookie = magic_open(MAGIC_MIME_TYPE | MAGIC_ERROR);
        if (fHandle->cookie != NULL && magic_load(fHandle->cookie, NULL) != 0) {
            magic_close(fHandle->cookie);
            fHandle->cookie = NULL;
        }
    }
    if (fHandle->cookie == NULL)
        return kUnknownType;
    const char* type = magic_buffer(fHandle->cookie, data, size);
    if (type == NULL || strchr(type, '/') == NULL || strcmp(type, "application/x-empty") == 0)
        return kUnknownType;
    return type;
}

std::string MimeSniffer::TypeOfDescriptor(int fd)
{
    // Not cleared first: only what pread fills is looked at.
    std::unique_ptr<char[]> data(new char[kSniffSize]);
    ssize_t size = pread(fd, data.get(), kSniffSize, 0);
    if (size <= 0)
        return kUnknownType;
    return TypeOf(data.get(), (size_t)size);
}

} // namespace BPrivate
