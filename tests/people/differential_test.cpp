// The list's rules, as vek-people and the reader service apply them, against
// the real client's: over a generated list of thousands of lines (long lines,
// comments, CR LF, NUL bytes, tags inside other tags), each tag shows the
// same entry in the client, in the library, in `check` and in `recent`.

#include "window/WindowHarness.h"

#include "AppFolder.h"
#include "AvatarList.h"

#include "support/Process.h"

#include <random>
#include <regex>
#include <sstream>

namespace
{

// A list meant to trip up every rule at once. Tags come from a small
// alphabet, so that one is often found inside another.
std::string GeneratedList(std::mt19937& random, std::vector<std::string>* tags)
{
    auto pick = [&](int below) { return (int)(random() % below); };
    auto tag = [&] {
        static const char kDigits[] = "04ABC";
        std::string text;
        for (int i = 3 + pick(6); i > 0; i--)
            text += kDigits[pick(5)];
        tags->push_back(text);
        return text;
    };
    std::string list;
    for (int line = 0; line < 4000; line++) {
        std::string end = pick(4) == 0 ? "\r\n" : "\n";
        switch (pick(12)) {
        case 0:
            list += "# comment " + tag() + end;
            break;
        case 1:
            // Longer than a piece, and a comment only in its first.
            list += "#" + std::string(250 + pick(20), '-') + " p" + std::to_string(line) + "|" +
                    tag() + end;
            break;
        case 2: {
            std::string tags;
            while (tags.size() < 300)
                tags += tag() + " ";
            list += "long" + std::to_string(line) + "|" + tags + end;
            break;
        }
        case 3:
            list += "b|" + tag().substr(0, 3) + end;
            break;
        case 4:
            list += "|lead " + tag() + end;
            break;
        case 5:
            list += "p" + std::to_string(line) + " " + tag() + "|" + tag() + end;
            break;
        case 6:
            list += "p" + std::to_string(line) + "|" + tag() + std::string(1, '\0') + tag() + end;
            break;
        default:
            list += "p" + std::to_string(line) + "|" + tag() + (pick(2) ? " " + tag() : "") + end;
            break;
        }
    }
    return list;
}

class DifferentialTest : public WindowTest
{
protected:
    // The picture path the client shows for a read of tag.
    std::string ClientShows(const std::string& tag)
    {
        std::string key = tag.substr(1);
        std::string trace = Trace([&] { fWindow->WorkWithAvaList(A_LOOK, (char*)key.c_str()); });
        size_t at = trace.find("image: '");
        if (at == std::string::npos)
            return "<nothing>";
        at += 8;
        return trace.substr(at, trace.find("'\n", at) - at);
    }

    std::string PathOf(const AvatarPiece* entry) const
    {
        return AvatarPath(fAppDir, entry != nullptr ? std::string(entry->name) : "none");
    }
};

} // namespace

TEST_F(DifferentialTest, CheckRecentAndTheClientAgree)
{
    std::mt19937 random(20261209);
    std::vector<std::string> tags;
    std::string text = GeneratedList(random, &tags);
    WriteList(text);
    Open();
    AvatarList list;
    ASSERT_EQ(list.Load(ListPath().c_str()), B_OK);
    ASSERT_GT(list.Pieces().size(), 4000u);

    // The library against the client, on tags of the list and others.
    std::vector<std::string> samples;
    for (int i = 0; i < 600; i++)
        samples.push_back(tags[random() % tags.size()]);
    for (const char* other : {"X", "", "0", "04", "ZZZZ", "#comment"})
        samples.push_back(other);
    int compared = 0;
    for (const std::string& tag : samples) {
        std::string expected = PathOf(tag.empty() ? nullptr : list.Shows(tag));
        if (expected.empty())
            continue;
        ASSERT_EQ(ClientShows(tag.empty() ? " " : tag), expected) << "tag " << tag;
        compared++;
    }
    EXPECT_GT(compared, 550);

    // Each tag that check says shows someone else shows that one in the client.
    std::string out, err;
    Process::Run(std::string(VEK_BUILD_DIR) + "/vek-people", {"--app", fAppDir, "check"}, 120000,
                 &out, &err);
    std::regex shadow(
        "^line (\\d+): (\\S+) shows (.*) \\(line (\\d+)\\), not (.*) \\(line (\\d+)\\)$");
    std::istringstream lines(out);
    std::string line;
    int shadows = 0;
    while (std::getline(lines, line)) {
        std::smatch match;
        if (!std::regex_match(line, match, shadow) || shadows >= 300)
            continue;
        shadows++;
        EXPECT_EQ(ClientShows(match[2]), AvatarPath(fAppDir, match[3])) << line;
        EXPECT_NE(ClientShows(match[2]), AvatarPath(fAppDir, match[5])) << line;
    }
    EXPECT_GT(shadows, 50) << out.substr(0, 2000) << err;
    EXPECT_NE(out.find("bytes: the client reads each piece"), std::string::npos);
    EXPECT_NE(out.find("8 bytes or fewer"), std::string::npos);

    // The service's log and `recent` name each read as the client shows it.
    Process reader;
    int input = reader.PipeInput();
    ASSERT_GE(input, 0);
    ASSERT_TRUE(reader.Start(
        std::string(VEK_BUILD_DIR) + "/vek-reader",
        {"--no-config", "--stdin", "--app", fAppDir, "--target", "application/x-vnd.vek-nobody"}));
    std::vector<std::string> read;
    std::string typed;
    for (int i = 0; i < 60; i++) {
        read.push_back(tags[random() % tags.size()]);
        typed += read.back() + "\n";
    }
    ASSERT_EQ(write(input, typed.data(), typed.size()), (ssize_t)typed.size());
    ASSERT_TRUE(reader.WaitForStdout(" " + read.back() + " ", 20000)) << reader.Stderr();
    for (int tries = 0; tries < 100 && CountOf(reader.Stdout(), "\n") < read.size(); tries++)
        usleep(50000);
    ASSERT_EQ(0, Process::Run(std::string(VEK_BUILD_DIR) + "/vek-people",
                              {"--app", fAppDir, "recent"}, 60000, &out, &err))
        << err;
    close(input);
    std::istringstream recent(out);
    std::istringstream logged(reader.Stdout());
    for (size_t i = 0; i < read.size(); i++) {
        // Newest first in `recent`, oldest first in the log.
        const std::string& tag = read[read.size() - 1 - i];
        const AvatarPiece* entry = list.Shows(tag);
        std::string name = entry != nullptr ? std::string(entry->name) : "unknown";
        std::string date, time, readerName, shownTag, rest;
        ASSERT_TRUE(std::getline(recent, line));
        std::istringstream fields(line);
        fields >> date >> time >> readerName >> shownTag >> std::ws;
        std::getline(fields, rest);
        EXPECT_EQ(shownTag, tag) << line;
        EXPECT_EQ(rest, name) << line;
        EXPECT_EQ(ClientShows(tag), AvatarPath(fAppDir, entry != nullptr ? name : "none"));
        ASSERT_TRUE(std::getline(logged, line));
        EXPECT_EQ(line.substr(line.find(" stdin ") + 7),
                  read[i] + " " +
                      (list.Shows(read[i]) ? std::string(list.Shows(read[i])->name) : "unknown"));
    }
    ASSERT_TRUE(reader.Signal(SIGTERM));
    EXPECT_TRUE(reader.Wait(20000));
}
