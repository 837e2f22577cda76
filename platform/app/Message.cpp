// The message as a container: named fields of typed values, and their accessors.
// The flattened form is in MessageFlatten.cpp, the printed form in MessagePrint.cpp.

#include <Message.h>

#include <ctype.h>
#include <string.h>

#include <new>
#include <string_view>

#include "app/MessageLayout.h"

using namespace BPrivate;

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

bool BMessage::HasString(const char* name, int32 index) const
{
    return FindItem(name, B_STRING_TYPE, index, NULL, NULL) == B_OK;
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

// #pragma mark - fixed-size types

// The typed accessors of the fixed-size types, one row each: the name they carry, the
// type they take, the type they find, the type code.
#define FIXED_SIZE_TYPES(X)                                                                        \
    X(Rect, BRect, BRect, B_RECT_TYPE)                                                             \
    X(Point, BPoint, BPoint, B_POINT_TYPE)                                                         \
    X(Int8, int8, int8, B_INT8_TYPE)                                                               \
    X(Int16, int16, int16, B_INT16_TYPE)                                                           \
    X(Int32, int32, int32, B_INT32_TYPE)                                                           \
    X(Int64, int64, int64, B_INT64_TYPE)                                                           \
    X(Bool, bool, bool, B_BOOL_TYPE)                                                               \
    X(Float, float, float, B_FLOAT_TYPE)                                                           \
    X(Double, double, double, B_DOUBLE_TYPE)                                                       \
    X(Pointer, const void*, void*, B_POINTER_TYPE)                                                 \
    X(Messenger, BMessenger, BMessenger, B_MESSENGER_TYPE)

// Values are packed into zeroed bytes, so that padding flattens the same each time.
#define DEFINE_FIXED_SIZE_ACCESSORS(Name, Argument, Result, type)                                  \
    status_t BMessage::Add##Name(const char* name, Argument value)                                 \
    {                                                                                              \
        static_assert(Codec<Result>::kSize == FixedSizeOf(type));                                  \
        char bytes[Codec<Result>::kSize] = {};                                                     \
        Codec<Result>::Pack(value, bytes);                                                         \
        return AddChecked(name, type, bytes, sizeof bytes, true);                                  \
    }                                                                                              \
    status_t BMessage::Find##Name(const char* name, Result* value) const                           \
    {                                                                                              \
        return Find##Name(name, 0, value);                                                         \
    }                                                                                              \
    status_t BMessage::Find##Name(const char* name, int32 index, Result* value) const              \
    {                                                                                              \
        if (value == NULL)                                                                         \
            return B_BAD_VALUE;                                                                    \
        char bytes[Codec<Result>::kSize];                                                          \
        status_t status = FindFixed(name, type, index, bytes, sizeof bytes);                       \
        if (status == B_OK)                                                                        \
            Codec<Result>::Unpack(bytes, value);                                                   \
        return status;                                                                             \
    }                                                                                              \
    status_t BMessage::Replace##Name(const char* name, Argument value)                             \
    {                                                                                              \
        char bytes[Codec<Result>::kSize] = {};                                                     \
        Codec<Result>::Pack(value, bytes);                                                         \
        return ReplaceItem(name, type, 0, bytes, sizeof bytes);                                    \
    }                                                                                              \
    bool BMessage::Has##Name(const char* name, int32 index) const                                  \
    {                                                                                              \
        return FindItem(name, type, index, NULL, NULL) == B_OK;                                    \
    }

FIXED_SIZE_TYPES(DEFINE_FIXED_SIZE_ACCESSORS)
