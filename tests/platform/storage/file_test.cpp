#include "support/ScratchDir.h"

#include <Directory.h>
#include <Entry.h>
#include <File.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/stat.h>

#include <string>

TEST(File, OpenModesAreTheHostFlags)
{
    ScratchDir scratch;
    std::string path = scratch / "new";
    mode_t savedMask = umask(027);

    BFile missing(path.c_str(), B_READ_WRITE);
    EXPECT_EQ(B_ENTRY_NOT_FOUND, missing.InitCheck());
    EXPECT_FALSE(missing.IsReadable());

    BFile created(path.c_str(), B_READ_WRITE | B_CREATE_FILE);
    ASSERT_EQ(B_OK, created.InitCheck());
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 0777);
    umask(savedMask);

    EXPECT_EQ(B_FILE_EXISTS,
              BFile(path.c_str(), B_READ_WRITE | B_CREATE_FILE | B_FAIL_IF_EXISTS).InitCheck());

    scratch.WriteFile("full", "0123456789");
    BFile erased((scratch / "full").c_str(), B_WRITE_ONLY | B_ERASE_FILE);
    ASSERT_EQ(B_OK, erased.InitCheck());
    EXPECT_EQ("", scratch.ReadFile("full"));

    scratch.WriteFile("log", "abc");
    BFile appending((scratch / "log").c_str(), B_WRITE_ONLY | B_OPEN_AT_END);
    EXPECT_EQ(3, appending.Write("def", 3));
    EXPECT_EQ("abcdef", scratch.ReadFile("log"));

    EXPECT_EQ(B_IS_A_DIRECTORY, BFile(scratch.Path().c_str(), B_READ_ONLY).InitCheck());
    EXPECT_EQ(B_BAD_VALUE, BFile((const char*)NULL, B_READ_ONLY).InitCheck());
}

TEST(File, ReadableAndWritableFollowTheModeAskedFor)
{
    ScratchDir scratch;
    scratch.WriteFile("f", "x");
    // Root may open anything; the answers must still be the mode's.
    ASSERT_EQ(0, chmod((scratch / "f").c_str(), 0600));
    std::string path = scratch / "f";
    BFile readOnly(path.c_str(), B_READ_ONLY);
    EXPECT_TRUE(readOnly.IsReadable());
    EXPECT_FALSE(readOnly.IsWritable());
    EXPECT_LT(readOnly.Write("y", 1), 0);
    BFile writeOnly(path.c_str(), B_WRITE_ONLY);
    EXPECT_FALSE(writeOnly.IsReadable());
    EXPECT_TRUE(writeOnly.IsWritable());
    char c;
    EXPECT_LT(writeOnly.Read(&c, 1), 0);
    BFile both(path.c_str(), B_READ_WRITE);
    EXPECT_TRUE(both.IsReadable());
    EXPECT_TRUE(both.IsWritable());
    both.Unset();
    EXPECT_FALSE(both.IsReadable());
    EXPECT_EQ(B_NO_INIT, both.Read(&c, 1));
}

TEST(File, ReadsWritesAndSeeksTheData)
{
    ScratchDir scratch;
    BFile file((scratch / "f").c_str(), B_READ_WRITE | B_CREATE_FILE);
    ASSERT_EQ(B_OK, file.InitCheck());
    EXPECT_EQ(0, file.Position());
    EXPECT_EQ(11, file.Write("Hello world", 11));
    EXPECT_EQ(11, file.Position());
    EXPECT_EQ(5, file.WriteAt(6, "there", 5));
    EXPECT_EQ(11, file.Position()) << "WriteAt moves nothing";

    char buffer[32] = {};
    EXPECT_EQ(0, file.Seek(0, SEEK_SET));
    EXPECT_EQ(5, file.Read(buffer, 5));
    EXPECT_EQ("Hello", std::string(buffer, 5));
    EXPECT_EQ(8, file.Seek(3, SEEK_CUR));
    EXPECT_EQ(3, file.Read(buffer, sizeof(buffer)));
    EXPECT_EQ("ere", std::string(buffer, 3));
    EXPECT_EQ(0, file.Read(buffer, sizeof(buffer)));
    EXPECT_EQ(9, file.Seek(-2, SEEK_END));
    EXPECT_EQ(4, file.ReadAt(2, buffer, 4));
    EXPECT_EQ("llo ", std::string(buffer, 4));
    EXPECT_LT(file.Seek(-100, SEEK_SET), 0);
    EXPECT_EQ(B_BAD_VALUE, file.Seek(0, 77));

    off_t size = 0;
    EXPECT_EQ(B_OK, file.GetSize(&size));
    EXPECT_EQ(11, size);
    EXPECT_EQ(B_OK, file.SetSize(4));
    EXPECT_EQ(B_OK, file.GetSize(&size));
    EXPECT_EQ(4, size);
    EXPECT_EQ(B_BAD_VALUE, file.SetSize(-1));
    EXPECT_EQ("Hell", scratch.ReadFile("f"));

    // Through the platform's stream interface too.
    BPositionIO* stream = &file;
    EXPECT_EQ(2, stream->WriteAt(4, "o!", 2));
    EXPECT_EQ("Hello!", scratch.ReadFile("f"));
}

TEST(File, OpensThroughRefsEntriesAndFolders)
{
    ScratchDir scratch;
    scratch.WriteFile("f", "data");
    entry_ref ref;
    ASSERT_EQ(B_OK, get_ref_for_path((scratch / "f").c_str(), &ref));
    char buffer[4];
    BFile byRef(&ref, B_READ_ONLY);
    EXPECT_EQ(4, byRef.Read(buffer, 4));

    BEntry entry((scratch / "f").c_str());
    EXPECT_EQ(B_OK, BFile(&entry, B_READ_ONLY).InitCheck());
    BDirectory dir(scratch.Path().c_str());
    EXPECT_EQ(B_OK, BFile(&dir, "f", B_READ_ONLY).InitCheck());
    BDirectory unset;
    EXPECT_NE(B_OK, BFile(&unset, "f", B_READ_ONLY).InitCheck());
    EXPECT_EQ(B_OK, BFile(&unset, (scratch / "f").c_str(), B_READ_ONLY).InitCheck());
}
