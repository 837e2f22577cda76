// The platform's flattened form of a message: a header with the code and the
// delivery data, then each field with its flags, type, count, size and name.

#include <Message.h>

#include <DataIO.h>

#include <string.h>

#include <algorithm>
#include <new>
#include <string_view>
#include <unordered_set>

#include "app/LooperRegistry.h"
#include "app/MessageLayout.h"

using namespace BPrivate;

namespace
{

constexpr uint32 kFlattenedMagic = 'FOB1';
// A stream tells the size before the bytes arrive; nothing bigger is allocated for it.
constexpr size_t kMaxStreamedSize = 64 * 1024 * 1024;
// Nested messages are checked recursively; this bounds the recursion.
constexpr int32 kMaxNesting = 64;

constexpr uint8 kHeaderValid = 0x01;
constexpr uint8 kHeaderHasTarget = 0x02;
constexpr uint8 kHeaderHasReplyInfo = 0x04;

constexpr uint8 kFieldValid = 0x01;
constexpr uint8 kFieldMiniData = 0x02;
constexpr uint8 kFieldFixedSize = 0x04;
constexpr uint8 kFieldSingleItem = 0x08;

// magic, checksum, flattened size, what, flags
constexpr size_t kBaseHeaderSize = 17;
constexpr size_t kChecksumStart = 8;
constexpr size_t kTargetSize = 4;
constexpr size_t kReplyInfoSize = 16;

// A variable-size value is stored as its 4-byte size and its bytes, padded to 8.
size_t PaddedItemSize(size_t size)
{
    return (4 + size + 7) & ~size_t(7);
}

// R5 writes small fields with one-byte count and length.
bool UsesMiniData(size_t dataSize, int32 count)
{
    return dataSize < 256 && count < 256;
}

// The flattened header's checksum: big-endian 32-bit words summed, a short tail counting
// as a right-aligned number.
uint32 HeaderChecksum(const char* bytes, size_t length)
{
    const uint8* data = (const uint8*)bytes;
    uint32 sum = 0;
    size_t i = 0;
    for (; i + 4 <= length; i += 4)
        sum += (uint32)data[i] << 24 | (uint32)data[i + 1] << 16 | (uint32)data[i + 2] << 8 |
               data[i + 3];
    uint32 tail = 0;
    for (; i < length; i++)
        tail = tail << 8 | data[i];
    return sum + tail;
}

// Reads a flattened buffer front to back, refusing every read past its end.
class Reader
{
public:
    Reader(const char* data, size_t size) : fData(data), fRemaining(size) {}

    size_t Remaining() const { return fRemaining; }

    const char* Take(size_t size)
    {
        if (size > fRemaining)
            return NULL;
        const char* taken = fData;
        fData += size;
        fRemaining -= size;
        return taken;
    }

    template <typename T> bool Read(T* value)
    {
        const char* bytes = Take(sizeof(T));
        if (bytes == NULL)
            return false;
        memcpy(value, bytes, sizeof(T));
        return true;
    }

private:
    const char* fData;
    size_t fRemaining;
};

status_t ReadFully(BDataIO* stream, char* buffer, size_t size)
{
    while (size > 0) {
        ssize_t result = stream->Read(buffer, size);
        if (result < 0)
            return (status_t)result;
        if (result == 0)
            return B_BAD_VALUE;
        buffer += result;
        size -= (size_t)result;
    }
    return B_OK;
}

status_t WriteFully(BDataIO* stream, const char* buffer, size_t size)
{
    while (size > 0) {
        ssize_t result = stream->Write(buffer, size);
        if (result < 0)
            return (status_t)result;
        if (result == 0)
            return B_IO_ERROR;
        buffer += result;
        size -= (size_t)result;
    }
    return B_OK;
}

} // namespace

bool BPrivate::HeaderChecksumMatches(const char* flattened, size_t size)
{
    if (size < kBaseHeaderSize)
        return false;
    uint8 flags = (uint8)flattened[kBaseHeaderSize - 1];
    size_t headerSize = kBaseHeaderSize + (flags & kHeaderHasTarget ? kTargetSize : 0) +
                        (flags & kHeaderHasReplyInfo ? kReplyInfoSize : 0);
    return headerSize <= size &&
           Get<uint32>(flattened + 4) ==
               HeaderChecksum(flattened + kChecksumStart, headerSize - kChecksumStart);
}

size_t BMessage::Field::FlattenedDataSize() const
{
    if (fixedSize)
        return bytes.size();
    size_t total = 0;
    for (int32 i = 0; i < CountItems(); i++) {
        size_t size;
        ItemAt(i, &size);
        total += PaddedItemSize(size);
    }
    return total;
}

