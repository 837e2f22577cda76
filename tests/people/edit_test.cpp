// Changes to the avatar list: every untouched byte stays, links are followed,
// mode and owner kept, bad entries refused, two tools take turns, and a
// change that cannot be written leaves everything as it was.

#include "PeopleHarness.h"

#include "AvatarList.h"

#include <sys/mount.h>
#include <unistd.h>

#include <fstream>
#include <thread>

namespace
{

const char kOddList[] = "# our people\r\n"
                        "alice|04A1B2C3 04FF0011\r\n"
                        "bob|1234\r\n"
                        "|odd line with blanks\r\n"
                        "\r\n"
                        "dave|04D00D1E";

} // namespace

TEST_F(PeopleTest, AddAndRemoveLeaveEveryOtherByte)
{
    WriteList(kOddList);
    Picture("alice");
    Picture("dave");
    std::string out, err;
    ASSERT_EQ(0, People({"add", "carol", "--tag", "04:c0:ff:ee"}, &out, &err)) << err;
    // The last line gets its line end, in the list's own style.
    EXPECT_EQ(List(), std::string(kOddList) + "\r\ncarol|04C0FFEE\r\n");
    AvatarList list(List());
    ASSERT_NE(list.Shows("04C0FFEE"), nullptr);
    EXPECT_EQ(list.Shows("04C0FFEE")->name, "carol");
    EXPECT_TRUE(fs::is_regular_file(Avatar("carol")));

    ASSERT_EQ(0, People({"tag", "carol", "--add", "04ab12cd"}, &out, &err)) << err;
    ASSERT_EQ(0, People({"tag", "alice", "--remove", "04FF0011"}, &out, &err)) << err;
    EXPECT_EQ(List(), "# our people\r\nalice|04A1B2C3\r\nbob|1234\r\n|odd line with blanks\r\n\r\n"
                      "dave|04D00D1E\r\ncarol|04C0FFEE 04AB12CD\r\n");

    // A picture made from the name is made anew; a photo keeps its bytes.
    std::string made = fRoot.ReadFile("app/avatars/carol");
    ASSERT_EQ(0, People({"rename", "carol", "Carol Jones"}, &out, &err)) << err;
    EXPECT_FALSE(fs::exists(Avatar("carol")));
    std::string remade = fRoot.ReadFile("app/avatars/Carol Jones");
    EXPECT_FALSE(remade.empty());
    EXPECT_NE(remade, made);
    std::string dave = fRoot.ReadFile("app/avatars/dave");
    ASSERT_EQ(0, People({"rename", "dave", "David"}, &out, &err)) << err;
    EXPECT_EQ(fRoot.ReadFile("app/avatars/David"), dave);
    ASSERT_EQ(0, People({"rename", "David", "dave"}, &out, &err)) << err;
    ASSERT_EQ(0, People({"remove", "Carol Jones"}, &out, &err)) << err;
    EXPECT_FALSE(fs::exists(Avatar("Carol Jones")));
    ASSERT_EQ(0, People({"remove", "dave", "--keep-picture"}, &out, &err)) << err;
    EXPECT_TRUE(fs::exists(Avatar("dave")));
    EXPECT_EQ(List(),
              "# our people\r\nalice|04A1B2C3\r\nbob|1234\r\n|odd line with blanks\r\n\r\n");
}

