#include <Message.h>

#include <gtest/gtest.h>

#include <string.h>

TEST(MessageFields, ValuesComeBackByNameAndIndex)
{
    BMessage message('RFID');
    ASSERT_EQ(B_OK, message.AddInt32("_time", 57));
    ASSERT_EQ(B_OK, message.AddInt32("_time", -5));
    ASSERT_EQ(B_OK, message.AddString("_tagstr", "A1B2"));
    ASSERT_EQ(B_OK, message.AddBool("flag", true));
    ASSERT_EQ(B_OK, message.AddInt8("byte", -3));
    ASSERT_EQ(B_OK, message.AddInt16("short", 1234));
    ASSERT_EQ(B_OK, message.AddInt64("when", INT64_C(-1) << 40));
    ASSERT_EQ(B_OK, message.AddFloat("float", 1.5f));
    ASSERT_EQ(B_OK, message.AddDouble("double", 2.25));
    ASSERT_EQ(B_OK, message.AddRect("frame", BRect(30, 50, 340, 100)));
    ASSERT_EQ(B_OK, message.AddPoint("where", BPoint(4, 5)));
    ASSERT_EQ(B_OK, message.AddPointer("pointer", &message));

    int32 time = 0;
    EXPECT_EQ(B_OK, message.FindInt32("_time", &time));
    EXPECT_EQ(57, time);
    EXPECT_EQ(B_OK, message.FindInt32("_time", 1, &time));
    EXPECT_EQ(-5, time);
    const char* tag = NULL;
    EXPECT_EQ(B_OK, message.FindString("_tagstr", &tag));
    EXPECT_STREQ("A1B2", tag);
    BString tagString;
    EXPECT_EQ(B_OK, message.FindString("_tagstr", &tagString));
    EXPECT_STREQ("A1B2", tagString.String());
    bool flag = false;
    EXPECT_EQ(B_OK, message.FindBool("flag", &flag));
    EXPECT_TRUE(flag);
    int8 byte = 0;
    EXPECT_EQ(B_OK, message.FindInt8("byte", &byte));
    EXPECT_EQ(-3, byte);
    int16 shortValue = 0;
    EXPECT_EQ(B_OK, message.FindInt16("short", &shortValue));
    EXPECT_EQ(1234, shortValue);
    int64 when = 0;
    EXPECT_EQ(B_OK, message.FindInt64("when", &when));
    EXPECT_EQ(INT64_C(-1) << 40, when);
    float floatValue = 0;
    EXPECT_EQ(B_OK, message.FindFloat("float", &floatValue));
    EXPECT_EQ(1.5f, floatValue);
    double doubleValue = 0;
    EXPECT_EQ(B_OK, message.FindDouble("double", &doubleValue));
    EXPECT_EQ(2.25, doubleValue);
    BRect frame;
    EXPECT_EQ(B_OK, message.FindRect("frame", &frame));
    EXPECT_EQ(BRect(30, 50, 340, 100), frame);
    BPoint where;
    EXPECT_EQ(B_OK, message.FindPoint("where", &where));
    EXPECT_EQ(BPoint(4, 5), where);
    void* pointer = NULL;
    EXPECT_EQ(B_OK, message.FindPointer("pointer", &pointer));
    EXPECT_EQ(&message, pointer);
}

TEST(MessageFields, FailedLookupsReportWhyAndLeaveTheOutputAlone)
{
    BMessage message;
    ASSERT_EQ(B_OK, message.AddInt32("count", 3));
    ASSERT_EQ(B_OK, message.AddString("text", "hello"));

    int32 value = 99;
    EXPECT_EQ(B_NAME_NOT_FOUND, message.FindInt32("missing", &value));
    EXPECT_EQ(B_BAD_TYPE, message.FindInt32("text", &value));
    EXPECT_EQ(B_BAD_INDEX, message.FindInt32("count", 1, &value));
    EXPECT_EQ(B_BAD_INDEX, message.FindInt32("count", -1, &value));
    EXPECT_EQ(99, value);

    const char* text = "untouched";
    EXPECT_EQ(B_BAD_TYPE, message.FindString("count", &text));
    EXPECT_STREQ("untouched", text);
    BString string("kept");
    EXPECT_EQ(B_NAME_NOT_FOUND, message.FindString("_fMes", &string));
    EXPECT_STREQ("kept", string.String());

    EXPECT_EQ(B_BAD_VALUE, message.FindInt32(NULL, &value));
    EXPECT_EQ(B_BAD_VALUE, message.FindInt32("count", (int32*)NULL));
    EXPECT_FALSE(message.HasInt32("text"));
    EXPECT_TRUE(message.HasInt32("count"));
    EXPECT_FALSE(message.HasInt32("count", 1));
    EXPECT_TRUE(message.HasData("text", B_ANY_TYPE));
}