bool BMessage::HasReplyInfo() const
{
    BMessenger none;
    return fReplyRequired || fReplyDone || fIsReply || fReplyTo.fPort != none.fPort ||
           fReplyTo.fHandlerToken != none.fHandlerToken || fReplyTo.fTeam != none.fTeam ||
           fReplyTo.fPreferredTarget != none.fPreferredTarget;
}

size_t BMessage::HeaderSize() const
{
    size_t size = kBaseHeaderSize;
    if (fTarget != LooperRegistry::kNoHandlerToken || fPreferredTarget)
        size += kTargetSize;
    if (HasReplyInfo())
        size += kReplyInfoSize;
    return size;
}

size_t BMessage::FlattenedSizeUnchecked() const
{
    size_t size = HeaderSize();
    for (const Field& field : fFields) {
        size_t dataSize = field.FlattenedDataSize();
        int32 count = field.CountItems();
        bool mini = UsesMiniData(dataSize, count);
        size += 1 + 4;                           // flags, type
        size += count == 1 ? 0 : (mini ? 1 : 4); // count
        size += mini ? 1 : 4;                    // data length
        size += 1 + field.name.size() + dataSize;
    }
    return size + 1; // the end of the field list
}

ssize_t BMessage::FlattenedSize() const
{
    size_t size = FlattenedSizeUnchecked();
    return size > (size_t)INT32_MAX ? B_BAD_VALUE : (ssize_t)size;
}

void BMessage::FlattenUnchecked(char* buffer) const
{
    size_t totalSize = FlattenedSizeUnchecked();
    bool hasTarget = fTarget != LooperRegistry::kNoHandlerToken || fPreferredTarget;
    bool hasReplyInfo = HasReplyInfo();
    uint8 headerFlags = kHeaderValid | (hasTarget ? kHeaderHasTarget : 0) |
                        (hasReplyInfo ? kHeaderHasReplyInfo : 0);

    char* cursor = buffer;
    Put<uint32>(cursor, kFlattenedMagic);
    Put<uint32>(cursor, 0); // the checksum, once the header is written
    Put<uint32>(cursor, (uint32)totalSize);
    Put<uint32>(cursor, what);
    Put<uint8>(cursor, headerFlags);
    if (hasTarget)
        Put<int32>(cursor, fPreferredTarget ? LooperRegistry::kPreferredToken : fTarget);
    if (hasReplyInfo) {
        Put<int32>(cursor, fReplyTo.fPort);
        Put<int32>(cursor, fReplyTo.fHandlerToken);
        Put<int32>(cursor, fReplyTo.fTeam);
        Put<uint8>(cursor, fReplyTo.fPreferredTarget ? 1 : 0);
        Put<uint8>(cursor, fReplyRequired ? 1 : 0);
        Put<uint8>(cursor, fReplyDone ? 1 : 0);
        Put<uint8>(cursor, fIsReply ? 1 : 0);
    }
    uint32 checksum =
        HeaderChecksum(buffer + kChecksumStart, (size_t)(cursor - buffer) - kChecksumStart);
    memcpy(buffer + 4, &checksum, sizeof checksum);

    for (const Field& field : fFields) {
        size_t dataSize = field.FlattenedDataSize();
        int32 count = field.CountItems();
        bool mini = UsesMiniData(dataSize, count);
        uint8 flags = kFieldValid | (mini ? kFieldMiniData : 0) |
                      (field.fixedSize ? kFieldFixedSize : 0) | (count == 1 ? kFieldSingleItem : 0);
        Put<uint8>(cursor, flags);
        Put<uint32>(cursor, field.type);
        if (count != 1) {
            if (mini)
                Put<uint8>(cursor, (uint8)count);
            else
                Put<int32>(cursor, count);
        }
        if (mini)
            Put<uint8>(cursor, (uint8)dataSize);
        else
            Put<int32>(cursor, (int32)dataSize);
        Put<uint8>(cursor, (uint8)field.name.size());
        PutBytes(cursor, field.name.data(), field.name.size());

        if (field.fixedSize) {
            PutBytes(cursor, field.bytes.data(), field.bytes.size());
            continue;
        }
        for (int32 index = 0; index < count; index++) {
            size_t size;
            const char* item = field.ItemAt(index, &size);
            Put<int32>(cursor, (int32)size);
            PutBytes(cursor, item, size);
            size_t padding = PaddedItemSize(size) - 4 - size;
            memset(cursor, 0, padding);
            cursor += padding;
        }
    }
    Put<uint8>(cursor, 0);
}

