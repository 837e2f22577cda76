#include "support/ScratchDir.h"

#include <Directory.h>
#include <Entry.h>
#include <FindDirectory.h>
#include <Path.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace
{

// Runs a test body from another working folder and comes back.
class WorkingFolder
{
public:
    explicit WorkingFolder(const std::string& path)
    {
        fSaved = getcwd(NULL, 0);
        EXPECT_EQ(0, chdir(path.c_str()));
    }
    ~WorkingFolder()
    {
        EXPECT_EQ(0, chdir(fSaved));
        free(fSaved);
    }

private:
    char* fSaved;
};

} // namespace

TEST(Path, BadArgumentsLeaveThePathUninitialised)
{
    BPath path("/tmp");
    ASSERT_EQ(B_OK, path.InitCheck());

    EXPECT_EQ(B_BAD_VALUE, path.SetTo((const char*)NULL));
    EXPECT_EQ(NULL, path.Path());
    EXPECT_EQ(NULL, path.Leaf());
    EXPECT_NE(B_OK, path.InitCheck());

    path.SetTo("/tmp");
    EXPECT_EQ(B_BAD_VALUE, path.SetTo("/tmp", "/etc"));
    EXPECT_EQ(NULL, path.Path());

    // An absolute leaf in Append also unsets, and an unset path refuses further appends.
    path.SetTo("/tmp");
    EXPECT_EQ(B_BAD_VALUE, path.Append("/abs"));
    EXPECT_EQ(NULL, path.Path());
    EXPECT_EQ(B_BAD_VALUE, path.Append("x"));
    EXPECT_EQ(NULL, path.Path());

    BPath empty;
    EXPECT_EQ(B_NO_INIT, empty.InitCheck());
    EXPECT_EQ(B_BAD_VALUE, empty.Append("x"));
}

TEST(Path, TextIsKeptWhenNoNormalisationIsNeeded)
{
    // Not touching the disk: the folders need not exist.
    BPath path("/no/such/folder", "leaf");
    ASSERT_EQ(B_OK, path.InitCheck());
    EXPECT_STREQ("/no/such/folder/leaf", path.Path());
    EXPECT_STREQ("leaf", path.Leaf());

    EXPECT_EQ(B_OK, path.Append("more"));
    EXPECT_STREQ("/no/such/folder/leaf/more", path.Path());
    EXPECT_EQ(B_OK, path.Append(""));
    EXPECT_STREQ("/no/such/folder/leaf/more", path.Path());

    BPath root("/");
    EXPECT_STREQ("/", root.Path());
    EXPECT_STREQ("", root.Leaf());
    EXPECT_EQ(B_OK, root.Append("etc"));
    EXPECT_STREQ("/etc", root.Path());
}

TEST(Path, NormalisationResolvesThroughTheFileSystem)
{
    ScratchDir scratch;
    ASSERT_EQ(0, mkdir((scratch / "a").c_str(), 0755));
    ASSERT_EQ(0, mkdir((scratch / "a/b").c_str(), 0755));
    ASSERT_EQ(0, symlink((scratch / "a").c_str(), (scratch / "link").c_str()));
    std::string a = scratch / "a";

    struct Case {
        std::string input;
        std::string expected;
    } cases[] = {
        {scratch.Path() + "//a", a},
        {scratch.Path() + "/./a/b", a + "/b"},
        {scratch.Path() + "/a/b/../b", a + "/b"},
        {scratch.Path() + "/a/b/..", a},
        {scratch.Path() + "/a/b/.", a + "/b"},
        {scratch.Path() + "/a/", a},
        {scratch.Path() + "/link/b/", a + "/b"},
    };
    for (const Case& item : cases) {
        BPath path(item.input.c_str());
        EXPECT_EQ(B_OK, path.InitCheck()) << item.input;
        EXPECT_STREQ(item.expected.c_str(), path.Path()) << item.input;
    }

    // Forced normalisation resolves links in the folders, never the leaf itself.
    BPath forced((scratch / "link/b").c_str(), NULL, true);
    EXPECT_STREQ((a + "/b").c_str(), forced.Path());
    BPath leafLink(scratch.Path().c_str(), "link", true);
    EXPECT_STREQ((scratch / "link").c_str(), leafLink.Path());

    // The leaf need not exist, the folders above it must.
    BPath missingLeaf((scratch / "a//nothing").c_str());
    EXPECT_STREQ((a + "/nothing").c_str(), missingLeaf.Path());
    BPath missingFolder((scratch / "none/./x").c_str());
    EXPECT_EQ(B_ENTRY_NOT_FOUND, missingFolder.InitCheck());
    EXPECT_EQ(NULL, missingFolder.Path());
    BPath fileAsFolder;
    scratch.WriteFile("file", "x");
    EXPECT_EQ(B_ENTRY_NOT_FOUND, fileAsFolder.SetTo((scratch / "file/x/").c_str()));

    WorkingFolder here(a);
    BPath relative("b/../b");
    EXPECT_STREQ((a + "/b").c_str(), relative.Path());
    BPath dot(".");
    EXPECT_STREQ(a.c_str(), dot.Path());
}