TEST_F(PeopleTest, RefusesWhatTheClientWouldReadOtherwise)
{
    WriteList("alice|04A1B2C3 04FF0011\n");
    Picture("alice");
    std::string before = Snapshot(fApp);
    struct Case {
        std::vector<std::string> arguments;
        std::string said;
    } const cases[] = {
        {{"add", "alice", "--tag", "0400BEEF"}, "in the list already"},
        {{"add", "a|b", "--tag", "0400BEEF"}, "'|'"},
        {{"add", "a/b", "--tag", "0400BEEF"}, "'/'"},
        {{"add", "#x", "--tag", "0400BEEF"}, "'#'"},
        {{"add", " x", "--tag", "0400BEEF"}, "blank"},
        {{"add", "x ", "--tag", "0400BEEF"}, "blank"},
        {{"add", "a\tb", "--tag", "0400BEEF"}, "control"},
        {{"add", std::string(201, 'n'), "--tag", "0400BEEF"}, "200 bytes"},
        {{"add", "none", "--tag", "0400BEEF"}, "client's own"},
        // Found in alice's field without its first character: it would show alice.
        {{"add", "carol", "--tag", "14A1B2C3"}, "shows alice (line 1)"},
        {{"add", "carol", "--tag", "A1B2"}, "shows alice (line 1)"},
        {{"add", "carol", "--tag", "7"}, "one character"},
        {{"add", "carol", "--tag", "hello"}, "not a hex tag"},
        {{"add", "carol", "--tag", "0400BEEF", "--picture", "/nonexistent.png"}, "no picture"},
        {{"tag", "alice", "--remove", "04FFFFFF"}, "no tag"},
        {{"remove", "nobody"}, "nobody is named"},
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_EQ(1, People(c.arguments, nullptr, &err)) << c.arguments[1];
        EXPECT_NE(err.find(c.said), std::string::npos) << c.arguments[1] << ": " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    EXPECT_EQ(Snapshot(fApp), before);

    // An entry line the client would skip is padded so that it is read.
    std::string err;
    ASSERT_EQ(0, People({"add", "al", "--tag", "04AB"}, nullptr, &err)) << err;
    EXPECT_EQ(List(), "alice|04A1B2C3 04FF0011\nal|04AB \n");
    ASSERT_NE(AvatarList(List()).Shows("04AB"), nullptr);
    EXPECT_EQ(AvatarList(List()).Shows("04AB")->name, "al");
}

TEST_F(PeopleTest, ATagAddedMustNotTakeOverAnotherEntrysTag)
{
    WriteList("alice|04A1B2C3\nbob|0455AA12\n");
    std::string err;
    // Not found in bob's field itself, but it holds bob's search text.
    EXPECT_EQ(1, People({"tag", "alice", "--add", "F455AA12F"}, nullptr, &err));
    EXPECT_NE(err.find("0455AA12 shows alice (line 1), not bob (line 2)"), std::string::npos)
        << err;
    EXPECT_EQ(List(), "alice|04A1B2C3\nbob|0455AA12\n");

    // Taking an entry away never makes the list worse than it was, even when
    // a tag that showed it now shows the next in line.
    WriteList("m|04AB0011\nn|1104AB0011\nk|04AB0011\n");
    ASSERT_EQ(0, People({"remove", "m", "--keep-picture"}, nullptr, &err)) << err;
    EXPECT_EQ(List(), "n|1104AB0011\nk|04AB0011\n");
}

TEST_F(PeopleTest, WritesWhereLinksLeadAndKeepsModeAndOwner)
{
    std::string data = fRoot / "var";
    fs::create_directories(data + "/avatars");
    fRoot.WriteFile("var/rfid_avatar_list", "alice|04A1B2C3\n");
    ASSERT_TRUE(TestPictures::WritePng(data + "/avatars/alice", 8, 8, {1, 2, 3, 255}));
    fs::remove(fApp + "/avatars");
    fs::create_symlink(data + "/rfid_avatar_list", ListPath());
    fs::create_symlink(data + "/avatars", fApp + "/avatars");
    ASSERT_EQ(0, chmod((data + "/rfid_avatar_list").c_str(), 0640));
    bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(0, chown((data + "/rfid_avatar_list").c_str(), 4321, 4322));
    }

    std::string err;
    ASSERT_EQ(0, People({"add", "bob", "--tag", "0455AA12"}, nullptr, &err)) << err;
    EXPECT_TRUE(fs::is_symlink(ListPath()));
    EXPECT_TRUE(fs::is_symlink(fApp + "/avatars"));
    EXPECT_EQ(fRoot.ReadFile("var/rfid_avatar_list"), "alice|04A1B2C3\nbob|0455AA12\n");
    EXPECT_TRUE(fs::is_regular_file(data + "/avatars/bob"));
    struct stat status;
    ASSERT_EQ(0, stat((data + "/rfid_avatar_list").c_str(), &status));
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(status.st_uid, 4321u);
        EXPECT_EQ(status.st_gid, 4322u);
    }
    // Nothing is left beside the list.
    EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 2);
}

TEST_F(PeopleTest, ConcurrentChangesAreNotLost)
{
    WriteList("# two tools at once\n");
    const int kEach = 12;
    auto adder = [this](char side) {
        for (int i = 0; i < kEach; i++) {
            char tag[16];
            snprintf(tag, sizeof(tag), "04%c%c%04d", side == 'a' ? 'A' : 'B', 'E', i);
            std::string err;
            EXPECT_EQ(0, People({"add", std::string(1, side) + std::to_string(i), "--tag", tag},
                                nullptr, &err))
                << err;
        }
    };
    std::thread first(adder, 'a');
    std::thread second(adder, 'b');
    first.join();
    second.join();
    AvatarList list(List());
    for (char side : {'a', 'b'}) {
        for (int i = 0; i < kEach; i++)
            EXPECT_NE(list.Find(std::string(1, side) + std::to_string(i)), nullptr) << side << i;
    }
}

// A folder of its own on a small file system, mounted when the test may.
class MountedPeopleTest : public PeopleTest
{
protected:
    void SetUp() override
    {
        PeopleTest::SetUp();
        fMount = fRoot / "mnt";
        fs::create_directories(fMount);
        if (mount("tmpfs", fMount.c_str(), "tmpfs", 0, "size=256k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here (" << strerror(errno)
                         << "): full and read-only file systems not tested";
        fMounted = true;
        fs::create_directories(fMount + "/avatars");
        std::ofstream(fMount + "/rfid_avatar_list") << "alice|04A1B2C3\n";
        ASSERT_TRUE(TestPictures::WritePng(fMount + "/avatars/alice", 8, 8, {1, 2, 3, 255}));
    }

    void TearDown() override
    {
        if (fMounted)
            umount2(fMount.c_str(), MNT_DETACH);
    }

    std::string fMount;
    bool fMounted = false;
};

TEST_F(MountedPeopleTest, FullOrReadOnlyChangesNothing)
{
    // Filled up to the last block.
    {
        std::ofstream filler(fMount + "/filler", std::ios::binary);
        std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()))
            ;
    }
    std::string before = Snapshot(fMount);
    std::string err;
    EXPECT_EQ(1, People({"add", "bob", "--tag", "0455AA12"}, nullptr, &err, fMount));
    EXPECT_NE(err.find("No space left"), std::string::npos) << err;
    EXPECT_EQ(Snapshot(fMount), before);

    fs::remove(fMount + "/filler");
    ASSERT_EQ(0, mount(nullptr, fMount.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr));
    before = Snapshot(fMount);
    EXPECT_EQ(1, People({"add", "bob", "--tag", "0455AA12"}, nullptr, &err, fMount));
    EXPECT_NE(err.find("Read-only"), std::string::npos) << err;
    EXPECT_EQ(1, People({"remove", "alice"}, nullptr, &err, fMount));
    EXPECT_EQ(Snapshot(fMount), before);
}