status_t BMessage::Flatten(char* buffer, ssize_t size) const
{
    ssize_t needed = FlattenedSize();
    if (needed < 0)
        return (status_t)needed;
    if (buffer == NULL || size < needed)
        return B_BAD_VALUE;
    FlattenUnchecked(buffer);
    return B_OK;
}

status_t BMessage::Flatten(BDataIO* stream, ssize_t* size) const
{
    if (stream == NULL)
        return B_BAD_VALUE;
    ssize_t needed = FlattenedSize();
    if (needed < 0)
        return (status_t)needed;
    std::vector<char> flat;
    try {
        flat.resize((size_t)needed);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
    FlattenUnchecked(flat.data());
    status_t status = WriteFully(stream, flat.data(), flat.size());
    if (status == B_OK && size != NULL)
        *size = needed;
    return status;
}

// Reads a flattened message and checks all of it. With `into` NULL it only checks, as it
// does for nested messages.
status_t BMessage::Parse(const char* buffer, size_t size, int32 depth, BMessage* into)
{
    if (depth > kMaxNesting)
        return B_BAD_VALUE;
    Reader header(buffer, size);
    uint32 magic;
    if (!header.Read(&magic))
        return B_BAD_VALUE;
    if (magic != kFlattenedMagic)
        return B_NOT_A_MESSAGE;
    uint32 checksum, flattenedSize, what;
    uint8 headerFlags;
    if (!header.Read(&checksum) || !header.Read(&flattenedSize) || !header.Read(&what) ||
        !header.Read(&headerFlags))
        return B_BAD_VALUE;
    // The checksum is not checked: data written by R5 itself does not always match it.
    if (flattenedSize > size || flattenedSize < kBaseHeaderSize + 1)
        return B_BAD_VALUE;

    Reader reader(buffer + kBaseHeaderSize, flattenedSize - kBaseHeaderSize);
    if (headerFlags & kHeaderHasTarget) {
        int32 token;
        if (!reader.Read(&token))
            return B_BAD_VALUE;
        if (into != NULL) {
            into->fTarget = token;
            into->fPreferredTarget = token == LooperRegistry::kPreferredToken;
        }
    }
    if (headerFlags & kHeaderHasReplyInfo) {
        int32 port, token, team;
        uint8 replyFlags[4];
        if (!reader.Read(&port) || !reader.Read(&token) || !reader.Read(&team) ||
            !reader.Read(&replyFlags))
            return B_BAD_VALUE;
        if (into != NULL) {
            into->fReplyTo.fPort = port;
            into->fReplyTo.fHandlerToken = token;
            into->fReplyTo.fTeam = team;
            into->fReplyTo.fPreferredTarget = replyFlags[0] != 0;
            into->fReplyRequired = replyFlags[1] != 0;
            into->fReplyDone = replyFlags[2] != 0;
            into->fIsReply = replyFlags[3] != 0;
        }
    }

    std::unordered_set<std::string_view> names;
    for (;;) {
        uint8 flags;
        if (!reader.Read(&flags))
            return B_BAD_VALUE;
        if (flags == 0)
            break;
        if (!(flags & kFieldValid))
            return B_BAD_VALUE;
        bool mini = flags & kFieldMiniData;
        bool fixedSize = flags & kFieldFixedSize;

        type_code type;
        if (!reader.Read(&type) || type == B_ANY_TYPE)
            return B_BAD_VALUE;
        int64 count = 1;
        if (!(flags & kFieldSingleItem)) {
            if (mini) {
                uint8 small;
                if (!reader.Read(&small))
                    return B_BAD_VALUE;
                count = small;
            } else {
                int32 large;
                if (!reader.Read(&large))
                    return B_BAD_VALUE;
                count = large;
            }
        }
        int64 dataSize;
        if (mini) {
            uint8 small;
            if (!reader.Read(&small))
                return B_BAD_VALUE;
            dataSize = small;
        } else {
            int32 large;
            if (!reader.Read(&large))
                return B_BAD_VALUE;
            dataSize = large;
        }
        uint8 nameLength;
        if (!reader.Read(&nameLength))
            return B_BAD_VALUE;
        const char* name = reader.Take(nameLength);
        if (name == NULL || memchr(name, '\0', nameLength) != NULL)
            return B_BAD_VALUE;
        if (dataSize <= 0 || count <= 0 || count > dataSize)
            return B_BAD_VALUE;
        const char* data = reader.Take((size_t)dataSize);
        if (data == NULL)
            return B_BAD_VALUE;
        if (!names.insert(std::string_view(name, nameLength)).second)
            return B_BAD_VALUE;

        Field field{std::string(name, nameLength), type, fixedSize, 0, {}, {}};
        if (fixedSize) {
            if (dataSize % count != 0)
                return B_BAD_VALUE;
            field.itemSize = (size_t)(dataSize / count);
            for (int64 index = 0; index < count; index++) {
                status_t status =
                    CheckItem(type, data + index * field.itemSize, field.itemSize, depth);
                if (status != B_OK)
                    return status;
            }
            if (into != NULL)
                field.bytes.assign(data, data + dataSize);
        } else {
            Reader items(data, (size_t)dataSize);
            for (int64 index = 0; index < count; index++) {
                int32 itemSize;
                if (!items.Read(&itemSize) || itemSize < 0)
                    return B_BAD_VALUE;
                const char* item = items.Take((size_t)itemSize);
                if (item == NULL)
                    return B_BAD_VALUE;
                status_t status = CheckItem(type, item, (size_t)itemSize, depth);
                if (status != B_OK)
                    return status;
                if (into != NULL)
                    field.AddItem(item, (size_t)itemSize);
                // Tolerate a last item whose padding was left off.
                size_t padding = PaddedItemSize((size_t)itemSize) - 4 - (size_t)itemSize;
                items.Take(std::min(padding, items.Remaining()));
            }
            if (items.Remaining() != 0)
                return B_BAD_VALUE;
        }
        if (into != NULL) {
            into->fFields.push_back(std::move(field));
            into->fFieldIndex.emplace(into->fFields.back().name, into->fFields.size() - 1);
        }
    }
    if (into != NULL)
        into->what = what;
    return B_OK;
}

// Takes what a freshly parsed message holds: its code, fields and header data.
void BMessage::TakeContentsOf(BMessage& other)
{
    what = other.what;
    fFields.swap(other.fFields);
    fFieldIndex.swap(other.fFieldIndex);
    fTarget = other.fTarget;
    fPreferredTarget = other.fPreferredTarget;
    fReplyTo = other.fReplyTo;
    fIsReply = other.fIsReply;
    fReplyRequired = other.fReplyRequired;
    fReplyDone = other.fReplyDone;
    fWasDelivered = false;
    fWasDropped = false;
    fSourceRemote = false;
}

status_t BMessage::Unflatten(const char* flatBuffer)
{
    if (flatBuffer == NULL) {
        MakeEmpty();
        return B_BAD_VALUE;
    }
    // Without a size the header's own size is all there is to go by.
    if (Get<uint32>(flatBuffer) != kFlattenedMagic) {
        MakeEmpty();
        return B_NOT_A_MESSAGE;
    }
    return Unflatten(flatBuffer, (ssize_t)Get<uint32>(flatBuffer + 8));
}

status_t BMessage::Unflatten(const char* flatBuffer, ssize_t size)
{
    status_t status = B_BAD_VALUE;
    if (flatBuffer != NULL && size >= 0) {
        try {
            BMessage parsed;
            status = Parse(flatBuffer, (size_t)size, 0, &parsed);
            if (status == B_OK) {
                TakeContentsOf(parsed);
                return B_OK;
            }
        } catch (const std::bad_alloc&) {
            status = B_NO_MEMORY;
        }
    }
    MakeEmpty();
    return status;
}

status_t BMessage::Unflatten(BDataIO* stream)
{
    if (stream == NULL) {
        MakeEmpty();
        return B_BAD_VALUE;
    }
    char start[12];
    status_t status = ReadFully(stream, start, sizeof start);
    if (status != B_OK) {
        MakeEmpty();
        return status;
    }
    if (Get<uint32>(start) != kFlattenedMagic) {
        MakeEmpty();
        return B_NOT_A_MESSAGE;
    }
    size_t size = Get<uint32>(start + 8);
    if (size < kBaseHeaderSize + 1 || size > kMaxStreamedSize) {
        MakeEmpty();
        return B_BAD_VALUE;
    }
    std::vector<char> flat;
    try {
        flat.resize(size);
    } catch (const std::bad_alloc&) {
        MakeEmpty();
        return B_NO_MEMORY;
    }
    memcpy(flat.data(), start, sizeof start);
    status = ReadFully(stream, flat.data() + sizeof start, size - sizeof start);
    if (status != B_OK) {
        MakeEmpty();
        return status;
    }
    return Unflatten(flat.data(), (ssize_t)size);
}
