#include "WindowHarness.h"

#include <Node.h>
#include <NodeInfo.h>

#include <stdio.h>
#include <sys/stat.h>

class AvatarListTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        for (const char* name : {"alice", "bob", "carol", "none", "|pipe", "name with blank"})
            Picture(name, 20, 20);
    }

    // The picture an A_LOOK call shows, read from its trace.
    std::string Look(const char* search, std::string* trace = nullptr)
    {
        std::string text = Trace([&] { fWindow->WorkWithAvaList(A_LOOK, (char*)search); });
        if (trace != nullptr)
            *trace = text;
        size_t start = text.rfind("ManageLogo end '");
        if (start == std::string::npos)
            return "<none shown>";
        start += strlen("ManageLogo end '");
        return text.substr(start, text.find('\'', start) - start);
    }

    // The entries A_INIT reads, one "name|tag" a line.
    std::string Entries()
    {
        std::string trace = Trace([&] { fWindow->WorkWithAvaList(A_INIT, NULL); });
        std::string entries;
        for (size_t at = trace.find("Add: '"); at != std::string::npos;
             at = trace.find("Add: '", at + 1)) {
            size_t end = trace.find("' \n", at);
            std::string entry = trace.substr(at + 6, end - at - 6);
            size_t split = entry.find("' '");
            entries += entry.substr(0, split) + "|" + entry.substr(split + 3) + "\n";
        }
        return entries;
    }
};

TEST_F(AvatarListTest, StartUpTypesTheListAndTracesEveryEntry)
{
    WriteList("alice|A1B2 CAFE\nbob|0042\n");
    std::string trace = Open();
    EXPECT_NE(std::string::npos,
              trace.find("Modus: 3 | search: '(null)'\nModus: A_CHECK\n"
                         "Modus: 0 | search: '(null)'\nModus: A_INIT\nimage: '" +
                         Avatar("givecard2") + "'\nManageLogo BAD '" + Avatar("givecard2") +
                         "'\nAdd: 'alice' 'A1B2 CAFE' \nAdd: 'bob' '0042' \n-- StartUp --\n"))
        << trace;

    BNode node(ListPath().c_str());
    BNodeInfo info(&node);
    char type[B_MIME_TYPE_LENGTH];
    ASSERT_EQ(B_OK, info.GetType(type));
    EXPECT_STREQ("text/plain", type);
}

TEST_F(AvatarListTest, MissingListIsNotCreated)
{
    std::string trace = Open();
    EXPECT_FALSE(fs::exists(ListPath()));
    EXPECT_EQ(std::string::npos, trace.find("Add: "));
    EXPECT_EQ("none", Look("1B2"));
}

TEST_F(AvatarListTest, SplitsLinesByTheirRules)
{
    WriteList("# alice|comment\n"
              "1234567\n"         // 8 bytes with its newline: skipped
              "12345678\n"        // 9 bytes: an entry without a separator
              "bob x|7777 8888\n" // the '|' wins over the earlier blank
              "|pipe 9999 tail\n" // a leading '|' is part of the name
              "|nothingelse\n"    // only a leading '|', no blank
              "  name with blank|5\n"
              "carol|CR\r\n" // the carriage return stays in the tag
              "alice|last"); // 10 bytes, no newline
    Open();
    EXPECT_EQ("|12345678\n"
              "bob x|7777 8888\n"
              "|pipe|9999 tail\n"
              "||nothingelse\n"
              "  name with blank|5\n"
              "carol|CR\r\n"
              "alice|last\n",
              Entries());
}

TEST_F(AvatarListTest, ReadsLongLinesIn255BytePieces)
{
    std::string longTag(300 - 6, 'x');
    WriteList("alice|" + longTag + "\n" + "#" + std::string(300, 'c') + " bob|tail\n");
    Open();
    std::string entries = Entries();
    // 255 bytes, then the last 45 and the newline; then the comment's second piece.
    std::string first = "alice|" + std::string(255 - 6, 'x') + "\n";
    std::string second = "|" + std::string(45, 'x') + "\n";
    EXPECT_EQ(first + second, entries.substr(0, first.size() + second.size()));
    EXPECT_NE(std::string::npos, entries.find("bob|tail")) << entries;
}

