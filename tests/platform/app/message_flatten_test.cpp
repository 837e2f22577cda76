#include <DataIO.h>
#include <Message.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace
{

std::vector<char> Flattened(const BMessage& message)
{
    ssize_t size = message.FlattenedSize();
    std::vector<char> flat(size > 0 ? (size_t)size : 0);
    EXPECT_EQ(B_OK, message.Flatten(flat.data(), size));
    return flat;
}

// Builds flattened messages byte by byte, in the host's byte order as R5 wrote them.
class Bytes
{
public:
    Bytes& U8(uint8 value)
    {
        fBytes.push_back((char)value);
        return *this;
    }
    Bytes& U32(uint32 value)
    {
        const char* bytes = (const char*)&value;
        fBytes.insert(fBytes.end(), bytes, bytes + 4);
        return *this;
    }
    Bytes& Text(const char* text, size_t length)
    {
        fBytes.insert(fBytes.end(), text, text + length);
        return *this;
    }
    Bytes& Zeros(size_t count)
    {
        fBytes.insert(fBytes.end(), count, '\0');
        return *this;
    }
    // A header without target or reply info; the size is filled in by Finish().
    Bytes& Header(uint32 what, uint32 checksum = 0)
    {
        return U32('FOB1').U32(checksum).U32(0).U32(what).U8(0x01);
    }
    std::vector<char> Finish()
    {
        uint32 size = (uint32)fBytes.size();
        memcpy(fBytes.data() + 8, &size, 4);
        return fBytes;
    }

private:
    std::vector<char> fBytes;
};

// 'RFID' with _time 57 and _tagstr "A1B2", as R5 flattens it: mini-data, single items.
std::vector<char> R5TagEvent()
{
    return Bytes()
        .Header('RFID', 0x84494653)
        .U8(0x0f) // valid, mini-data, fixed size, single item
        .U32('LONG')
        .U8(4)
        .U8(5)
        .Text("_time", 5)
        .U32(57)
        .U8(0x0b) // valid, mini-data, single item
        .U32('CSTR')
        .U8(16)
        .U8(7)
        .Text("_tagstr", 7)
        .U32(5)
        .Text("A1B2", 5)
        .Zeros(7)
        .U8(0)
        .Finish();
}

} // namespace

