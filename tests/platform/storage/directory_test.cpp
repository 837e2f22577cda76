#include "support/ScratchDir.h"

#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Path.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

TEST(Entry, NeedsItsFolderButNotItself)
{
    ScratchDir scratch;
    BEntry entry((scratch / "absent").c_str());
    EXPECT_EQ(B_OK, entry.InitCheck());
    EXPECT_FALSE(entry.Exists());
    BPath path;
    EXPECT_EQ(B_OK, entry.GetPath(&path));
    EXPECT_STREQ((scratch / "absent").c_str(), path.Path());
    char name[B_FILE_NAME_LENGTH];
    EXPECT_EQ(B_OK, entry.GetName(name));
    EXPECT_STREQ("absent", name);

    EXPECT_EQ(B_ENTRY_NOT_FOUND, entry.SetTo((scratch / "no/absent").c_str()));
    EXPECT_EQ(B_NO_INIT, entry.GetPath(&path));
    EXPECT_EQ(NULL, path.Path());
    EXPECT_EQ(B_BAD_VALUE, entry.SetTo((const char*)NULL));
    EXPECT_EQ(B_ENTRY_NOT_FOUND, entry.SetTo(""));

    BEntry parent;
    BEntry child((scratch / "x").c_str());
    EXPECT_EQ(B_OK, child.GetParent(&parent));
    EXPECT_EQ(BEntry(scratch.Path().c_str()), parent);
    BEntry root("/");
    EXPECT_EQ(B_ENTRY_NOT_FOUND, root.GetParent(&parent));
}

TEST(Entry, TraversesLinksOnlyWhenAsked)
{
    ScratchDir scratch;
    scratch.WriteFile("target", "t");
    ASSERT_EQ(0, symlink("target", (scratch / "relative").c_str()));
    ASSERT_EQ(0, symlink("relative", (scratch / "chain").c_str()));
    ASSERT_EQ(0, symlink("loop", (scratch / "loop").c_str()));

    BPath path;
    BEntry plain((scratch / "chain").c_str(), false);
    plain.GetPath(&path);
    EXPECT_STREQ((scratch / "chain").c_str(), path.Path());
    EXPECT_TRUE(plain.IsSymLink());

    BEntry followed((scratch / "chain").c_str(), true);
    followed.GetPath(&path);
    EXPECT_STREQ((scratch / "target").c_str(), path.Path());
    EXPECT_TRUE(followed.IsFile());

    EXPECT_EQ(B_LINK_LIMIT, BEntry((scratch / "loop").c_str(), true).InitCheck());
}

TEST(Entry, RefsRoundTrip)
{
    ScratchDir scratch;
    ASSERT_EQ(0, mkdir((scratch / "d").c_str(), 0755));
    BEntry entry((scratch / "d/file").c_str());
    entry_ref ref;
    ASSERT_EQ(B_OK, entry.GetRef(&ref));
    struct stat folder;
    ASSERT_EQ(0, stat((scratch / "d").c_str(), &folder));
    EXPECT_EQ(folder.st_ino, ref.directory);
    EXPECT_LE(ref.device, (dev_t)INT32_MAX) << "flattened refs carry the device as int32";

    BEntry again(&ref);
    EXPECT_EQ(entry, again);
    entry_ref copy = ref;
    EXPECT_EQ(ref, copy);
    copy.set_name("other");
    EXPECT_NE(ref, copy);

    BEntry root("/");
    ASSERT_EQ(B_OK, root.GetRef(&ref));
    BPath rootPath(&ref);
    EXPECT_STREQ("/", rootPath.Path());

    entry_ref bad(ref.device, ref.directory, "a/b");
    EXPECT_EQ(B_BAD_VALUE, BEntry(&bad).InitCheck());
    EXPECT_EQ(B_BAD_VALUE, BEntry((const entry_ref*)NULL).InitCheck());
}