TEST_F(AvatarListTest, FindsTheFirstEntryWhoseTagsHoldTheKey)
{
    WriteList("alice|04A1B2 04FFEE\nbob|1B2\ncarol|CR\r\n");
    Open();
    EXPECT_EQ("alice", Look("4A1B"));
    EXPECT_EQ("alice", Look("FFEE")) << "a field may list several tags";
    EXPECT_EQ("alice", Look("1B2")) << "the first match wins";
    EXPECT_EQ("carol", Look("CR")) << "CR LF line ends still match";
    EXPECT_EQ("none", Look("")) << "an empty key names nobody";
    EXPECT_EQ("none", Look(" ")) << "nor does a key of blanks";
    EXPECT_EQ("none", Look("   "));
    EXPECT_EQ("alice", Look(" 04F")) << "a blank within a key is ordinary";
    EXPECT_EQ("none", Look("a1b2")) << "matching is case-sensitive";
}

TEST_F(AvatarListTest, NoMatchShowsNoneExactlyOnce)
{
    WriteList("alice|A1\nbob|B2\n");
    Open();
    std::string trace;
    EXPECT_EQ("none", Look("ZZZ", &trace));
    EXPECT_EQ(1u, CountOf(trace, "image: '"));
    EXPECT_EQ("Modus: 4 | search: 'ZZZ'\nModus: A_LOOK\nimage: '" + Avatar("none") +
                  "'\nManageLogo end 'none'\n",
              trace);

    EXPECT_EQ("none", Look(NULL, &trace)) << "a null key matches nothing";
    EXPECT_EQ(0u, trace.find("Modus: 4 | search: '(null)'\n"));
}

TEST_F(AvatarListTest, AMatchWithAnEmptyNameStillEndsTheScan)
{
    WriteList(" 12345678\nalice|12345678\n");
    Open();
    std::string trace;
    Look("1234", &trace);
    EXPECT_NE(std::string::npos, trace.find("image: '" + AvatarDir() + "'\n: not image")) << trace;
    EXPECT_EQ(1u, CountOf(trace, "image: '"));
}

TEST_F(AvatarListTest, ListChangesTakeEffectAtTheNextLookup)
{
    WriteList("alice|0001\n");
    Open();
    EXPECT_EQ("alice", Look("0001"));
    WriteList("bob|0001\n");
    EXPECT_EQ("bob", Look("0001"));
}

TEST_F(AvatarListTest, BinaryListNeverCrashes)
{
    std::string junk;
    for (int i = 0; i < 4096; i++)
        junk += (char)((i * 131 + 7) & 0xff);
    // Plus a line that does match, after the junk.
    WriteList(junk + "\nalice|0001\n");
    Picture("alice", 8, 8);
    Open();
    EXPECT_EQ("alice", Look("0001"));
    EXPECT_EQ("none", Look("no such tag"));
    EXPECT_NE(std::string::npos, Entries().find("alice"));
}

TEST_F(AvatarListTest, OtherModesOnlyTrace)
{
    Open();
    EXPECT_EQ("Modus: 1 | search: 'x'\nModus: A_READ\n",
              Trace([&] { fWindow->WorkWithAvaList(A_READ, (char*)"x"); }));
    EXPECT_EQ("Modus: 2 | search: '(null)'\nModus: A_WRITE\n",
              Trace([&] { fWindow->WorkWithAvaList(A_WRITE, NULL); }));
    EXPECT_EQ("Modus: 7 | search: '(null)'\nModus: >A_ERR\n",
              Trace([&] { fWindow->WorkWithAvaList(7, NULL); }));
    EXPECT_EQ("Modus: -1 | search: '(null)'\n", Trace([&] { fWindow->WorkWithAvaList(-1, NULL); }));
}

TEST_F(AvatarListTest, LookupBringsAMinimisedWindowBack)
{
    WriteList("alice|0001\n");
    Open();
    Show();
    for (const char* key : {"0001", "nothing"}) {
        ASSERT_TRUE(fWindow->Lock());
        fWindow->Minimize(true);
        ASSERT_TRUE(fWindow->IsMinimized());
        std::string trace = Trace([&] { fWindow->WorkWithAvaList(A_LOOK, (char*)key); });
        EXPECT_EQ(0u, trace.find(std::string("Modus: 4 | search: '") + key +
                                 "'\nModus: A_LOOK\nWill Show on screen.. \nimage: '"))
            << trace;
        EXPECT_FALSE(fWindow->IsMinimized());
        EXPECT_FALSE(fWindow->IsHidden());
        fWindow->Unlock();
    }
    ASSERT_TRUE(fWindow->Lock());
    std::string trace = Trace([&] { fWindow->WorkWithAvaList(A_LOOK, (char*)"0001"); });
    fWindow->Unlock();
    EXPECT_EQ(std::string::npos, trace.find("Will Show")) << "a window on screen stays as it is";
}