TEST(MessageFlatten, EveryTypeSurvivesTheRoundTrip)
{
    entry_ref ref(3, 1234567890123LL, "avatar.png");
    BMessage nested('NEST');
    nested.AddString("inner", "text");
    char messenger[24] = {};
    int32 team = 99;
    memcpy(messenger + 8, &team, 4);

    BMessage message('RFID');
    message.AddInt8("int8", -8);
    message.AddInt16("int16", -16);
    message.AddInt32("int32", -32);
    message.AddInt32("int32", 32);
    message.AddInt64("int64", INT64_MIN);
    message.AddBool("bool", true);
    message.AddFloat("float", 0.25f);
    message.AddDouble("double", -1e300);
    message.AddString("string", "A1B2");
    message.AddString("string", "");
    message.AddString("string", std::string(300, 'x').c_str());
    message.AddRect("rect", BRect(1, 2, 3, 4));
    message.AddPoint("point", BPoint(-1, 7.5f));
    message.AddPointer("pointer", &message);
    message.AddData("messenger", B_MESSENGER_TYPE, messenger, sizeof messenger);
    message.AddRef("ref", &ref);
    message.AddMessage("message", &nested);
    message.AddData("raw", B_RAW_TYPE, "\0\1\2", 3, false);
    message.AddData("fixed", 'FIXD', std::string(600, 'f').c_str(), 300);
    message.AddData("fixed", 'FIXD', std::string(600, 'g').c_str(), 300);

    std::vector<char> flat = Flattened(message);
    BMessage copy;
    ASSERT_EQ(B_OK, copy.Unflatten(flat.data(), (ssize_t)flat.size()));
    EXPECT_EQ((uint32)'RFID', copy.what);
    EXPECT_EQ(message.CountNames(B_ANY_TYPE), copy.CountNames(B_ANY_TYPE));

    int8 int8Value;
    int16 int16Value;
    int32 int32Value;
    int64 int64Value;
    bool boolValue;
    float floatValue;
    double doubleValue;
    const char* text;
    BRect rect;
    BPoint point;
    void* pointer;
    BMessenger foundMessenger;
    entry_ref foundRef;
    BMessage foundMessage;
    const void* data;
    ssize_t size;
    ASSERT_EQ(B_OK, copy.FindInt8("int8", &int8Value));
    EXPECT_EQ(-8, int8Value);
    ASSERT_EQ(B_OK, copy.FindInt16("int16", &int16Value));
    EXPECT_EQ(-16, int16Value);
    ASSERT_EQ(B_OK, copy.FindInt32("int32", 1, &int32Value));
    EXPECT_EQ(32, int32Value);
    ASSERT_EQ(B_OK, copy.FindInt64("int64", &int64Value));
    EXPECT_EQ(INT64_MIN, int64Value);
    ASSERT_EQ(B_OK, copy.FindBool("bool", &boolValue));
    EXPECT_TRUE(boolValue);
    ASSERT_EQ(B_OK, copy.FindFloat("float", &floatValue));
    EXPECT_EQ(0.25f, floatValue);
    ASSERT_EQ(B_OK, copy.FindDouble("double", &doubleValue));
    EXPECT_EQ(-1e300, doubleValue);
    ASSERT_EQ(B_OK, copy.FindString("string", 0, &text));
    EXPECT_STREQ("A1B2", text);
    ASSERT_EQ(B_OK, copy.FindString("string", 1, &text));
    EXPECT_STREQ("", text);
    ASSERT_EQ(B_OK, copy.FindString("string", 2, &text));
    EXPECT_EQ(std::string(300, 'x'), text);
    ASSERT_EQ(B_OK, copy.FindRect("rect", &rect));
    EXPECT_EQ(BRect(1, 2, 3, 4), rect);
    ASSERT_EQ(B_OK, copy.FindPoint("point", &point));
    EXPECT_EQ(BPoint(-1, 7.5f), point);
    ASSERT_EQ(B_OK, copy.FindPointer("pointer", &pointer));
    EXPECT_EQ(&message, pointer);
    ASSERT_EQ(B_OK, copy.FindMessenger("messenger", &foundMessenger));
    EXPECT_EQ(99, foundMessenger.Team());
    ASSERT_EQ(B_OK, copy.FindRef("ref", &foundRef));
    EXPECT_EQ((dev_t)3, foundRef.device);
    EXPECT_EQ((ino_t)1234567890123LL, foundRef.directory);
    EXPECT_STREQ("avatar.png", foundRef.name);
    ASSERT_EQ(B_OK, copy.FindMessage("message", &foundMessage));
    EXPECT_EQ((uint32)'NEST', foundMessage.what);
    ASSERT_EQ(B_OK, foundMessage.FindString("inner", &text));
    EXPECT_STREQ("text", text);
    ASSERT_EQ(B_OK, copy.FindData("raw", B_RAW_TYPE, &data, &size));
    ASSERT_EQ(3, size);
    EXPECT_EQ(0, memcmp("\0\1\2", data, 3));
    ASSERT_EQ(B_OK, copy.FindData("fixed", 'FIXD', 1, &data, &size));
    ASSERT_EQ(300, size);
    EXPECT_EQ(std::string(300, 'g'), std::string((const char*)data, 300));

    // The copy flattens to the same bytes: nothing was lost or reordered.
    EXPECT_EQ(flat, Flattened(copy));
}

TEST(MessageFlatten, WritesTheR5LayoutWithItsChecksum)
{
    BMessage message('RFID');
    message.AddInt32("_time", 57);
    message.AddString("_tagstr", "A1B2");
    EXPECT_EQ(64, message.FlattenedSize());
    EXPECT_EQ(R5TagEvent(), Flattened(message));
}