TEST(MessageFields, AFieldKeepsOneType)
{
    BMessage message;
    ASSERT_EQ(B_OK, message.AddInt32("value", 1));
    EXPECT_EQ(B_BAD_TYPE, message.AddString("value", "two"));
    EXPECT_EQ(B_BAD_TYPE, message.AddInt64("value", 2));
    type_code type = 0;
    int32 count = 0;
    EXPECT_EQ(B_OK, message.GetInfo("value", &type, &count));
    EXPECT_EQ((type_code)B_INT32_TYPE, type);
    EXPECT_EQ(1, count);
}

TEST(MessageFields, BadArgumentsAreRefused)
{
    BMessage message;
    EXPECT_EQ(B_BAD_VALUE, message.AddInt32(NULL, 1));
    EXPECT_EQ(B_BAD_VALUE, message.AddString("text", (const char*)NULL));
    EXPECT_EQ(B_BAD_VALUE, message.AddString(std::string(256, 'n').c_str(), "long name"));
    EXPECT_EQ(B_OK, message.AddString(std::string(255, 'n').c_str(), "longest name"));
    EXPECT_EQ(B_BAD_VALUE, message.AddData("raw", B_RAW_TYPE, NULL, 4));
    EXPECT_EQ(B_BAD_VALUE, message.AddData("raw", B_RAW_TYPE, "x", -1));
    EXPECT_EQ(B_BAD_VALUE, message.AddData("any", B_ANY_TYPE, "x", 1));
    EXPECT_EQ(B_BAD_VALUE, message.AddRef("ref", NULL));
    EXPECT_EQ(B_BAD_VALUE, message.AddMessage("message", NULL));

    // Data of the typed kinds must have their shape, so that the typed finds can trust it.
    int16 small = 1;
    EXPECT_EQ(B_BAD_VALUE, message.AddData("wide", B_INT32_TYPE, &small, sizeof small));
    EXPECT_EQ(B_BAD_VALUE, message.AddData("unterminated", B_STRING_TYPE, "abc", 3, false));
    EXPECT_EQ(B_BAD_VALUE, message.AddData("garbage", B_MESSAGE_TYPE, "not a message", 14, false));
    EXPECT_EQ(1, message.CountNames(B_ANY_TYPE));
}

