#include "support/RawAttributes.h"
#include "support/ScratchDir.h"

#include <Directory.h>
#include <Entry.h>
#include <File.h>
#include <Node.h>
#include <TypeConstants.h>

#include <gtest/gtest.h>

#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

namespace
{

std::set<std::string> attribute_names(BNode& node)
{
    std::set<std::string> names;
    char name[B_ATTR_NAME_LENGTH + 1];
    node.RewindAttrs();
    while (node.GetNextAttrName(name) == B_OK)
        names.insert(name);
    return names;
}

} // namespace

TEST(Node, SetToReportsBadPaths)
{
    BNode node;
    EXPECT_EQ(B_NO_INIT, node.InitCheck());
    EXPECT_EQ(B_BAD_VALUE, node.SetTo((const char*)NULL));
    EXPECT_EQ(B_ENTRY_NOT_FOUND, node.SetTo(""));
    EXPECT_EQ(B_ENTRY_NOT_FOUND, node.SetTo("/no/such/node"));
    EXPECT_NE(B_OK, node.InitCheck());
}

TEST(Node, AttributesUseTheXattrEncoding)
{
    ScratchDir scratch;
    scratch.WriteFile("f", "content");
    std::string path = scratch / "f";
    BNode node(path.c_str());
    ASSERT_EQ(B_OK, node.InitCheck());

    float rect[4] = {1, 2, 3, 4};
    EXPECT_EQ(16, node.WriteAttr("prefs_window_rect", B_RECT_TYPE, 0, rect, 16));
    EXPECT_EQ(RawAttributes::Encode(B_RECT_TYPE, std::string((const char*)rect, 16)),
              RawAttributes::Read(path, "prefs_window_rect"));

    // '%' and '/' are escaped in the xattr name, and come back unescaped.
    EXPECT_EQ(1, node.WriteAttr("a/b%c", B_BOOL_TYPE, 0, "\1", 1));
    EXPECT_EQ(RawAttributes::Encode(B_BOOL_TYPE, "\1"), RawAttributes::Read(path, "a%\\b%%c"));
    ASSERT_EQ(0, setxattr(path.c_str(), "user.other", "x", 1, 0));
    EXPECT_EQ((std::set<std::string>{"prefs_window_rect", "a/b%c"}), attribute_names(node));

    attr_info info;
    ASSERT_EQ(B_OK, node.GetAttrInfo("a/b%c", &info));
    EXPECT_EQ((uint32)B_BOOL_TYPE, info.type);
    EXPECT_EQ(1, info.size);

    // Writing at offset 0 replaces both the value and its type.
    EXPECT_EQ(3, node.WriteAttr("prefs_window_rect", B_STRING_TYPE, 0, "abc", 3));
    EXPECT_EQ(RawAttributes::Encode(B_STRING_TYPE, "abc"),
              RawAttributes::Read(path, "prefs_window_rect"));
    // Beyond offset 0 the earlier data stays, and a gap reads as zeros.
    EXPECT_EQ(2, node.WriteAttr("prefs_window_rect", B_RAW_TYPE, 5, "yz", 2));
    EXPECT_EQ(RawAttributes::Encode(B_RAW_TYPE, std::string("abc\0\0yz", 7)),
              RawAttributes::Read(path, "prefs_window_rect"));

    EXPECT_EQ(B_OK, node.RemoveAttr("a/b%c"));
    EXPECT_EQ(B_ENTRY_NOT_FOUND, node.RemoveAttr("a/b%c"));
    EXPECT_EQ("<missing>", RawAttributes::Read(path, "a%\\b%%c"));
    EXPECT_EQ("content", scratch.ReadFile("f"));
}

TEST(Node, ReadsGiveWhatIsThereAndNoMore)
{
    ScratchDir scratch;
    scratch.WriteFile("f", "");
    std::string path = scratch / "f";
    BNode node(path.c_str());

    char buffer[64];
    EXPECT_EQ(B_ENTRY_NOT_FOUND, node.ReadAttr("missing", B_RECT_TYPE, 0, buffer, 16));
    attr_info info;
    EXPECT_EQ(B_ENTRY_NOT_FOUND, node.GetAttrInfo("missing", &info));

    ASSERT_EQ(10, node.WriteAttr("text", B_STRING_TYPE, 0, "0123456789", 10));
    // A longer attribute is cut without error; the type asked for does not matter.
    memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(4, node.ReadAttr("text", B_RECT_TYPE, 0, buffer, 4));
    EXPECT_EQ("0123####", std::string(buffer, 8));
    // A shorter one gives its size; an offset reads from there.
    EXPECT_EQ(10, node.ReadAttr("text", B_STRING_TYPE, 0, buffer, sizeof(buffer)));
    EXPECT_EQ(3, node.ReadAttr("text", B_STRING_TYPE, 7, buffer, sizeof(buffer)));
    EXPECT_EQ("789", std::string(buffer, 3));
    EXPECT_EQ(0, node.ReadAttr("text", B_STRING_TYPE, 10, buffer, sizeof(buffer)));
    EXPECT_EQ(0, node.ReadAttr("text", B_STRING_TYPE, 1000, buffer, sizeof(buffer)));

    // Empty data is a value of size 0.
    ASSERT_EQ(0, node.WriteAttr("empty", B_STRING_TYPE, 0, "", 0));
    EXPECT_EQ(0, node.ReadAttr("empty", B_STRING_TYPE, 0, buffer, sizeof(buffer)));

    // An xattr too short to hold a type code is broken data.
    ASSERT_EQ(0, RawAttributes::Plant(path, "short", "ab"));
    EXPECT_EQ(B_ERROR, node.ReadAttr("short", B_RECT_TYPE, 0, buffer, 16));
    EXPECT_EQ(B_ERROR, node.GetAttrInfo("short", &info));
}

