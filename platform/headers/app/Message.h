#ifndef _MESSAGE_H
#define _MESSAGE_H

#include <AppDefs.h>
#include <Entry.h>
#include <Messenger.h>
#include <OS.h>
#include <Point.h>
#include <Rect.h>
#include <String.h>
#include <SupportDefs.h>
#include <TypeConstants.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class BDataIO;
class BHandler;
class BLooper;

// A typed name/value message: each named field holds one or more values of one type.
class BMessage
{
public:
    uint32 what;

    BMessage();
    BMessage(uint32 what);
    BMessage(const BMessage& other);
    virtual ~BMessage();

    BMessage& operator=(const BMessage& other);

    // Fields
    status_t GetInfo(type_code typeRequested, int32 index, char** nameFound, type_code* typeFound,
                     int32* countFound = NULL) const;
    status_t GetInfo(const char* name, type_code* typeFound, int32* countFound = NULL) const;
    status_t GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const;
    int32 CountNames(type_code type) const;
    bool IsEmpty() const;
    bool IsSystem() const;
    bool IsReply() const;
    void PrintToStream() const;
    status_t Rename(const char* oldEntry, const char* newEntry);

    // Delivery
    bool WasDelivered() const;
    bool IsSourceWaiting() const;
    bool IsSourceRemote() const;
    BMessenger ReturnAddress() const;
    const BMessage* Previous() const;
    bool WasDropped() const;
    BPoint DropPoint(BPoint* offset = NULL) const;

    // The R5 flattened form
    ssize_t FlattenedSize() const;
    status_t Flatten(char* buffer, ssize_t size) const;
    status_t Flatten(BDataIO* stream, ssize_t* size = NULL) const;
    status_t Unflatten(const char* flatBuffer);
    status_t Unflatten(const char* flatBuffer, ssize_t size);
    status_t Unflatten(BDataIO* stream);

    // Adding
    status_t AddRect(const char* name, BRect rect);
    status_t AddPoint(const char* name, BPoint point);
    status_t AddString(const char* name, const char* string);
    status_t AddString(const char* name, const BString& string);
    status_t AddInt8(const char* name, int8 value);
    status_t AddInt16(const char* name, int16 value);
    status_t AddInt32(const char* name, int32 value);
    status_t AddInt64(const char* name, int64 value);
    status_t AddBool(const char* name, bool value);
    status_t AddFloat(const char* name, float value);
    status_t AddDouble(const char* name, double value);
    status_t AddPointer(const char* name, const void* pointer);
    status_t AddMessenger(const char* name, BMessenger messenger);
    status_t AddRef(const char* name, const entry_ref* ref);
    status_t AddMessage(const char* name, const BMessage* message);
    status_t AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
                     bool isFixedSize = true, int32 count = 1);

    // Removing
    status_t RemoveData(const char* name, int32 index = 0);
    status_t RemoveName(const char* name);
    status_t MakeEmpty();

    // Finding: a missing field, a missing index or a field of another type gives
    // an error and leaves the output untouched.
    status_t FindRect(const char* name, BRect* rect) const;
    status_t FindRect(const char* name, int32 index, BRect* rect) const;
    status_t FindPoint(const char* name, BPoint* point) const;
    status_t FindPoint(const char* name, int32 index, BPoint* point) const;
    status_t FindString(const char* name, const char** string) const;
    status_t FindString(const char* name, int32 index, const char** string) const;
    status_t FindString(const char* name, BString* string) const;
    status_t FindString(const char* name, int32 index, BString* string) const;
    status_t FindInt8(const char* name, int8* value) const;
    status_t FindInt8(const char* name, int32 index, int8* value) const;
    status_t FindInt16(const char* name, int16* value) const;
    status_t FindInt16(const char* name, int32 index, int16* value) const;
    status_t FindInt32(const char* name, int32* value) const;
    status_t FindInt32(const char* name, int32 index, int32* value) const;
    status_t FindInt64(const char* name, int64* value) const;
    status_t FindInt64(const char* name, int32 index, int64* value) const;
    status_t FindBool(const char* name, bool* value) const;
    status_t FindBool(const char* name, int32 index, bool* value) const;
    status_t FindFloat(const char* name, float* value) const;
    status_t FindFloat(const char* name, int32 index, float* value) const;
    status_t FindDouble(const char* name, double* value) const;
    status_t FindDouble(const char* name, int32 index, double* value) const;
    status_t FindPointer(const char* name, void** pointer) const;
    status_t FindPointer(const char* name, int32 index, void** pointer) const;
    status_t FindMessenger(const char* name, BMessenger* messenger) const;
    status_t FindMessenger(const char* name, int32 index, BMessenger* messenger) const;
    status_t FindRef(const char* name, entry_ref* ref) const;
    status_t FindRef(const char* name, int32 index, entry_ref* ref) const;
    status_t FindMessage(const char* name, BMessage* message) const;
    status_t FindMessage(const char* name, int32 index, BMessage* message) const;
    status_t FindData(const char* name, type_code type, const void** data, ssize_t* numBytes) const;
    status_t FindData(const char* name, type_code type, int32 index, const void** data,
                      ssize_t* numBytes) const;

    // Replacing a value that exists
    status_t ReplaceRect(const char* name, BRect rect);
    status_t ReplacePoint(const char* name, BPoint point);
    status_t ReplaceString(const char* name, const char* string);
    status_t ReplaceString(const char* name, const BString& string);
    status_t ReplaceInt8(const char* name, int8 value);
    status_t ReplaceInt16(const char* name, int16 value);
    status_t ReplaceInt32(const char* name, int32 value);
    status_t ReplaceInt64(const char* name, int64 value);
    status_t ReplaceBool(const char* name, bool value);
    status_t ReplaceFloat(const char* name, float value);
    status_t ReplaceDouble(const char* name, double value);
    status_t ReplacePointer(const char* name, const void* pointer);
    status_t ReplaceMessenger(const char* name, BMessenger messenger);
    status_t ReplaceRef(const char* name, const entry_ref* ref);
    status_t ReplaceMessage(const char* name, const BMessage* message);
    status_t ReplaceData(const char* name, type_code type, const void* data, ssize_t numBytes);
    status_t ReplaceData(const char* name, type_code type, int32 index, const void* data,
                         ssize_t numBytes);

    bool HasRect(const char* name, int32 index = 0) const;
    bool HasPoint(const char* name, int32 index = 0) const;
    bool HasString(const char* name, int32 index = 0) const;
    bool HasInt8(const char* name, int32 index = 0) const;
    bool HasInt16(const char* name, int32 index = 0) const;
    bool HasInt32(const char* name, int32 index = 0) const;
    bool HasInt64(const char* name, int32 index = 0) const;
    bool HasBool(const char* name, int32 index = 0) const;
    bool HasFloat(const char* name, int32 index = 0) const;
    bool HasDouble(const char* name, int32 index = 0) const;
    bool HasPointer(const char* name, int32 index = 0) const;
    bool HasMessenger(const char* name, int32 index = 0) const;
    bool HasRef(const char* name, int32 index = 0) const;
    bool HasMessage(const char* name, int32 index = 0) const;
    bool HasData(const char* name, type_code type, int32 index = 0) const;

