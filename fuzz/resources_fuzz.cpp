// The resource container reader on arbitrary bytes: as a bare container, and as a whole file
// whose ELF headers say where the container starts.

#include <DataIO.h>

#include "storage/ResourceContainer.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BPrivate::ResourceContainer container;
    if (container.Unflatten(data, size) == B_OK) {
        size_t total = 0;
        for (const BPrivate::ResourceItem& item : container.Items())
            total += item.data.size();
        if (total > size)
            abort();
        // What was read must survive a round trip.
        std::vector<uint8> again = container.Flatten();
        BPrivate::ResourceContainer reread;
        if (reread.Unflatten(again.data(), again.size()) != B_OK ||
            reread.Items().size() != container.Items().size())
            abort();
    }

    BMemoryIO file(data, size);
    container.ReadFrom(file);
    return 0;
}
