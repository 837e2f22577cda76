#include <Errors.h>
#include <Locker.h>
#include <String.h>

#include <gtest/gtest.h>

#include <errno.h>
#include <string.h>

#include <atomic>
#include <thread>

TEST(Errors, PlatformCodesHaveThePlatformTexts)
{
    EXPECT_STREQ("No such file or directory", strerror(B_ENTRY_NOT_FOUND));
    EXPECT_STREQ("Invalid Argument", strerror(B_BAD_VALUE));
    EXPECT_STREQ("Initialization failed", strerror(B_NO_INIT));
    EXPECT_STREQ("Operation not allowed", strerror(B_NOT_ALLOWED));
    EXPECT_STREQ("File or Directory already exists", strerror(B_FILE_EXISTS));
    EXPECT_STREQ("General system error", strerror(B_ERROR));
    EXPECT_STREQ("Out of memory", strerror(B_NO_MEMORY));
    EXPECT_STREQ("Operation not supported", strerror(B_NOT_SUPPORTED));
}

TEST(Errors, OtherValuesKeepTheCLibraryTexts)
{
    EXPECT_STREQ("No such file or directory", strerror(ENOENT));
    EXPECT_STREQ("Permission denied", strerror(EACCES));
    EXPECT_NE(nullptr, strstr(strerror(123456), "123456"));
}

TEST(Errors, CodesHaveThePlatformValues)
{
    EXPECT_EQ(INT32_MIN, B_NO_MEMORY);
    EXPECT_EQ(INT32_MIN + 5, B_BAD_VALUE);
    EXPECT_EQ(INT32_MIN + 0x6003, B_ENTRY_NOT_FOUND);
    EXPECT_EQ(INT32_MIN + 0x4800, B_NO_TRANSLATOR);
    EXPECT_EQ(B_NO_TRANSLATOR + 1, B_ILLEGAL_DATA);
}

TEST(String, BuildsTextsAsTheTagLogDoes)
{
    BString line(" [");
    line << (int32)-5;
    line += "] <";
    line += (const char*)NULL;
    line += ">\n";
    EXPECT_STREQ(" [-5] <>\n", line.String());
    EXPECT_EQ(9, line.Length());

    BString key("A1B2");
    key.Remove(0, 1);
    EXPECT_STREQ("1B2", key.String());
    BString empty;
    empty.Remove(0, 1);
    EXPECT_EQ(0, empty.Length());

    BString message("hi");
    message.Prepend(" ..");
    message += "\n";
    EXPECT_STREQ(" ..hi\n", message.String());

    BString log("0123456789");
    log.Remove(log.Length() - 4, 4);
    EXPECT_STREQ("012345", log.String());
    log.Remove(3, 100);
    EXPECT_STREQ("012", log.String());
}

TEST(String, KeepsBytesAfterANulWhenGivenALength)
{
    BString text("abc", 2);
    EXPECT_STREQ("ab", text.String());
    BString copy;
    text.CopyInto(copy, 1, 10);
    EXPECT_STREQ("b", copy.String());
    EXPECT_EQ(1, BString("xyz").FindFirst("yz"));
    EXPECT_EQ(B_ERROR, BString("xyz").FindFirst("q"));
    EXPECT_EQ(0, BString("ABC").ICompare("abc"));
}

TEST(Locker, IsRecursiveForItsOwnerAndExcludesOthers)
{
    BLocker locker;
    ASSERT_TRUE(locker.Lock());
    ASSERT_TRUE(locker.Lock());
    EXPECT_TRUE(locker.IsLocked());
    EXPECT_EQ(2, locker.CountLocks());

    std::atomic<status_t> other{B_OK};
    std::thread([&] { other = locker.LockWithTimeout(20000); }).join();
    EXPECT_EQ(B_TIMED_OUT, other.load());

    locker.Unlock();
    locker.Unlock();
    EXPECT_FALSE(locker.IsLocked());
    std::thread([&] {
        other = locker.LockWithTimeout(20000);
        locker.Unlock();
    }).join();
    EXPECT_EQ(B_OK, other.load());
}
