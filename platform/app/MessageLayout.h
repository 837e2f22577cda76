#ifndef _APP_MESSAGE_LAYOUT_H
#define _APP_MESSAGE_LAYOUT_H

#include <Message.h>
#include <SupportDefs.h>
#include <TypeConstants.h>

#include <string.h>

namespace BPrivate
{

// How values lie in a message's bytes, shared by the container, the flattened
// form and the printed form. Values are in host byte order, as the platform's.

// A field's name has a one-byte length in the flattened form.
constexpr size_t kMaxNameLength = 255;

inline bool IsValidName(const char* name)
{
    return name != NULL && strlen(name) <= kMaxNameLength;
}

// An entry_ref: device (int32), directory (int64), then the name with its NUL.
constexpr size_t kRefHeaderSize = 4 + 8;

template <typename T> void Put(char*& cursor, T value)
{
    memcpy(cursor, &value, sizeof value);
    cursor += sizeof value;
}

inline void PutBytes(char*& cursor, const void* data, size_t size)
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

// Whether the checksum in a flattened message's header matches the header. R5
// itself does not always write it right, so Unflatten does not ask; what
// this layer writes always matches.
bool HeaderChecksumMatches(const char* flattened, size_t size);

// A messenger: port, handler token, team, two reserved words, then the
// preferred-target flag and padding.
constexpr size_t kMessengerSize = 24;
constexpr size_t kMessengerFlagOffset = 20;

// The size of a value of the fixed-size types the message reads and writes itself;
// 0 for every other type.
constexpr size_t FixedSizeOf(type_code type)
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

} // namespace BPrivate

// How a value of a fixed-size type lies in a message: plain numbers as they lie in
// memory, the others as their parts do.
template <typename T> struct BMessage::Codec {
    static constexpr size_t kSize = sizeof(T);
    static void Pack(T value, char* bytes) { memcpy(bytes, &value, kSize); }
    static void Unpack(const char* bytes, T* value) { memcpy(value, bytes, kSize); }
};

template <> struct BMessage::Codec<bool> {
    static constexpr size_t kSize = 1;
    static void Pack(bool value, char* bytes) { bytes[0] = value ? 1 : 0; }
    static void Unpack(const char* bytes, bool* value) { *value = bytes[0] != 0; }
};

template <> struct BMessage::Codec<void*> {
    static constexpr size_t kSize = sizeof(void*);
    static void Pack(const void* value, char* bytes) { memcpy(bytes, &value, kSize); }
    static void Unpack(const char* bytes, void** value) { memcpy(value, bytes, kSize); }
};

template <> struct BMessage::Codec<BPoint> {
    static constexpr size_t kSize = 8;
    static void Pack(BPoint point, char* bytes)
    {
        BPrivate::Put<float>(bytes, point.x);
        BPrivate::Put<float>(bytes, point.y);
    }
    static void Unpack(const char* bytes, BPoint* point)
    {
        point->Set(BPrivate::Get<float>(bytes), BPrivate::Get<float>(bytes + 4));
    }
};

template <> struct BMessage::Codec<BRect> {
    static constexpr size_t kSize = 16;
    static void Pack(BRect rect, char* bytes)
    {
        BPrivate::Put<float>(bytes, rect.left);
        BPrivate::Put<float>(bytes, rect.top);
        BPrivate::Put<float>(bytes, rect.right);
        BPrivate::Put<float>(bytes, rect.bottom);
    }
    static void Unpack(const char* bytes, BRect* rect)
    {
        rect->Set(BPrivate::Get<float>(bytes), BPrivate::Get<float>(bytes + 4),
                  BPrivate::Get<float>(bytes + 8), BPrivate::Get<float>(bytes + 12));
    }
};

template <> struct BMessage::Codec<BMessenger> {
    static constexpr size_t kSize = BPrivate::kMessengerSize;
    static void Pack(const BMessenger& messenger, char* bytes)
    {
        BPrivate::Put<int32>(bytes, messenger.fPort);
        BPrivate::Put<int32>(bytes, messenger.fHandlerToken);
        BPrivate::Put<int32>(bytes, messenger.fTeam);
        BPrivate::Put<int32>(bytes, messenger.fReserved[0]);
        BPrivate::Put<int32>(bytes, messenger.fReserved[1]);
        BPrivate::Put<uint8>(bytes, messenger.fPreferredTarget ? 1 : 0);
    }
    static void Unpack(const char* bytes, BMessenger* messenger)
    {
        messenger->fPort = BPrivate::Get<int32>(bytes);
        messenger->fHandlerToken = BPrivate::Get<int32>(bytes + 4);
        messenger->fTeam = BPrivate::Get<int32>(bytes + 8);
        messenger->fReserved[0] = BPrivate::Get<int32>(bytes + 12);
        messenger->fReserved[1] = BPrivate::Get<int32>(bytes + 16);
        messenger->fPreferredTarget = bytes[BPrivate::kMessengerFlagOffset] != 0;
    }
};

#endif
