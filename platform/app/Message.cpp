#include <Message.h>

#include <DataIO.h>
#include <Path.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <string_view>
#include <unordered_set>

namespace
{

constexpr uint32 kFlattenedMagic = 'FOB1';
constexpr size_t kMaxNameLength = 255;
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
constexpr size_t kMessengerSize = 24;
constexpr size_t kMessengerFlagOffset = 20;
constexpr size_t kRefHeaderSize = 4 + 8;

constexpr int32 kNoHandlerToken = -1;
constexpr int32 kPreferredHandlerToken = -2;

// The size of a value of the fixed-size types the message reads and writes itself;
// 0 for every other type.
size_t FixedSizeOf(type_code type)
{
    switch (type) {
    case B_INT8_TYPE:
    case B_BOOL_TYPE:
        return 1;
    case B_INT16_TYPE:
        return 2;
    case B_INT32_TYPE:
    case B_FLOAT_TYPE:
        return 4;
    case B_INT64_TYPE:
    case B_DOUBLE_TYPE:
    case B_POINT_TYPE:
        return 8;
    case B_POINTER_TYPE:
        return sizeof(void*);
    case B_RECT_TYPE:
        return 16;
    case B_MESSENGER_TYPE:
        return kMessengerSize;
    default:
        return 0;
    }
}

// A variable-size value is stored as its 4-byte size and its bytes, padded to 8.
size_t PaddedItemSize(size_t size)
{
    return (4 + size + 7) & ~size_t(7);
}

bool IsValidName(const char* name)
{
    return name != NULL && strlen(name) <= kMaxNameLength;
}

// The characters of a code as they read (most significant byte first); printing with
// a precision stops at the first NUL.
void CodeCharacters(uint64 code, size_t length, char* characters)
{
    for (size_t i = 0; i < length; i++)
        characters[i] = (char)(code >> (8 * (length - 1 - i)));
    characters[length] = '\0';
}

// Text from a message as it may go to a terminal: up to its first NUL or
// length bytes, with control bytes and bytes that are not UTF-8 as \xNN.
std::string Printable(const char* text, size_t length = SIZE_MAX)
{
    std::string printable;
    const unsigned char* bytes = (const unsigned char*)text;
    size_t at = 0;
    auto continuation = [&](size_t i) { return i < length && (bytes[i] & 0xc0) == 0x80; };
    while (at < length && bytes[at] != '\0') {
        unsigned char lead = bytes[at];
        size_t size = 0;
        if (lead >= 0x20 && lead < 0x7f)
            size = 1;
        else if (lead >= 0xc2 && lead <= 0xf4) {
            size_t expected = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
            size_t found = 1;
            while (found < expected && continuation(at + found))
                found++;
            // C1 controls (U+0080 to U+009F) start terminal sequences too.
            if (found == expected && !(lead == 0xc2 && bytes[at + 1] < 0xa0))
                size = expected;
        }
        if (size == 0) {
            char escape[5];
            snprintf(escape, sizeof(escape), "\\x%02x", lead);
            printable += escape;
            at++;
        } else {
            printable.append(text + at, size);
            at += size;
        }
    }
    return printable;
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

template <typename T> void Put(char*& cursor, T value)
{
    memcpy(cursor, &value, sizeof value);
    cursor += sizeof value;
}

void PutBytes(char*& cursor, const void* data, size_t size)
{
    if (size > 0)
        memcpy(cursor, data, size);
    cursor += size;
}

template <typename T> T Get(const char* data)
{
    T value;
    memcpy(&value, data, sizeof value);
    return value;
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

// #pragma mark - Field

int32 BMessage::Field::CountItems() const
{
    return (int32)(fixedSize ? bytes.size() / itemSize : starts.size());
}

const char* BMessage::Field::ItemAt(int32 index, size_t* size) const
{
    if (fixedSize) {
        *size = itemSize;
        return bytes.data() + (size_t)index * itemSize;
    }
    size_t start = starts[index];
    size_t end = (size_t)index + 1 < starts.size() ? starts[index + 1] : bytes.size();
    *size = end - start;
    return bytes.data() + start;
}

void BMessage::Field::AddItem(const void* data, size_t size)
{
    if (!fixedSize)
        starts.push_back(bytes.size());
    const char* first = (const char*)data;
    bytes.insert(bytes.end(), first, first + size);
}

void BMessage::Field::ReplaceItem(int32 index, const void* data, size_t size)
{
    size_t oldSize;
    const char* old = ItemAt(index, &oldSize);
    size_t start = (size_t)(old - bytes.data());
    const char* first = (const char*)data;
    if (size == oldSize) {
        if (size > 0)
            memcpy(bytes.data() + start, first, size);
        return;
    }
    bytes.erase(bytes.begin() + start, bytes.begin() + start + oldSize);
    bytes.insert(bytes.begin() + start, first, first + size);
    for (size_t i = (size_t)index + 1; i < starts.size(); i++)
        starts[i] = starts[i] - oldSize + size;
}

void BMessage::Field::RemoveItem(int32 index)
{
    size_t size;
    const char* item = ItemAt(index, &size);
    size_t start = (size_t)(item - bytes.data());
    bytes.erase(bytes.begin() + start, bytes.begin() + start + size);
    if (fixedSize)
        return;
    starts.erase(starts.begin() + index);
    for (size_t i = (size_t)index; i < starts.size(); i++)
        starts[i] -= size;
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

// #pragma mark - construction

BMessage::BMessage() : what(0) {}

BMessage::BMessage(uint32 what) : what(what) {}

BMessage::BMessage(const BMessage& other) : what(0)
{
    *this = other;
}

BMessage::~BMessage() = default;

BMessage& BMessage::operator=(const BMessage& other)
{
    if (this == &other)
        return *this;
    what = other.what;
    fFields = other.fFields;
    fFieldIndex = other.fFieldIndex;
    fTarget = other.fTarget;
    fPreferredTarget = other.fPreferredTarget;
    fWasDelivered = other.fWasDelivered;
    fWasDropped = other.fWasDropped;
    fDropPoint = other.fDropPoint;
    fDropOffset = other.fDropOffset;
    fReplyTo = other.fReplyTo;
    fIsReply = other.fIsReply;
    fReplyRequired = other.fReplyRequired;
    fReplyDone = other.fReplyDone;
    fSourceRemote = other.fSourceRemote;
    return *this;
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

// #pragma mark - fields

BMessage::Field* BMessage::FindField(const char* name)
{
    return const_cast<Field*>(static_cast<const BMessage*>(this)->FindField(name));
}

const BMessage::Field* BMessage::FindField(const char* name) const
{
    if (name == NULL)
        return NULL;
    auto found = fFieldIndex.find(std::string_view(name));
    return found == fFieldIndex.end() ? NULL : &fFields[found->second];
}

status_t BMessage::GetInfo(type_code typeRequested, int32 index, char** nameFound,
                           type_code* typeFound, int32* countFound) const
{
    if (index < 0)
        return B_BAD_INDEX;
    int32 matching = 0;
    for (const Field& field : fFields) {
        if (typeRequested != B_ANY_TYPE && field.type != typeRequested)
            continue;
        if (matching++ != index)
            continue;
        if (nameFound != NULL)
            *nameFound = const_cast<char*>(field.name.c_str());
        if (typeFound != NULL)
            *typeFound = field.type;
        if (countFound != NULL)
            *countFound = field.CountItems();
        return B_OK;
    }
    return matching == 0 ? B_BAD_TYPE : B_BAD_INDEX;
}

status_t BMessage::GetInfo(const char* name, type_code* typeFound, int32* countFound) const
{
    if (name == NULL)
        return B_BAD_VALUE;
    const Field* field = FindField(name);
    if (field == NULL)
        return B_NAME_NOT_FOUND;
    if (typeFound != NULL)
        *typeFound = field->type;
    if (countFound != NULL)
        *countFound = field->CountItems();
    return B_OK;
}

status_t BMessage::GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const
{
    if (name == NULL)
        return B_BAD_VALUE;
    const Field* field = FindField(name);
    if (field == NULL)
        return B_NAME_NOT_FOUND;
    if (typeFound != NULL)
        *typeFound = field->type;
    if (fixedSize != NULL)
        *fixedSize = field->fixedSize;
    return B_OK;
}

int32 BMessage::CountNames(type_code type) const
{
    int32 count = 0;
    for (const Field& field : fFields)
        if (type == B_ANY_TYPE || field.type == type)
            count++;
    return count;
}

bool BMessage::IsEmpty() const
{
    return fFields.empty();
}

bool BMessage::IsSystem() const
{
    return (char)(what >> 24) == '_' && isupper((int)((what >> 16) & 0xff)) &&
           isupper((int)((what >> 8) & 0xff)) && isupper((int)(what & 0xff));
}

bool BMessage::IsReply() const
{
    return fIsReply;
}

status_t BMessage::Rename(const char* oldEntry, const char* newEntry)
{
    if (oldEntry == NULL || !IsValidName(newEntry))
        return B_BAD_VALUE;
    auto found = fFieldIndex.find(std::string_view(oldEntry));
    if (found == fFieldIndex.end())
        return B_NAME_NOT_FOUND;
    if (strcmp(oldEntry, newEntry) == 0)
        return B_OK;
    if (FindField(newEntry) != NULL)
        return B_NAME_IN_USE;
    size_t position = found->second;
    fFieldIndex.erase(found);
    fFieldIndex.emplace(newEntry, position);
    fFields[position].name = newEntry;
    return B_OK;
}

// #pragma mark - delivery

bool BMessage::WasDelivered() const
{
    return fWasDelivered;
}

bool BMessage::IsSourceWaiting() const
{
    return fReplyRequired && !fReplyDone;
}

bool BMessage::IsSourceRemote() const
{
    return fSourceRemote;
}

BMessenger BMessage::ReturnAddress() const
{
    return fReplyTo;
}

const BMessage* BMessage::Previous() const
{
    return fPrevious.get();
}

bool BMessage::WasDropped() const
{
    return fWasDropped;
}

BPoint BMessage::DropPoint(BPoint* offset) const
{
    if (offset != NULL)
        *offset = fDropOffset;
    return fDropPoint;
}

// #pragma mark - adding

// Checks that a value has the shape its type demands, so that every reader of a stored
// value can rely on it: fixed sizes, strings and refs ending with their NUL, nested
// messages that unflatten.
status_t BMessage::CheckItem(type_code type, const char* data, size_t size, int32 depth)
{
    size_t fixedSize = FixedSizeOf(type);
    if (fixedSize != 0 && size != fixedSize)
        return B_BAD_VALUE;
    switch (type) {
    case B_STRING_TYPE:
        return size >= 1 && data[size - 1] == '\0' ? B_OK : B_BAD_VALUE;
    case B_REF_TYPE:
        return size > kRefHeaderSize && data[size - 1] == '\0' ? B_OK : B_BAD_VALUE;
    case B_MESSAGE_TYPE:
        return Parse(data, size, depth + 1, NULL) == B_OK ? B_OK : B_BAD_VALUE;
    default:
        return B_OK;
    }
}

status_t BMessage::AddItem(const char* name, type_code type, const void* data, size_t numBytes,
                           bool isFixedSize)
{
    if (!IsValidName(name) || type == B_ANY_TYPE)
        return B_BAD_VALUE;
    try {
        Field* field = FindField(name);
        if (field != NULL) {
            if (field->type != type)
                return B_BAD_TYPE;
            if (field->fixedSize && numBytes != field->itemSize)
                return B_BAD_VALUE;
            field->AddItem(data, numBytes);
            return B_OK;
        }
        if (isFixedSize && numBytes == 0)
            return B_BAD_VALUE;
        Field added{name, type, isFixedSize, isFixedSize ? numBytes : 0, {}, {}};
        added.AddItem(data, numBytes);
        fFields.push_back(std::move(added));
        fFieldIndex.emplace(name, fFields.size() - 1);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
    return B_OK;
}

status_t BMessage::AddChecked(const char* name, type_code type, const void* data, size_t numBytes,
                              bool isFixedSize)
{
    if (data == NULL && numBytes > 0)
        return B_BAD_VALUE;
    status_t status = CheckItem(type, (const char*)data, numBytes, 0);
    if (status != B_OK)
        return status;
    return AddItem(name, type, data, numBytes, isFixedSize);
}

status_t BMessage::AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
                           bool isFixedSize, int32 count)
{
    if (numBytes < 0)
        return B_BAD_VALUE;
    return AddChecked(name, type, data, (size_t)numBytes, isFixedSize);
}

status_t BMessage::AddRect(const char* name, BRect rect)
{
    float values[4] = {rect.left, rect.top, rect.right, rect.bottom};
    return AddChecked(name, B_RECT_TYPE, values, sizeof values, true);
}

status_t BMessage::AddPoint(const char* name, BPoint point)
{
    float values[2] = {point.x, point.y};
    return AddChecked(name, B_POINT_TYPE, values, sizeof values, true);
}

status_t BMessage::AddString(const char* name, const char* string)
{
    if (string == NULL)
        return B_BAD_VALUE;
    return AddChecked(name, B_STRING_TYPE, string, strlen(string) + 1, false);
}

status_t BMessage::AddString(const char* name, const BString& string)
{
    return AddString(name, string.String());
}

status_t BMessage::AddInt8(const char* name, int8 value)
{
    return AddChecked(name, B_INT8_TYPE, &value, sizeof value, true);
}

status_t BMessage::AddInt16(const char* name, int16 value)
{
    return AddChecked(name, B_INT16_TYPE, &value, sizeof value, true);
}

status_t BMessage::AddInt32(const char* name, int32 value)
{
    return AddChecked(name, B_INT32_TYPE, &value, sizeof value, true);
}

status_t BMessage::AddInt64(const char* name, int64 value)
{
    return AddChecked(name, B_INT64_TYPE, &value, sizeof value, true);
}

status_t BMessage::AddBool(const char* name, bool value)
{
    uint8 byte = value ? 1 : 0;
    return AddChecked(name, B_BOOL_TYPE, &byte, sizeof byte, true);
}

status_t BMessage::AddFloat(const char* name, float value)
{
    return AddChecked(name, B_FLOAT_TYPE, &value, sizeof value, true);
}

status_t BMessage::AddDouble(const char* name, double value)
{
    return AddChecked(name, B_DOUBLE_TYPE, &value, sizeof value, true);
}

status_t BMessage::AddPointer(const char* name, const void* pointer)
{
    return AddChecked(name, B_POINTER_TYPE, &pointer, sizeof pointer, true);
}

status_t BMessage::AddMessenger(const char* name, BMessenger messenger)
{
    char bytes[kMessengerSize] = {};
    char* cursor = bytes;
    Put<int32>(cursor, messenger.fPort);
    Put<int32>(cursor, messenger.fHandlerToken);
    Put<int32>(cursor, messenger.fTeam);
    Put<int32>(cursor, messenger.fReserved[0]);
    Put<int32>(cursor, messenger.fReserved[1]);
    Put<uint8>(cursor, messenger.fPreferredTarget ? 1 : 0);
    return AddChecked(name, B_MESSENGER_TYPE, bytes, sizeof bytes, true);
}

status_t BMessage::AddRef(const char* name, const entry_ref* ref)
{
    if (ref == NULL)
        return B_BAD_VALUE;
    const char* refName = ref->name != NULL ? ref->name : "";
    size_t nameSize = strlen(refName) + 1;
    try {
        std::vector<char> bytes(kRefHeaderSize + nameSize);
        char* cursor = bytes.data();
        Put<int32>(cursor, (int32)ref->device);
        Put<int64>(cursor, (int64)ref->directory);
        PutBytes(cursor, refName, nameSize);
        return AddChecked(name, B_REF_TYPE, bytes.data(), bytes.size(), false);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
}

status_t BMessage::AddMessage(const char* name, const BMessage* message)
{
    if (message == NULL)
        return B_BAD_VALUE;
    try {
        std::vector<char> flat(message->FlattenedSizeUnchecked());
        status_t status = message->Flatten(flat.data(), (ssize_t)flat.size());
        if (status != B_OK)
            return status;
        return AddItem(name, B_MESSAGE_TYPE, flat.data(), flat.size(), false);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
}

// #pragma mark - removing

void BMessage::RemoveField(size_t position)
{
    fFieldIndex.erase(fFields[position].name);
    fFields.erase(fFields.begin() + (ptrdiff_t)position);
    for (auto& entry : fFieldIndex)
        if (entry.second > position)
            entry.second--;
}

status_t BMessage::RemoveData(const char* name, int32 index)
{
    if (name == NULL)
        return B_BAD_VALUE;
    auto found = fFieldIndex.find(std::string_view(name));
    if (found == fFieldIndex.end())
        return B_NAME_NOT_FOUND;
    Field& field = fFields[found->second];
    if (index < 0 || index >= field.CountItems())
        return B_BAD_INDEX;
    field.RemoveItem(index);
    if (field.CountItems() == 0)
        RemoveField(found->second);
    return B_OK;
}

status_t BMessage::RemoveName(const char* name)
{
    if (name == NULL)
        return B_BAD_VALUE;
    auto found = fFieldIndex.find(std::string_view(name));
    if (found == fFieldIndex.end())
        return B_NAME_NOT_FOUND;
    RemoveField(found->second);
    return B_OK;
}

status_t BMessage::MakeEmpty()
{
    fFields.clear();
    fFieldIndex.clear();
    return B_OK;
}

// #pragma mark - finding

status_t BMessage::FindItem(const char* name, type_code type, int32 index, const void** data,
                            ssize_t* numBytes) const
{
    if (name == NULL)
        return B_BAD_VALUE;
    const Field* field = FindField(name);
    if (field == NULL)
        return B_NAME_NOT_FOUND;
    if (type != B_ANY_TYPE && field->type != type)
        return B_BAD_TYPE;
    if (index < 0 || index >= field->CountItems())
        return B_BAD_INDEX;
    size_t size;
    const char* item = field->ItemAt(index, &size);
    if (data != NULL)
        *data = item;
    if (numBytes != NULL)
        *numBytes = (ssize_t)size;
    return B_OK;
}

// Values of fixed-size types were checked for their size when they were stored.
status_t BMessage::FindFixed(const char* name, type_code type, int32 index, void* value,
                             size_t size) const
{
    if (value == NULL)
        return B_BAD_VALUE;
    const void* data;
    status_t status = FindItem(name, type, index, &data, NULL);
    if (status != B_OK)
        return status;
    memcpy(value, data, size);
    return B_OK;
}

status_t BMessage::FindData(const char* name, type_code type, const void** data,
                            ssize_t* numBytes) const
{
    return FindData(name, type, 0, data, numBytes);
}

status_t BMessage::FindData(const char* name, type_code type, int32 index, const void** data,
                            ssize_t* numBytes) const
{
    if (data == NULL)
        return B_BAD_VALUE;
    return FindItem(name, type, index, data, numBytes);
}

status_t BMessage::FindRect(const char* name, BRect* rect) const
{
    return FindRect(name, 0, rect);
}

status_t BMessage::FindRect(const char* name, int32 index, BRect* rect) const
{
    if (rect == NULL)
        return B_BAD_VALUE;
    float values[4];
    status_t status = FindFixed(name, B_RECT_TYPE, index, values, sizeof values);
    if (status == B_OK)
        rect->Set(values[0], values[1], values[2], values[3]);
    return status;
}

status_t BMessage::FindPoint(const char* name, BPoint* point) const
{
    return FindPoint(name, 0, point);
}

status_t BMessage::FindPoint(const char* name, int32 index, BPoint* point) const
{
    if (point == NULL)
        return B_BAD_VALUE;
    float values[2];
    status_t status = FindFixed(name, B_POINT_TYPE, index, values, sizeof values);
    if (status == B_OK)
        point->Set(values[0], values[1]);
    return status;
}

status_t BMessage::FindString(const char* name, const char** string) const
{
    return FindString(name, 0, string);
}

status_t BMessage::FindString(const char* name, int32 index, const char** string) const
{
    if (string == NULL)
        return B_BAD_VALUE;
    const void* data;
    status_t status = FindItem(name, B_STRING_TYPE, index, &data, NULL);
    if (status == B_OK)
        *string = (const char*)data;
    return status;
}

status_t BMessage::FindString(const char* name, BString* string) const
{
    return FindString(name, 0, string);
}

status_t BMessage::FindString(const char* name, int32 index, BString* string) const
{
    if (string == NULL)
        return B_BAD_VALUE;
    const char* text;
    status_t status = FindString(name, index, &text);
    if (status != B_OK)
        return status;
    try {
        string->SetTo(text);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
    return B_OK;
}

status_t BMessage::FindInt8(const char* name, int8* value) const
{
    return FindFixed(name, B_INT8_TYPE, 0, value, sizeof *value);
}

status_t BMessage::FindInt8(const char* name, int32 index, int8* value) const
{
    return FindFixed(name, B_INT8_TYPE, index, value, sizeof *value);
}

status_t BMessage::FindInt16(const char* name, int16* value) const
{
    return FindFixed(name, B_INT16_TYPE, 0, value, sizeof *value);
}

status_t BMessage::FindInt16(const char* name, int32 index, int16* value) const
{
    return FindFixed(name, B_INT16_TYPE, index, value, sizeof *value);
}

status_t BMessage::FindInt32(const char* name, int32* value) const
{
    return FindFixed(name, B_INT32_TYPE, 0, value, sizeof *value);
}

status_t BMessage::FindInt32(const char* name, int32 index, int32* value) const
{
    return FindFixed(name, B_INT32_TYPE, index, value, sizeof *value);
}

status_t BMessage::FindInt64(const char* name, int64* value) const
{
    return FindFixed(name, B_INT64_TYPE, 0, value, sizeof *value);
}

status_t BMessage::FindInt64(const char* name, int32 index, int64* value) const
{
    return FindFixed(name, B_INT64_TYPE, index, value, sizeof *value);
}

status_t BMessage::FindBool(const char* name, bool* value) const
{
    return FindBool(name, 0, value);
}

status_t BMessage::FindBool(const char* name, int32 index, bool* value) const
{
    if (value == NULL)
        return B_BAD_VALUE;
    uint8 byte;
    status_t status = FindFixed(name, B_BOOL_TYPE, index, &byte, sizeof byte);
    if (status == B_OK)
        *value = byte != 0;
    return status;
}

status_t BMessage::FindFloat(const char* name, float* value) const
{
    return FindFixed(name, B_FLOAT_TYPE, 0, value, sizeof *value);
}

status_t BMessage::FindFloat(const char* name, int32 index, float* value) const
{
    return FindFixed(name, B_FLOAT_TYPE, index, value, sizeof *value);
}

status_t BMessage::FindDouble(const char* name, double* value) const
{
    return FindFixed(name, B_DOUBLE_TYPE, 0, value, sizeof *value);
}

status_t BMessage::FindDouble(const char* name, int32 index, double* value) const
{
    return FindFixed(name, B_DOUBLE_TYPE, index, value, sizeof *value);
}

status_t BMessage::FindPointer(const char* name, void** pointer) const
{
    return FindFixed(name, B_POINTER_TYPE, 0, pointer, sizeof *pointer);
}

status_t BMessage::FindPointer(const char* name, int32 index, void** pointer) const
{
    return FindFixed(name, B_POINTER_TYPE, index, pointer, sizeof *pointer);
}

status_t BMessage::FindMessenger(const char* name, BMessenger* messenger) const
{
    return FindMessenger(name, 0, messenger);
}

status_t BMessage::FindMessenger(const char* name, int32 index, BMessenger* messenger) const
{
    if (messenger == NULL)
        return B_BAD_VALUE;
    char bytes[kMessengerSize];
    status_t status = FindFixed(name, B_MESSENGER_TYPE, index, bytes, sizeof bytes);
    if (status != B_OK)
        return status;
    messenger->fPort = Get<int32>(bytes);
    messenger->fHandlerToken = Get<int32>(bytes + 4);
    messenger->fTeam = Get<int32>(bytes + 8);
    messenger->fReserved[0] = Get<int32>(bytes + 12);
    messenger->fReserved[1] = Get<int32>(bytes + 16);
    messenger->fPreferredTarget = bytes[kMessengerFlagOffset] != 0;
    return B_OK;
}

status_t BMessage::FindRef(const char* name, entry_ref* ref) const
{
    return FindRef(name, 0, ref);
}

status_t BMessage::FindRef(const char* name, int32 index, entry_ref* ref) const
{
    if (ref == NULL)
        return B_BAD_VALUE;
    const void* data;
    status_t status = FindItem(name, B_REF_TYPE, index, &data, NULL);
    if (status != B_OK)
        return status;
    const char* bytes = (const char*)data;
    status = ref->set_name(bytes + kRefHeaderSize);
    if (status != B_OK)
        return status;
    ref->device = (dev_t)(uint32)Get<int32>(bytes);
    ref->directory = (ino_t)Get<int64>(bytes + 4);
    return B_OK;
}

status_t BMessage::FindMessage(const char* name, BMessage* message) const
{
    return FindMessage(name, 0, message);
}

status_t BMessage::FindMessage(const char* name, int32 index, BMessage* message) const
{
    if (message == NULL)
        return B_BAD_VALUE;
    const void* data;
    ssize_t size;
    status_t status = FindItem(name, B_MESSAGE_TYPE, index, &data, &size);
    if (status != B_OK)
        return status;
    BMessage nested;
    status = nested.Unflatten((const char*)data, size);
    if (status != B_OK)
        return status;
    *message = nested;
    return B_OK;
}

// #pragma mark - replacing

status_t BMessage::ReplaceItem(const char* name, type_code type, int32 index, const void* data,
                               size_t numBytes)
{
    if (name == NULL || (data == NULL && numBytes > 0))
        return B_BAD_VALUE;
    Field* field = FindField(name);
    if (field == NULL)
        return B_NAME_NOT_FOUND;
    if (field->type != type)
        return B_BAD_TYPE;
    if (index < 0 || index >= field->CountItems())
        return B_BAD_INDEX;
    if (field->fixedSize && numBytes != field->itemSize)
        return B_BAD_VALUE;
    status_t status = CheckItem(type, (const char*)data, numBytes, 0);
    if (status != B_OK)
        return status;
    try {
        field->ReplaceItem(index, data, numBytes);
    } catch (const std::bad_alloc&) {
        return B_NO_MEMORY;
    }
    return B_OK;
}

status_t BMessage::ReplaceRect(const char* name, BRect rect)
{
    float values[4] = {rect.left, rect.top, rect.right, rect.bottom};
    return ReplaceItem(name, B_RECT_TYPE, 0, values, sizeof values);
}

status_t BMessage::ReplacePoint(const char* name, BPoint point)
{
    float values[2] = {point.x, point.y};
    return ReplaceItem(name, B_POINT_TYPE, 0, values, sizeof values);
}

status_t BMessage::ReplaceString(const char* name, const char* string)
{
    if (string == NULL)
        return B_BAD_VALUE;
    return ReplaceItem(name, B_STRING_TYPE, 0, string, strlen(string) + 1);
}

status_t BMessage::ReplaceString(const char* name, const BString& string)
{
    return ReplaceString(name, string.String());
}

status_t BMessage::ReplaceInt32(const char* name, int32 value)
{
    return ReplaceItem(name, B_INT32_TYPE, 0, &value, sizeof value);
}

status_t BMessage::ReplaceInt64(const char* name, int64 value)
{
    return ReplaceItem(name, B_INT64_TYPE, 0, &value, sizeof value);
}

status_t BMessage::ReplaceBool(const char* name, bool value)
{
    uint8 byte = value ? 1 : 0;
    return ReplaceItem(name, B_BOOL_TYPE, 0, &byte, sizeof byte);
}

status_t BMessage::ReplaceFloat(const char* name, float value)
{
    return ReplaceItem(name, B_FLOAT_TYPE, 0, &value, sizeof value);
}

status_t BMessage::ReplaceMessenger(const char* name, BMessenger messenger)
{
    BMessage packed;
    status_t status = packed.AddMessenger("", messenger);
    const void* data;
    if (status == B_OK)
        status = packed.FindItem("", B_MESSENGER_TYPE, 0, &data, NULL);
    if (status != B_OK)
        return status;
    return ReplaceItem(name, B_MESSENGER_TYPE, 0, data, kMessengerSize);
}

status_t BMessage::ReplaceRef(const char* name, const entry_ref* ref)
{
    BMessage packed;
    status_t status = packed.AddRef("", ref);
    const void* data;
    ssize_t size;
    if (status == B_OK)
        status = packed.FindItem("", B_REF_TYPE, 0, &data, &size);
    if (status != B_OK)
        return status;
    return ReplaceItem(name, B_REF_TYPE, 0, data, (size_t)size);
}

status_t BMessage::ReplaceMessage(const char* name, const BMessage* message)
{
    BMessage packed;
    status_t status = packed.AddMessage("", message);
    const void* data;
    ssize_t size;
    if (status == B_OK)
        status = packed.FindItem("", B_MESSAGE_TYPE, 0, &data, &size);
    if (status != B_OK)
        return status;
    return ReplaceItem(name, B_MESSAGE_TYPE, 0, data, (size_t)size);
}

status_t BMessage::ReplaceData(const char* name, type_code type, const void* data, ssize_t numBytes)
{
    return ReplaceData(name, type, 0, data, numBytes);
}

status_t BMessage::ReplaceData(const char* name, type_code type, int32 index, const void* data,
                               ssize_t numBytes)
{
    if (numBytes < 0)
        return B_BAD_VALUE;
    return ReplaceItem(name, type, index, data, (size_t)numBytes);
}

// #pragma mark - testing

bool BMessage::HasRect(const char* name, int32 index) const
{
    return FindItem(name, B_RECT_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasPoint(const char* name, int32 index) const
{
    return FindItem(name, B_POINT_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasString(const char* name, int32 index) const
{
    return FindItem(name, B_STRING_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasInt8(const char* name, int32 index) const
{
    return FindItem(name, B_INT8_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasInt16(const char* name, int32 index) const
{
    return FindItem(name, B_INT16_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasInt32(const char* name, int32 index) const
{
    return FindItem(name, B_INT32_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasInt64(const char* name, int32 index) const
{
    return FindItem(name, B_INT64_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasBool(const char* name, int32 index) const
{
    return FindItem(name, B_BOOL_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasFloat(const char* name, int32 index) const
{
    return FindItem(name, B_FLOAT_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasDouble(const char* name, int32 index) const
{
    return FindItem(name, B_DOUBLE_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasPointer(const char* name, int32 index) const
{
    return FindItem(name, B_POINTER_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasMessenger(const char* name, int32 index) const
{
    return FindItem(name, B_MESSENGER_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasRef(const char* name, int32 index) const
{
    return FindItem(name, B_REF_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasMessage(const char* name, int32 index) const
{
    return FindItem(name, B_MESSAGE_TYPE, index, NULL, NULL) == B_OK;
}

bool BMessage::HasData(const char* name, type_code type, int32 index) const
{
    return FindItem(name, type, index, NULL, NULL) == B_OK;
}

// #pragma mark - printable form

void BMessage::PrintToStream() const
{
    char whatCharacters[5];
    CodeCharacters(what, 4, whatCharacters);
    printf("BMessage: what = %s (0x%lx, or %ld)\n", Printable(whatCharacters).c_str(),
           (unsigned long)what, (long)(int32)what);
    for (const Field& field : fFields)
        PrintField(field);
}

void BMessage::PrintField(const Field& field) const
{
    char typeCharacters[5];
    CodeCharacters(field.type, 4, typeCharacters);
    int32 count = field.CountItems();
    size_t firstSize;
    field.ItemAt(0, &firstSize);
    int prefixWidth =
        printf("    entry %14s, type='%s', c=%ld, ", Printable(field.name.c_str()).c_str(),
               Printable(typeCharacters).c_str(), (long)count);
    switch (field.type) {
    case B_STRING_TYPE:
    case B_REF_TYPE:
        prefixWidth += printf("size=%ld, ", (long)firstSize);
        break;
    case B_INT32_TYPE:
    case B_INT64_TYPE:
    case B_FLOAT_TYPE:
    case B_BOOL_TYPE:
    case B_RECT_TYPE:
        prefixWidth += printf("size=%2ld, ", (long)firstSize);
        break;
    default:
        // The form shows the values of the types above only.
        printf("size=%2ld,\n", (long)firstSize);
        return;
    }

    for (int32 index = 0; index < count; index++) {
        if (index > 0)
            printf("%*s", prefixWidth, "");
        printf("data[%ld]: ", (long)index);
        size_t size;
        const char* data = field.ItemAt(index, &size);
        switch (field.type) {
        case B_STRING_TYPE:
            printf("\"%s\"", Printable(data, size).c_str());
            break;
        case B_REF_TYPE: {
            int32 device = Get<int32>(data);
            int64 directory = Get<int64>(data + 4);
            const char* name = data + kRefHeaderSize;
            entry_ref ref((dev_t)(uint32)device, (ino_t)directory, name);
            BPath path(&ref);
            printf("device=%ld, directory=%lld, name=\"%s\", path=\"%s\"", (long)device,
                   (long long)directory, Printable(name).c_str(),
                   Printable(path.InitCheck() == B_OK ? path.Path() : "").c_str());
            break;
        }
        case B_INT32_TYPE: {
            int32 value = Get<int32>(data);
            char characters[5];
            CodeCharacters((uint32)value, 4, characters);
            printf("0x%lx (%ld, '%s')", (unsigned long)(uint32)value, (long)value,
                   Printable(characters).c_str());
            break;
        }
        case B_INT64_TYPE: {
            int64 value = Get<int64>(data);
            char characters[9];
            CodeCharacters((uint64)value, 8, characters);
            printf("0x%llx (%lld, '%s')", (unsigned long long)value, (long long)value,
                   Printable(characters).c_str());
            break;
        }
        case B_FLOAT_TYPE:
            printf("%.4f", (double)Get<float>(data));
            break;
        case B_BOOL_TYPE:
            printf("%d", data[0] != 0 ? 1 : 0);
            break;
        case B_RECT_TYPE:
            printf("BRect(l:%.1f, t:%.1f, r:%.1f, b:%.1f)", (double)Get<float>(data),
                   (double)Get<float>(data + 4), (double)Get<float>(data + 8),
                   (double)Get<float>(data + 12));
            break;
        }
        printf("\n");
    }
}

// #pragma mark - flattened form

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
    if (fTarget != kNoHandlerToken || fPreferredTarget)
        size += kTargetSize;
    if (HasReplyInfo())
        size += kReplyInfoSize;
    return size;
}

namespace
{

// R5 writes small fields with one-byte count and length.
bool UsesMiniData(size_t dataSize, int32 count)
{
    return dataSize < 256 && count < 256;
}

} // namespace

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
    bool hasTarget = fTarget != kNoHandlerToken || fPreferredTarget;
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
        Put<int32>(cursor, fPreferredTarget ? kPreferredHandlerToken : fTarget);
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
            into->fPreferredTarget = token == kPreferredHandlerToken;
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
