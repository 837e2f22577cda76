#include "storage/MimeSniffer.h"

#include <magic.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <memory>
#include <vector>

namespace BPrivate
{

namespace
{

const char kUnknownType[] = "application/octet-stream";
// Enough for the magic of every format libmagic looks at near the start, and for text.
constexpr size_t kSniffSize = 64 * 1024;

// libmagic's answer depends on the bytes alone: the last few answers are kept
// with the bytes they were given, so that a file typed again unchanged is
// answered by a comparison instead of a pass through the whole database.
constexpr size_t kRemembered = 4;

struct Answer {
    std::vector<char> data;
    std::string type;
};

} // namespace

struct MimeSniffer::Handle {
    std::mutex lock;
    magic_t cookie = NULL;
    bool loaded = false;
    std::deque<Answer> answers;
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
    std::deque<Answer>& answers = fHandle->answers;
    for (auto answer = answers.begin(); answer != answers.end(); ++answer) {
        if (answer->data.size() == size && memcmp(answer->data.data(), data, size) == 0) {
            std::string type = answer->type;
            if (answer != answers.begin())
                std::rotate(answers.begin(), answer, answer + 1);
            return type;
        }
    }
    const char* found = magic_buffer(fHandle->cookie, data, size);
    std::string type = kUnknownType;
    if (found != NULL && strchr(found, '/') != NULL && strcmp(found, "application/x-empty") != 0)
        type = found;
    const char* bytes = static_cast<const char*>(data);
    if (answers.size() == kRemembered)
        answers.pop_back();
    answers.push_front({std::vector<char>(bytes, bytes + size), type});
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