TEST(MessageFields, DataOfAnyTypeFixedOrVariable)
{
    BMessage message;
    const char states[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ASSERT_EQ(B_OK, message.AddData("states", B_UINT8_TYPE, states, sizeof states));
    EXPECT_EQ(B_BAD_VALUE, message.AddData("states", B_UINT8_TYPE, states, 8));
    ASSERT_EQ(B_OK, message.AddData("blob", B_RAW_TYPE, "ab", 2, false));
    ASSERT_EQ(B_OK, message.AddData("blob", B_RAW_TYPE, "cdef", 4, false));

    const void* data = NULL;
    ssize_t size = 0;
    ASSERT_EQ(B_OK, message.FindData("states", B_UINT8_TYPE, &data, &size));
    ASSERT_EQ(16, size);
    EXPECT_EQ(0, memcmp(states, data, 16));
    ASSERT_EQ(B_OK, message.FindData("blob", B_ANY_TYPE, 1, &data, &size));
    ASSERT_EQ(4, size);
    EXPECT_EQ(0, memcmp("cdef", data, 4));
    EXPECT_EQ(B_BAD_TYPE, message.FindData("blob", B_UINT8_TYPE, &data, &size));
    bool fixedSize = true;
    type_code type = 0;
    EXPECT_EQ(B_OK, message.GetInfo("blob", &type, &fixedSize));
    EXPECT_FALSE(fixedSize);
    EXPECT_EQ(B_OK, message.GetInfo("states", &type, &fixedSize));
    EXPECT_TRUE(fixedSize);
}

TEST(MessageFields, MessengersKeepTheirTwentyFourBytes)
{
    BMessenger empty;
    BMessage message;
    ASSERT_EQ(B_OK, message.AddMessenger("_f2CallMe", empty));
    EXPECT_TRUE(message.HasMessenger("_f2CallMe"));
    const void* data = NULL;
    ssize_t size = 0;
    ASSERT_EQ(B_OK, message.FindData("_f2CallMe", B_MESSENGER_TYPE, &data, &size));
    EXPECT_EQ(24, size);

    // A messenger value as another program wrote it.
    char bytes[24] = {};
    int32 port = 7, token = -2, team = 4242;
    memcpy(bytes, &port, 4);
    memcpy(bytes + 4, &token, 4);
    memcpy(bytes + 8, &team, 4);
    bytes[20] = 1;
    ASSERT_EQ(B_OK, message.AddData("other", B_MESSENGER_TYPE, bytes, sizeof bytes));
    BMessenger found;
    ASSERT_EQ(B_OK, message.FindMessenger("other", &found));
    EXPECT_EQ(4242, found.Team());

    BMessage copy;
    ASSERT_EQ(B_OK, copy.AddMessenger("again", found));
    ASSERT_EQ(B_OK, copy.FindData("again", B_MESSENGER_TYPE, &data, &size));
    ASSERT_EQ(24, size);
    EXPECT_EQ(0, memcmp(bytes, data, 24));
}

TEST(MessageFields, CountNamesAndGetInfoFollowInsertionOrder)
{
    BMessage message;
    EXPECT_EQ(0, message.CountNames(B_ANY_TYPE));
    EXPECT_TRUE(message.IsEmpty());
    message.AddInt32("_time", 57);
    message.AddString("_tagstr", "A1B2");
    message.AddInt32("extra", 1);
    message.AddInt32("extra", 2);
    EXPECT_FALSE(message.IsEmpty());
    EXPECT_EQ(3, message.CountNames(B_ANY_TYPE));
    EXPECT_EQ(2, message.CountNames(B_INT32_TYPE));
    EXPECT_EQ(1, message.CountNames(B_STRING_TYPE));
    EXPECT_EQ(0, message.CountNames(B_RECT_TYPE));

    char* name = NULL;
    type_code type = 0;
    int32 count = 0;
    ASSERT_EQ(B_OK, message.GetInfo(B_ANY_TYPE, 1, &name, &type, &count));
    EXPECT_STREQ("_tagstr", name);
    EXPECT_EQ((type_code)B_STRING_TYPE, type);
    ASSERT_EQ(B_OK, message.GetInfo(B_INT32_TYPE, 1, &name, &type, &count));
    EXPECT_STREQ("extra", name);
    EXPECT_EQ(2, count);
    EXPECT_EQ(B_BAD_INDEX, message.GetInfo(B_INT32_TYPE, 2, &name, &type, &count));
    EXPECT_EQ(B_BAD_TYPE, message.GetInfo(B_RECT_TYPE, 0, &name, &type, &count));
    EXPECT_STREQ("extra", name);
    EXPECT_EQ(B_NAME_NOT_FOUND, message.GetInfo("nothing", &type, &count));
}

TEST(MessageFields, ReplaceChangesOneValueInPlace)
{
    BMessage message;
    message.AddString("text", "short");
    message.AddString("text", "second");
    message.AddInt32("number", 1);

    EXPECT_EQ(B_OK, message.ReplaceString("text", "a much longer text"));
    EXPECT_EQ(B_OK, message.ReplaceData("text", B_STRING_TYPE, 1, "2nd", 4));
    const char* text = NULL;
    message.FindString("text", 0, &text);
    EXPECT_STREQ("a much longer text", text);
    message.FindString("text", 1, &text);
    EXPECT_STREQ("2nd", text);

    EXPECT_EQ(B_OK, message.ReplaceInt32("number", 2));
    int32 number = 0;
    message.FindInt32("number", &number);
    EXPECT_EQ(2, number);
    EXPECT_EQ(B_BAD_TYPE, message.ReplaceString("number", "x"));
    EXPECT_EQ(B_NAME_NOT_FOUND, message.ReplaceInt32("missing", 1));
    EXPECT_EQ(B_BAD_INDEX, message.ReplaceData("text", B_STRING_TYPE, 2, "x", 2));
}

TEST(MessageFields, RemovingValuesAndNames)
{
    BMessage message;
    message.AddString("text", "one");
    message.AddString("text", "two");
    message.AddString("text", "three");
    message.AddInt32("a", 1);
    message.AddInt32("b", 2);

    EXPECT_EQ(B_OK, message.RemoveData("text", 1));
    const char* text = NULL;
    message.FindString("text", 1, &text);
    EXPECT_STREQ("three", text);
    EXPECT_EQ(B_BAD_INDEX, message.RemoveData("text", 2));
    EXPECT_EQ(B_OK, message.RemoveData("text", 0));
    EXPECT_EQ(B_OK, message.RemoveData("text", 0));
    EXPECT_FALSE(message.HasString("text"));
    EXPECT_EQ(2, message.CountNames(B_ANY_TYPE));

    EXPECT_EQ(B_OK, message.RemoveName("a"));
    EXPECT_EQ(B_NAME_NOT_FOUND, message.RemoveName("a"));
    int32 value = 0;
    EXPECT_EQ(B_OK, message.FindInt32("b", &value));
    EXPECT_EQ(2, value);
    char* name = NULL;
    EXPECT_EQ(B_OK, message.GetInfo(B_ANY_TYPE, 0, &name, NULL));
    EXPECT_STREQ("b", name);

    message.what = 'RFID';
    EXPECT_EQ(B_OK, message.MakeEmpty());
    EXPECT_TRUE(message.IsEmpty());
    EXPECT_EQ((uint32)'RFID', message.what);
}

TEST(MessageFields, RenameKeepsTheValues)
{
    BMessage message;
    message.AddInt32("old", 5);
    message.AddInt32("taken", 6);
    EXPECT_EQ(B_NAME_IN_USE, message.Rename("old", "taken"));
    EXPECT_EQ(B_NAME_NOT_FOUND, message.Rename("missing", "new"));
    EXPECT_EQ(B_OK, message.Rename("old", "new"));
    int32 value = 0;
    EXPECT_EQ(B_OK, message.FindInt32("new", &value));
    EXPECT_EQ(5, value);
    EXPECT_FALSE(message.HasInt32("old"));
}

TEST(MessageFields, CopiesAreIndependent)
{
    BMessage original('RFID');
    original.AddString("_tagstr", "A1B2");
    BMessage copy(original);
    EXPECT_EQ((uint32)'RFID', copy.what);
    copy.ReplaceString("_tagstr", "changed");
    copy.AddInt32("_time", 1);

    const char* tag = NULL;
    original.FindString("_tagstr", &tag);
    EXPECT_STREQ("A1B2", tag);
    EXPECT_FALSE(original.HasInt32("_time"));

    BMessage assigned;
    assigned.AddBool("gone", true);
    assigned = copy;
    EXPECT_FALSE(assigned.HasBool("gone"));
    assigned.FindString("_tagstr", &tag);
    EXPECT_STREQ("changed", tag);
}

TEST(MessageFields, NestedMessagesComeBackWhole)
{
    BMessage inner('INNR');
    inner.AddString("text", "inside");
    BMessage outer;
    ASSERT_EQ(B_OK, outer.AddMessage("inner", &inner));
    inner.AddInt32("later", 1);

    BMessage found;
    found.AddInt32("stale", 1);
    ASSERT_EQ(B_OK, outer.FindMessage("inner", &found));
    EXPECT_EQ((uint32)'INNR', found.what);
    EXPECT_FALSE(found.HasInt32("stale"));
    EXPECT_FALSE(found.HasInt32("later"));
    const char* text = NULL;
    EXPECT_EQ(B_OK, found.FindString("text", &text));
    EXPECT_STREQ("inside", text);
}

TEST(MessageFields, IsSystemForPlatformCodes)
{
    EXPECT_TRUE(BMessage(B_QUIT_REQUESTED).IsSystem());
    EXPECT_TRUE(BMessage(B_KEY_DOWN).IsSystem());
    EXPECT_FALSE(BMessage('RFID').IsSystem());
    EXPECT_FALSE(BMessage('_abc').IsSystem());
}