TEST(MessageFlatten, ReadsAnR5MiniDataBuffer)
{
    std::vector<char> flat = R5TagEvent();
    // The checksum is not checked on reading.
    flat[4] ^= 0x55;
    BMessage message;
    ASSERT_EQ(B_OK, message.Unflatten(flat.data(), (ssize_t)flat.size()));
    EXPECT_EQ((uint32)'RFID', message.what);
    EXPECT_EQ(2, message.CountNames(B_ANY_TYPE));
    int32 time = 0;
    EXPECT_EQ(B_OK, message.FindInt32("_time", &time));
    EXPECT_EQ(57, time);
    const char* tag = NULL;
    EXPECT_EQ(B_OK, message.FindString("_tagstr", &tag));
    EXPECT_STREQ("A1B2", tag);

    BMessage sizeless;
    ASSERT_EQ(B_OK, sizeless.Unflatten(flat.data()));
    EXPECT_TRUE(sizeless.HasString("_tagstr"));
}

TEST(MessageFlatten, ReadsFullSizeFieldsToo)
{
    std::vector<char> flat = Bytes()
                                 .Header('LIST')
                                 .U8(0x05) // valid, fixed size: 4-byte count and length
                                 .U32('LONG')
                                 .U32(2)
                                 .U32(8)
                                 .U8(1)
                                 .Text("n", 1)
                                 .U32(10)
                                 .U32(20)
                                 .U8(0x01) // valid, variable size
                                 .U32('CSTR')
                                 .U32(2)
                                 .U32(16)
                                 .U8(1)
                                 .Text("s", 1)
                                 .U32(2)
                                 .Text("a", 2)
                                 .Zeros(2)
                                 .U32(3)
                                 .Text("bc", 3)
                                 .Zeros(1)
                                 .U8(0)
                                 .Finish();
    BMessage message;
    ASSERT_EQ(B_OK, message.Unflatten(flat.data(), (ssize_t)flat.size()));
    int32 value = 0;
    EXPECT_EQ(B_OK, message.FindInt32("n", 1, &value));
    EXPECT_EQ(20, value);
    const char* text = NULL;
    EXPECT_EQ(B_OK, message.FindString("s", 1, &text));
    EXPECT_STREQ("bc", text);
}

TEST(MessageFlatten, TargetAndReplyInfoBecomeDeliveryData)
{
    std::vector<char> flat = Bytes()
                                 .U32('FOB1')
                                 .U32(0)
                                 .U32(0)
                                 .U32('_QRQ')
                                 .U8(0x07)
                                 .U32((uint32)-2) // the preferred handler
                                 .U32(11)         // reply port
                                 .U32(12)         // reply token
                                 .U32(13)         // reply team
                                 .U8(0)
                                 .U8(1) // reply required
                                 .U8(0)
                                 .U8(1) // is a reply
                                 .U8(0)
                                 .Finish();
    BMessage message;
    ASSERT_EQ(B_OK, message.Unflatten(flat.data(), (ssize_t)flat.size()));
    EXPECT_TRUE(message.IsReply());
    EXPECT_TRUE(message.IsSourceWaiting());
    EXPECT_EQ(13, message.ReturnAddress().Team());
    EXPECT_TRUE(message.IsEmpty());

    // Written back, the header says the same; only the checksum is recomputed.
    std::vector<char> again = Flattened(message);
    ASSERT_EQ(flat.size(), again.size());
    EXPECT_EQ(0, memcmp(flat.data() + 8, again.data() + 8, flat.size() - 8));

    BMessage plain('_QRQ');
    EXPECT_EQ(18, plain.FlattenedSize());
}