TEST(Directory, FindsAndCreatesEntries)
{
    ScratchDir scratch;
    BDirectory dir(scratch.Path().c_str());
    ASSERT_EQ(B_OK, dir.InitCheck());

    BEntry entry(scratch.Path().c_str());
    EXPECT_EQ(B_ENTRY_NOT_FOUND, dir.FindEntry("settings", &entry));
    EXPECT_EQ(B_NO_INIT, entry.InitCheck()) << "a failed look-up unsets the entry";

    BFile file;
    ASSERT_EQ(B_OK, dir.CreateFile("settings", &file));
    EXPECT_TRUE(file.IsWritable());
    EXPECT_EQ(4, file.Write("data", 4));
    EXPECT_EQ(B_OK, dir.FindEntry("settings", &entry));
    EXPECT_TRUE(entry.IsFile());
    EXPECT_TRUE(dir.Contains("settings"));
    EXPECT_TRUE(dir.Contains("settings", B_FILE_NODE));
    EXPECT_FALSE(dir.Contains("settings", B_DIRECTORY_NODE));
    EXPECT_FALSE(dir.Contains("nothing"));

    // An existing file is truncated, unless that must fail.
    BFile again;
    EXPECT_EQ(B_FILE_EXISTS, dir.CreateFile("settings", &again, true));
    EXPECT_EQ("data", scratch.ReadFile("settings"));
    EXPECT_EQ(B_OK, dir.CreateFile("settings", &again, false));
    EXPECT_EQ("", scratch.ReadFile("settings"));

    BDirectory sub;
    EXPECT_EQ(B_OK, dir.CreateDirectory("sub", &sub));
    EXPECT_EQ(B_OK, sub.InitCheck());
    EXPECT_EQ(B_FILE_EXISTS, dir.CreateDirectory("sub", NULL));
    EXPECT_TRUE(dir.Contains("sub", B_DIRECTORY_NODE));
    EXPECT_TRUE(dir.Contains((scratch / "sub").c_str()));
    EXPECT_FALSE(dir.Contains("/etc"));
    EXPECT_FALSE(sub.Contains(scratch.Path().c_str()));

    std::set<std::string> names;
    while (dir.GetNextEntry(&entry) == B_OK) {
        char name[B_FILE_NAME_LENGTH];
        entry.GetName(name);
        names.insert(name);
    }
    EXPECT_EQ((std::set<std::string>{"settings", "sub"}), names);
    EXPECT_EQ(2, dir.CountEntries());
    EXPECT_EQ(B_OK, dir.Rewind());
    entry_ref ref;
    EXPECT_EQ(B_OK, dir.GetNextRef(&ref));
}

TEST(Directory, UninitialisedFolderNeverFallsBackToTheWorkingFolder)
{
    ScratchDir scratch;
    char* saved = getcwd(NULL, 0);
    ASSERT_EQ(0, chdir(scratch.Path().c_str()));
    scratch.WriteFile("here", "");

    BDirectory unset;
    BEntry entry;
    BFile file;
    EXPECT_EQ(B_NO_INIT, unset.FindEntry("here", &entry));
    EXPECT_EQ(B_NO_INIT, unset.CreateFile("made", &file));
    EXPECT_EQ(B_NO_INIT, unset.CreateDirectory("madedir", NULL));
    EXPECT_FALSE(unset.Contains("here"));
    EXPECT_EQ(B_NO_INIT, file.InitCheck());
    struct stat st;
    EXPECT_NE(0, stat("made", &st));
    EXPECT_NE(0, stat("madedir", &st));

    // An absolute path needs no folder.
    EXPECT_EQ(B_OK, unset.FindEntry((scratch / "here").c_str(), &entry));

    BDirectory failed((scratch / "missing").c_str());
    EXPECT_EQ(B_ENTRY_NOT_FOUND, failed.InitCheck());
    EXPECT_EQ(B_NO_INIT, failed.CreateFile("made", &file));
    BDirectory notFolder((scratch / "here").c_str());
    EXPECT_EQ(B_NOT_A_DIRECTORY, notFolder.InitCheck());

    ASSERT_EQ(0, chdir(saved));
    free(saved);
}