TEST(Node, RefusesBadArgumentsAndUninitialisedUse)
{
    ScratchDir scratch;
    scratch.WriteFile("f", "");
    BNode node((scratch / "f").c_str());
    char buffer[8];

    EXPECT_EQ(B_BAD_VALUE, node.ReadAttr(NULL, 0, 0, buffer, 8));
    EXPECT_EQ(B_BAD_VALUE, node.ReadAttr("a", 0, 0, NULL, 8));
    EXPECT_EQ(B_BAD_VALUE, node.ReadAttr("a", 0, -1, buffer, 8));
    EXPECT_EQ(B_BAD_VALUE, node.WriteAttr(NULL, 0, 0, buffer, 8));
    EXPECT_EQ(B_BAD_VALUE, node.WriteAttr("a", 0, 0, NULL, 8));
    EXPECT_EQ(B_BAD_VALUE, node.GetAttrInfo("a", NULL));
    EXPECT_EQ(B_BAD_VALUE, node.GetNextAttrName(NULL));
    std::string longName(B_ATTR_NAME_LENGTH + 1, 'n');
    EXPECT_EQ(B_NAME_TOO_LONG, node.WriteAttr(longName.c_str(), 0, 0, buffer, 1));

    // The data cap holds at any offset, and nothing is written past it.
    std::vector<char> big(40961, 'b');
    EXPECT_EQ(B_BAD_VALUE, node.WriteAttr("big", B_RAW_TYPE, 0, big.data(), big.size()));
    EXPECT_EQ(B_BAD_VALUE, node.WriteAttr("big", B_RAW_TYPE, 40960, big.data(), 1));
    EXPECT_EQ(B_ENTRY_NOT_FOUND, node.ReadAttr("big", 0, 0, buffer, 8));

    BNode unset;
    EXPECT_EQ(B_FILE_ERROR, unset.ReadAttr("a", 0, 0, buffer, 8));
    EXPECT_EQ(B_FILE_ERROR, unset.WriteAttr("a", 0, 0, buffer, 8));
    EXPECT_EQ(B_FILE_ERROR, unset.RemoveAttr("a"));
    EXPECT_EQ(B_FILE_ERROR, unset.GetNextAttrName(buffer));
    node.Unset();
    EXPECT_EQ(B_FILE_ERROR, node.ReadAttr("a", 0, 0, buffer, 8));
}

TEST(Node, FoldersAndLinksAreNodesThemselves)
{
    ScratchDir scratch;
    scratch.WriteFile("target", "");
    ASSERT_EQ(0, symlink((scratch / "target").c_str(), (scratch / "link").c_str()));

    BNode link((scratch / "link").c_str());
    ASSERT_EQ(B_OK, link.InitCheck());
    EXPECT_TRUE(link.IsSymLink());
    // Linux keeps user xattrs off links: a clean refusal, and the target is untouched.
    EXPECT_LT(link.WriteAttr("a", B_RAW_TYPE, 0, "x", 1), 0);
    EXPECT_EQ("<missing>", RawAttributes::Read(scratch / "target", "a"));

    BNode folder(scratch.Path().c_str());
    ASSERT_EQ(B_OK, folder.InitCheck());
    EXPECT_TRUE(folder.IsDirectory());
    EXPECT_EQ(1, folder.WriteAttr("flag", B_BOOL_TYPE, 0, "\1", 1));
    EXPECT_EQ(RawAttributes::Encode(B_BOOL_TYPE, "\1"),
              RawAttributes::Read(scratch.Path(), "flag"));
}

TEST(Node, FileSystemWithoutXattrsGivesNotSupported)
{
    ScratchDir scratch;
    std::string mountPoint = scratch / "ramfs";
    ASSERT_EQ(0, mkdir(mountPoint.c_str(), 0755));
    // ramfs keeps no extended attributes at all.
    if (mount("none", mountPoint.c_str(), "ramfs", 0, NULL) != 0)
        GTEST_SKIP() << "cannot mount ramfs here (" << strerror(errno) << ")";
    {
        BFile file((mountPoint + "/f").c_str(), B_READ_WRITE | B_CREATE_FILE);
        ASSERT_EQ(B_OK, file.InitCheck());
        char buffer[16];
        attr_info info;
        EXPECT_EQ(B_NOT_SUPPORTED, file.WriteAttr("a", B_RAW_TYPE, 0, "x", 1));
        EXPECT_EQ(B_NOT_SUPPORTED, file.ReadAttr("a", B_RAW_TYPE, 0, buffer, sizeof(buffer)));
        EXPECT_EQ(B_NOT_SUPPORTED, file.GetAttrInfo("a", &info));
        EXPECT_EQ(B_NOT_SUPPORTED, file.RemoveAttr("a"));
        status_t next = file.GetNextAttrName(buffer);
        EXPECT_TRUE(next == B_NOT_SUPPORTED || next == B_ENTRY_NOT_FOUND) << next;
        // The data itself still works.
        EXPECT_EQ(4, file.Write("data", 4));
    }
    EXPECT_EQ(0, umount(mountPoint.c_str()));
}