TEST(Path, OverlongPathsAreRefused)
{
    std::string name(300, 'n');
    BPath path("/tmp");
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(B_OK, path.Append(name.c_str()));
    EXPECT_EQ(B_NAME_TOO_LONG, path.Append(name.c_str()));
    EXPECT_EQ(NULL, path.Path());

    std::string exact = "/" + std::string(B_PATH_NAME_LENGTH - 2, 'x');
    EXPECT_EQ(B_OK, path.SetTo(exact.c_str()));
    EXPECT_EQ(B_NAME_TOO_LONG, path.SetTo((exact + "y").c_str()));
}

TEST(Path, ParentCutsTheText)
{
    BPath path("/no/such/leaf");
    BPath parent;
    EXPECT_EQ(B_OK, path.GetParent(&parent));
    EXPECT_STREQ("/no/such", parent.Path());
    EXPECT_STREQ("/no/such/leaf", path.Path());

    BPath top("/top");
    EXPECT_EQ(B_OK, top.GetParent(&parent));
    EXPECT_STREQ("/", parent.Path());

    BPath root("/");
    EXPECT_EQ(B_ENTRY_NOT_FOUND, root.GetParent(&parent));
    EXPECT_EQ(NULL, parent.Path());
    EXPECT_EQ(B_BAD_VALUE, root.GetParent(NULL));

    BPath unset;
    EXPECT_NE(B_OK, unset.GetParent(&parent));
    EXPECT_EQ(NULL, parent.Path());
}

TEST(Path, RefsComeBackAsPaths)
{
    ScratchDir scratch;
    scratch.WriteFile("file", "data");
    entry_ref ref;
    ASSERT_EQ(B_OK, get_ref_for_path((scratch / "file").c_str(), &ref));
    EXPECT_STREQ("file", ref.name);
    struct stat folder;
    ASSERT_EQ(0, stat(scratch.Path().c_str(), &folder));
    EXPECT_EQ(folder.st_ino, ref.directory);

    BPath path(&ref);
    EXPECT_STREQ((scratch / "file").c_str(), path.Path());

    // A ref that this process never made cannot be resolved.
    entry_ref unknown(ref.device, ref.directory + 1000003, "file");
    BPath lost(&unknown);
    EXPECT_EQ(B_ENTRY_NOT_FOUND, lost.InitCheck());

    // A folder replaced by another one at the same path is not the ref's folder any more.
    ScratchDir other;
    ASSERT_EQ(0, mkdir((other / "d").c_str(), 0755));
    entry_ref inner;
    ASSERT_EQ(B_OK, get_ref_for_path((other / "d/x").c_str(), &inner));
    ASSERT_EQ(0, rmdir((other / "d").c_str()));
    ASSERT_EQ(0, mkdir((other / "e").c_str(), 0755));
    ASSERT_EQ(0, mkdir((other / "d").c_str(), 0755));
    // The file system may give the new folder the old one's inode; then it is
    // the same folder to a ref.
    struct stat now;
    ASSERT_EQ(0, stat((other / "d").c_str(), &now));
    BPath replaced(&inner);
    if ((ino_t)inner.directory != now.st_ino)
        EXPECT_EQ(B_ENTRY_NOT_FOUND, replaced.InitCheck());

    EXPECT_EQ(B_BAD_VALUE, get_ref_for_path(NULL, &ref));
    EXPECT_EQ(B_ENTRY_NOT_FOUND, get_ref_for_path((scratch / "no/x").c_str(), &ref));
}

TEST(FindDirectory, SettingsFolderFollowsXdgAndCreatesLevels)
{
    ScratchDir scratch;
    std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    const char* savedConfig = getenv("XDG_CONFIG_HOME");
    std::string savedConfigText = savedConfig ? savedConfig : "";
    mode_t savedMask = umask(022);

    std::string config = scratch / "deep/er/config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    BPath path;
    EXPECT_EQ(B_OK, find_directory(B_USER_SETTINGS_DIRECTORY, &path));
    EXPECT_STREQ(config.c_str(), path.Path());
    struct stat st;
    EXPECT_NE(0, stat(config.c_str(), &st)) << "made without create";

    EXPECT_EQ(B_OK, find_directory_r(B_USER_SETTINGS_DIRECTORY, &path, true));
    ASSERT_EQ(0, stat(config.c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(0755u, st.st_mode & 0777);
    ASSERT_EQ(0, stat((scratch / "deep").c_str(), &st));
    EXPECT_EQ(0755u, st.st_mode & 0777);

    // A relative XDG_CONFIG_HOME is ignored in favour of ~/.config.
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    setenv("HOME", (scratch.Path() + "/home/").c_str(), 1);
    EXPECT_EQ(B_OK, find_directory(B_USER_SETTINGS_DIRECTORY, &path, true));
    EXPECT_STREQ((scratch / "home/.config").c_str(), path.Path());
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(B_OK, find_directory(B_USER_SETTINGS_DIRECTORY, &path));
    EXPECT_STREQ((scratch / "home/.config").c_str(), path.Path());

    // A file where a folder should be is reported, not papered over.
    scratch.WriteFile("blocker", "");
    setenv("XDG_CONFIG_HOME", (scratch / "blocker/config").c_str(), 1);
    EXPECT_NE(B_OK, find_directory(B_USER_SETTINGS_DIRECTORY, &path, true));
    EXPECT_EQ(NULL, path.Path());
    EXPECT_EQ(B_BAD_VALUE, find_directory(B_USER_SETTINGS_DIRECTORY, NULL));

    umask(savedMask);
    setenv("HOME", savedHome.c_str(), 1);
    if (savedConfig)
        setenv("XDG_CONFIG_HOME", savedConfigText.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
