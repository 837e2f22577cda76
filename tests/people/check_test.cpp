// vek-people check: each mistake the client passes over in silence is said
// with its line; a good list is one line and exit 0.

#include "PeopleHarness.h"

#include <sstream>

TEST_F(PeopleTest, CheckSaysEveryProblemWithItsLine)
{
    WriteList("# people\n"                // 1
              "bob|123\n"                 // 2: skipped
              "alice|04A1B2C3 04C0FFEE\n" // 3
              "carol|04C0FFEE\n"          // 4: shows alice
              "dave|X 04D00D1E\n"         // 5: one character
              "alice|04AAAAAA\n"          // 6: named again
              "erin|04E00001\n"           // 7: no picture
              "frank|04F00001\n"          // 8: a text file
              "gina|04600001\n"           // 9: corrupt
              "hugo|04900001\n"           // 10: too wide
              "ida|04100001\n"            // 11: too tall
              "long|" +
              std::string(300, '7') + "\n"); // 12: cut
    for (const char* name : {"alice", "carol", "dave", "long"})
        Picture(name);
    fRoot.WriteFile("app/avatars/frank", "just some text, no picture\n");
    // Typed as a picture by its start, cut short after it.
    Picture("gina");
    fRoot.WriteFile("app/avatars/gina", fRoot.ReadFile("app/avatars/gina").substr(0, 60));
    Picture("hugo", 113, 50);
    Picture("ida", 50, 191);

    std::string out, err;
    EXPECT_EQ(1, People({"check"}, &out, &err)) << err;
    for (const std::string& said : std::vector<std::string>{
             "line 2: 'bob|123' is 8 bytes or fewer with its line end: the client skips it",
             "line 4: 04C0FFEE shows alice (line 3), not carol (line 4)",
             "line 5: the tag 'X' of dave is one character: it names nobody",
             "line 6: alice is named again (first on line 3)",
             "line 7: erin has no picture",
             "line 8: the picture of frank is not an image (text/plain)",
             "line 9: the picture of gina cannot be decoded",
             "line 10: the picture of hugo is 113 pixels wide",
             "line 11: the picture of ida is 191 pixels high",
             "line 12: the line is longer than 255 bytes",
             "line 12: '" + std::string(50, '7') + "' has no name",
             "the picture givecard2 is missing",
             "the picture none is missing",
         })
        EXPECT_NE(out.find(said), std::string::npos) << said << "\n" << out;
    // Lines in order, nothing said twice.
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 13) << out;

    WriteList("# people\nalice|04A1B2C3 04C0FFEE\r\ncarol|04C0FFE0\r\n");
    Picture("givecard2");
    Picture("none");
    EXPECT_EQ(0, People({"check"}, &out, &err)) << out << err;
    EXPECT_EQ(out, "2 entries and 4 pictures checked: no problems\n");
}
