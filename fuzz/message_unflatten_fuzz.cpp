// Feeds arbitrary bytes to BMessage::Unflatten. What it accepts must print, give up its
// values, and flatten to bytes that read back to the same bytes.
#include <Message.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace
{

std::vector<char> Flattened(const BMessage& message)
{
    ssize_t size = message.FlattenedSize();
    if (size < 0)
        abort();
    std::vector<char> flat((size_t)size);
    if (message.Flatten(flat.data(), size) != B_OK)
        abort();
    return flat;
}

void ReadEveryValue(const BMessage& message)
{
    char* name;
    type_code type;
    int32 count;
    for (int32 field = 0; message.GetInfo(B_ANY_TYPE, field, &name, &type, &count) == B_OK;
         field++) {
        for (int32 index = 0; index < count; index++) {
            const void* data;
            ssize_t size;
            if (message.FindData(name, type, index, &data, &size) != B_OK)
                abort();
            if (type == B_MESSAGE_TYPE) {
                BMessage nested;
                if (message.FindMessage(name, index, &nested) != B_OK)
                    abort();
            } else if (type == B_REF_TYPE) {
                entry_ref ref;
                if (message.FindRef(name, index, &ref) != B_OK)
                    abort();
            } else if (type == B_STRING_TYPE) {
                const char* text;
                if (message.FindString(name, index, &text) != B_OK || strlen(text) >= (size_t)size)
                    abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The printable form is exercised but not looked at.
    if (freopen("/dev/null", "w", stdout) == NULL)
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BMessage message;
    if (message.Unflatten((const char*)data, (ssize_t)size) != B_OK) {
        if (!message.IsEmpty())
            abort();
        return 0;
    }
    message.PrintToStream();
    ReadEveryValue(message);

    std::vector<char> first = Flattened(message);
    BMessage again;
    if (again.Unflatten(first.data(), (ssize_t)first.size()) != B_OK)
        abort();
    if (first != Flattened(again))
        abort();
    return 0;
}