TEST_F(AvatarListTest, PiecesDoNotDependOnHowTheFileIsRead)
{
    // Lines of many lengths, far more than one read of the list takes, so that
    // pieces and lines straddle every boundary; what fgets() into a 256-byte
    // buffer gives is what the entries must be.
    std::string list;
    unsigned seed = 7;
    for (int i = 0; list.size() < 300000; i++) {
        seed = seed * 1103515245 + 12345;
        list += "n" + std::to_string(i) + "|" + std::string((seed >> 16) % 700, 't') + "\n";
    }
    WriteList(list);
    Open();

    std::string expected;
    FILE* file = fopen(ListPath().c_str(), "r");
    ASSERT_NE(nullptr, file);
    char piece[256];
    while (fgets(piece, sizeof(piece), file) != NULL) {
        std::string text(piece);
        if (text.size() < 9)
            continue;
        if (text.back() == '\n')
            text.pop_back();
        size_t bar = text.find('|');
        expected += (bar == std::string::npos ? "|" + text : text) + "\n";
    }
    fclose(file);
    EXPECT_EQ(expected, Entries());
}

TEST_F(AvatarListTest, OnlyARegularFileIsReadAsTheList)
{
    // A FIFO would block the window in open(), /dev/zero would never end.
    ASSERT_EQ(0, mkfifo(ListPath().c_str(), 0600));
    std::string trace = Open();
    std::string said = "Avatar list '" + ListPath() + "' is no regular file: not read\n";
    EXPECT_NE(std::string::npos, trace.find(said)) << trace;
    EXPECT_EQ(std::string::npos, trace.find("Add: "));
    EXPECT_EQ("none", Look("0001", &trace));
    EXPECT_NE(std::string::npos, trace.find(said)) << trace;

    fs::remove(ListPath());
    fs::create_symlink("/dev/zero", ListPath());
    EXPECT_EQ("none", Look("0001", &trace));
    EXPECT_NE(std::string::npos, trace.find(said)) << trace;

    fs::remove(ListPath());
    fs::create_directory(ListPath());
    EXPECT_EQ("none", Look("0001", &trace));
    EXPECT_NE(std::string::npos, trace.find(said)) << trace;

    fs::remove(ListPath());
    WriteList("alice|0001\n");
    fs::rename(ListPath(), ListPath() + ".real");
    fs::create_symlink(ListPath() + ".real", ListPath());
    EXPECT_EQ("alice", Look("0001", &trace)) << "a link to a regular file is read";
    EXPECT_EQ(std::string::npos, trace.find("regular"));
}

TEST_F(AvatarListTest, ListsAreReadUpTo16MegabytesAndTheCutIsSaidOnce)
{
    const size_t bound = 16 * 1024 * 1024;
    std::string list = "alice|0001\n";
    const std::string filler = "#" + std::string(1022, '.') + "\n";
    while (list.size() + filler.size() + 100 < bound)
        list += filler;
    std::string last = "bob|0002\n";
    list += "#" + std::string(bound - list.size() - last.size() - 2, '.') + "\n" + last;
    ASSERT_EQ(bound, list.size());
    WriteList(list);
    std::string trace = Open();
    EXPECT_EQ("bob", Look("0002", &trace)) << "a list of exactly the bound is read whole";
    EXPECT_EQ(std::string::npos, trace.find("longer than"));

    WriteList(list + "carol|0003\n");
    std::string said =
        "Avatar list '" + ListPath() + "' is longer than 16777216 bytes: the rest is not read\n";
    EXPECT_EQ("none", Look("0003", &trace));
    EXPECT_NE(std::string::npos, trace.find(said)) << trace.substr(0, 300);
    EXPECT_EQ("alice", Look("0001", &trace));
    EXPECT_EQ("none", Look("0003", &trace));
    EXPECT_EQ(std::string::npos, trace.find(said)) << "said once";
}