private:
    // The private part belongs to the message's implementation; the layer's
    // loopers and messengers reach the delivery data through these friends.
    friend class BLooper;
    friend class BMessenger;
    friend class BApplication;
    friend class BWindow;

    // One named field. Its values all have the field's type and lie back to back in
    // `bytes`; `starts` tells where each variable-size value begins.
    struct Field {
        std::string name;
        type_code type;
        bool fixedSize;
        size_t itemSize = 0; // fixed-size fields
        std::vector<char> bytes;
        std::vector<size_t> starts; // variable-size fields

        int32 CountItems() const;
        const char* ItemAt(int32 index, size_t* size) const;
        void AddItem(const void* data, size_t size);
        void ReplaceItem(int32 index, const void* data, size_t size);
        void RemoveItem(int32 index);
        size_t FlattenedDataSize() const;
    };

    Field* FindField(const char* name);
    const Field* FindField(const char* name) const;
    status_t FindItem(const char* name, type_code type, int32 index, const void** data,
                      ssize_t* numBytes) const;
    status_t FindFixed(const char* name, type_code type, int32 index, void* value,
                       size_t size) const;
    status_t AddChecked(const char* name, type_code type, const void* data, size_t numBytes,
                        bool isFixedSize);
    status_t AddItem(const char* name, type_code type, const void* data, size_t numBytes,
                     bool isFixedSize);
    status_t ReplaceItem(const char* name, type_code type, int32 index, const void* data,
                         size_t numBytes);
    void RemoveField(size_t position);
    void TakeContentsOf(BMessage& other);
    void PrintField(const Field& field) const;
    // How a value of a fixed-size type lies in the message's bytes.
    template <typename T> struct Codec;
    bool HasReplyInfo() const;
    size_t HeaderSize() const;
    size_t FlattenedSizeUnchecked() const;
    void FlattenUnchecked(char* buffer) const;
    static status_t CheckItem(type_code type, const char* data, size_t size, int32 depth);
    static status_t Parse(const char* buffer, size_t size, int32 depth, BMessage* into);

    std::vector<Field> fFields;
    std::map<std::string, size_t, std::less<>> fFieldIndex; // name -> position in fFields

    // Delivery data, set by the layer when the message is sent or delivered.
    int32 fTarget = -1; // handler token, -1 none
    bool fPreferredTarget = false;
    bool fWasDelivered = false;
    bool fWasDropped = false;
    BPoint fDropPoint;
    BPoint fDropOffset;
    BMessenger fReplyTo;
    bool fIsReply = false;
    bool fReplyRequired = false;
    bool fReplyDone = false;
    bool fSourceRemote = false;
    mutable std::unique_ptr<BMessage> fPrevious;
};

#endif