TEST(MessageFlatten, StreamsCarryWholeMessages)
{
    BMessage message('RFID');
    message.AddString("_tagstr", std::string(100000, 't').c_str());
    message.AddInt32("_time", 1);
    BMallocIO stream;
    ssize_t written = 0;
    ASSERT_EQ(B_OK, message.Flatten(&stream, &written));
    EXPECT_EQ(message.FlattenedSize(), written);
    ASSERT_EQ((size_t)written, stream.BufferLength());

    // Two messages back to back come out one at a time.
    ASSERT_EQ(B_OK, BMessage('SCND').Flatten(&stream));
    stream.Seek(0, SEEK_SET);
    BMessage first, second;
    ASSERT_EQ(B_OK, first.Unflatten(&stream));
    ASSERT_EQ(B_OK, second.Unflatten(&stream));
    EXPECT_EQ((uint32)'SCND', second.what);
    const char* tag = NULL;
    ASSERT_EQ(B_OK, first.FindString("_tagstr", &tag));
    EXPECT_EQ(100000u, strlen(tag));

    BMessage end;
    end.AddInt32("stale", 1);
    EXPECT_NE(B_OK, end.Unflatten(&stream));
    EXPECT_TRUE(end.IsEmpty());
}

TEST(MessageFlatten, StreamsRefuseHugeOrCutMessages)
{
    // A header that claims a gigabyte is refused before anything is allocated for it.
    std::vector<char> huge = R5TagEvent();
    uint32 gigabyte = 1u << 30;
    memcpy(huge.data() + 8, &gigabyte, 4);
    BMemoryIO hugeStream(huge.data(), huge.size());
    BMessage message;
    EXPECT_EQ(B_BAD_VALUE, message.Unflatten(&hugeStream));

    std::vector<char> cut = R5TagEvent();
    BMemoryIO cutStream(cut.data(), cut.size() - 1);
    EXPECT_EQ(B_BAD_VALUE, message.Unflatten(&cutStream));

    std::vector<char> text(64, 'x');
    BMemoryIO textStream(text.data(), text.size());
    EXPECT_EQ(B_NOT_A_MESSAGE, message.Unflatten(&textStream));
}

TEST(MessageFlatten, FlattenNeedsRoom)
{
    BMessage message('RFID');
    message.AddInt32("_time", 57);
    std::vector<char> flat((size_t)message.FlattenedSize());
    EXPECT_EQ(B_BAD_VALUE, message.Flatten(flat.data(), (ssize_t)flat.size() - 1));
    EXPECT_EQ(B_BAD_VALUE, message.Flatten((char*)NULL, 100));
    EXPECT_EQ(B_BAD_VALUE, message.Flatten((BDataIO*)NULL));
}

TEST(MessageFlatten, MalformedBuffersAreRejectedAndLeaveTheMessageEmpty)
{
    const std::vector<char> good = R5TagEvent();
    // Offsets in the good buffer: the LONG field starts at 17, the CSTR field at 33,
    // its data length at 38, its item size at 47, the terminator at 63.
    struct Case {
        const char* what;
        std::vector<char> bytes;
        status_t expected;
    };
    std::vector<Case> cases;
    auto mutated = [&](size_t offset, std::initializer_list<uint8> bytes) {
        std::vector<char> changed = good;
        size_t at = offset;
        for (uint8 byte : bytes)
            changed[at++] = (char)byte;
        return changed;
    };
    cases.push_back({"wrong magic", mutated(0, {'X'}), B_NOT_A_MESSAGE});
    cases.push_back({"size past the end", mutated(8, {65}), B_BAD_VALUE});
    cases.push_back({"size smaller than a header", mutated(8, {10}), B_BAD_VALUE});
    cases.push_back({"data length 0", mutated(22, {0}), B_BAD_VALUE});
    cases.push_back({"data length past the end", mutated(38, {255}), B_BAD_VALUE});
    auto oneRawField = [](uint8 count, uint8 dataLength) {
        return Bytes()
            .Header('RAWS')
            .U8(0x07) // valid, mini-data, fixed size
            .U32('RAWT')
            .U8(count)
            .U8(dataLength)
            .U8(1)
            .Text("n", 1)
            .Zeros(dataLength)
            .U8(0)
            .Finish();
    };
    cases.push_back({"fixed size not a multiple of the count", oneRawField(3, 4), B_BAD_VALUE});
    cases.push_back({"more items than bytes", oneRawField(255, 4), B_BAD_VALUE});
    cases.push_back({"no items", oneRawField(0, 4), B_BAD_VALUE});
    cases.push_back({"item size past the field's data", mutated(47, {13}), B_BAD_VALUE});
    cases.push_back({"negative item size", mutated(47, {0xff, 0xff, 0xff, 0xff}), B_BAD_VALUE});
    cases.push_back({"string without its NUL", mutated(55, {'!'}), B_BAD_VALUE});
    cases.push_back({"NUL inside a name", mutated(24, {0}), B_BAD_VALUE});
    cases.push_back({"name past the end", mutated(39, {200}), B_BAD_VALUE});
    cases.push_back({"field without its valid flag", mutated(17, {0x0c}), B_BAD_VALUE});
    cases.push_back({"type any", mutated(18, {'T', 'Y', 'N', 'A'}), B_BAD_VALUE});
    cases.push_back({"int32 of three bytes", mutated(22, {3}), B_BAD_VALUE});
    cases.push_back({"duplicate name", mutated(39, {5, '_', 't', 'i', 'm', 'e'}), B_BAD_VALUE});
    std::vector<char> noTerminator = good;
    noTerminator.pop_back();
    uint32 shorter = (uint32)noTerminator.size();
    memcpy(noTerminator.data() + 8, &shorter, 4);
    cases.push_back({"missing terminator", noTerminator, B_BAD_VALUE});

    for (const Case& test : cases) {
        BMessage message('KEEP');
        message.AddInt32("stale", 1);
        EXPECT_EQ(test.expected, message.Unflatten(test.bytes.data(), (ssize_t)test.bytes.size()))
            << test.what;
        EXPECT_TRUE(message.IsEmpty()) << test.what;
    }

    // Every cut of a good buffer fails cleanly.
    for (size_t length = 0; length < good.size(); length++) {
        BMessage message;
        EXPECT_NE(B_OK, message.Unflatten(good.data(), (ssize_t)length)) << length;
    }
    BMessage message;
    EXPECT_EQ(B_BAD_VALUE, message.Unflatten(NULL, 10));
    EXPECT_EQ(B_BAD_VALUE, message.Unflatten((const char*)NULL));
}

TEST(MessageFlatten, NestedMessagesAreCheckedToABoundedDepth)
{
    BMessage broken;
    std::vector<char> inner = R5TagEvent();
    inner[55] = '!'; // the string loses its NUL
    std::vector<char> outer = Bytes()
                                  .Header('OUTR')
                                  .U8(0x0b)
                                  .U32('MSGG')
                                  .U8((uint8)(8 + inner.size()))
                                  .U8(1)
                                  .Text("m", 1)
                                  .U32((uint32)inner.size())
                                  .Text(inner.data(), inner.size())
                                  .Zeros(4)
                                  .U8(0)
                                  .Finish();
    EXPECT_EQ(B_BAD_VALUE, broken.Unflatten(outer.data(), (ssize_t)outer.size()));

    // Messages nested deeper than the reader allows are refused, shallower ones pass.
    auto nestedTo = [](int depth) {
        BMessage message('DEEP');
        for (int level = 0; level < depth; level++) {
            BMessage outer('DEEP');
            outer.AddMessage("m", &message);
            message = outer;
        }
        return Flattened(message);
    };
    std::vector<char> deep = nestedTo(200);
    BMessage message;
    EXPECT_EQ(B_BAD_VALUE, message.Unflatten(deep.data(), (ssize_t)deep.size()));
    std::vector<char> shallow = nestedTo(20);
    EXPECT_EQ(B_OK, message.Unflatten(shallow.data(), (ssize_t)shallow.size()));
}
