// vek-people beside the real client and the real reader service: a card
// enrolled by scanning shows its new picture at its next read; the client
// reading the list while it changes under it always finds a whole list.

#include "reader/ReaderHarness.h"

#include <atomic>
#include <fstream>
#include <regex>
#include <thread>

class PeopleClientTest : public ReaderTest
{
protected:
    void SetUp() override
    {
        ReaderTest::SetUp();
        // Beside the client, vek-people finds the application folder itself.
        fPeople = fAppDir + "/vek-people";
        fs::copy_file(std::string(VEK_BUILD_DIR) + "/vek-people", fPeople);
        AvatarList("alice|04A1B2C3\nbob|0455AA12\n");
        Picture("alice", 20, 30, {200, 0, 0, 255});
        Picture("bob", 20, 30, {0, 200, 0, 255});
        Picture("none", 20, 20, {0, 0, 0, 255});
        Picture("givecard2", 20, 20, {0, 0, 200, 255});
    }

    std::string ListText() const
    {
        std::ifstream in(fAppDir + "/rfid_avatar_list", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // The service is reached by its signature only once it has taken it, a
    // moment after it starts.
    bool ServiceAnswers() const
    {
        return WaitUntil([&] {
            Process recent;
            return recent.Start(fPeople, {"recent"}) && recent.Wait(5000) && recent.ExitCode() == 0;
        });
    }

    std::string fPeople;
};

TEST_F(PeopleClientTest, AScannedCardShowsItsPersonAtTheNextRead)
{
    Process client;
    Start(client);
    std::string record = fRoot / "reads.csv";
    Process reader;
    StartReader(reader, {"--stdin", "--app", fAppDir, "--record", record});
    ASSERT_TRUE(ServiceAnswers()) << reader.Stderr();
    std::string photo = fRoot / "carol.png";
    ASSERT_TRUE(TestPictures::WritePng(photo, 200, 100, {250, 250, 0, 255}));

    Process people;
    ASSERT_TRUE(people.Start(fPeople, {"add", "carol", "--scan", "--picture", photo}));
    ASSERT_TRUE(people.WaitForStdout("Hold the card to the reader", 20000)) << people.Stderr();
    Type("04:c0:ff:ee\n");
    ASSERT_TRUE(people.Wait(20000));
    EXPECT_EQ(people.ExitCode(), 0) << people.Stderr();
    EXPECT_EQ(ListText(), "alice|04A1B2C3\nbob|0455AA12\ncarol|04C0FFEE\n");

    Type("04C0FFEE\n");
    ASSERT_TRUE(client.WaitForStdout(ShownFor("04C0FFEE", "carol"), 20000)) << client.Stdout();
    ASSERT_TRUE(WaitUntil([&] {
        return reader.Stdout().find(" 04C0FFEE carol\n") != std::string::npos;
    })) << reader.Stdout();
    // The scan's own read was nobody yet.
    EXPECT_NE(reader.Stdout().find(" 04C0FFEE unknown\n"), std::string::npos) << reader.Stdout();

    // A card that names someone already adds nobody.
    Process again;
    ASSERT_TRUE(again.Start(fPeople, {"add", "dave", "--scan"}));
    ASSERT_TRUE(again.WaitForStdout("Hold the card to the reader", 20000)) << again.Stderr();
    Type("04A1B2C3\n");
    ASSERT_TRUE(again.Wait(20000));
    EXPECT_EQ(again.ExitCode(), 1);
    EXPECT_NE(again.Stderr().find("04A1B2C3 already shows alice (line 1)"), std::string::npos)
        << again.Stderr();
    EXPECT_EQ(ListText(), "alice|04A1B2C3\nbob|0455AA12\ncarol|04C0FFEE\n");

    CloseInput();
    ASSERT_TRUE(reader.Wait(20000));
    std::ifstream csv(record);
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "time,reader,tag,name\r");
    std::regex row(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d,stdin,(\\w+),(\\w+)\r$");
    std::vector<std::string> rows;
    while (std::getline(csv, line)) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(line, match, row)) << line;
        rows.push_back(match[1].str() + " " + match[2].str());
    }
    EXPECT_EQ(rows,
              (std::vector<std::string>{"04C0FFEE unknown", "04C0FFEE carol", "04A1B2C3 alice"}));

    // With no service, the scan says so at once.
    std::string err;
    EXPECT_EQ(1, Process::Run(fPeople, {"add", "erin", "--scan"}, 20000, nullptr, &err));
    EXPECT_NE(err.find("not running"), std::string::npos) << err;
    Quit(client);
}

TEST_F(PeopleClientTest, TheClientFindsAWholeListWhileItChanges)
{
    Process client;
    Start(client);
    std::atomic<bool> done = false;
    std::atomic<int> failures = 0;
    std::thread changes([&] {
        for (int i = 0; i < 100; i++) {
            // The new person comes before alice's and bob's lines are left,
            // so that a torn list would lose them.
            if (Process::Run(fPeople, {"add", "temp", "--tag", "04EE0001"}, 20000) != 0 ||
                Process::Run(fPeople, {"remove", "temp"}, 20000) != 0)
                failures++;
        }
        done = true;
    });
    int sent = 0;
    while (!done) {
        for (const char* tag : {"04A1B2C3", "04EE0001", "0455AA12"}) {
            ASSERT_EQ(
                0, Send({"--count", "5", "RFID", "_time:int32=1", std::string("_tagstr=") + tag}));
            sent += 5;
        }
    }
    changes.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(ListText(), "alice|04A1B2C3\nbob|0455AA12\n");
    Quit(client);

    // Every read's picture, from the client's trace.
    std::string trace = client.Stdout();
    std::regex event(
        "Modus: 4 \\| search: '(\\w+)'\nModus: A_LOOK\nimage: '[^\n]*/avatars/(\\w+)'\n"
        "(ManageLogo end|ManageLogo BAD)");
    int seen = 0, temp = 0;
    for (std::sregex_iterator at(trace.begin(), trace.end(), event), end; at != end; ++at) {
        std::string key = (*at)[1], shown = (*at)[2];
        seen++;
        if (key == "4A1B2C3") {
            EXPECT_EQ(shown, "alice");
        } else if (key == "455AA12") {
            EXPECT_EQ(shown, "bob");
        } else {
            EXPECT_TRUE(shown == "temp" || shown == "none") << shown;
            temp += shown == "temp";
        }
        if (key != "4EE0001") {
            EXPECT_EQ((*at)[3], "ManageLogo end");
        }
    }
    EXPECT_EQ(seen, sent);
    EXPECT_GT(temp, 0);
}

TEST_F(PeopleClientTest, ARecordThatCannotBeWrittenIsSaidOnce)
{
    Process reader;
    StartReader(reader, {"--stdin", "--app", fAppDir, "--record", "/dev/full", "--target",
                         "application/x-vnd.vek-nobody"});
    Type("04A1B2C3\n0455AA12\n04BADBAD\n");
    ASSERT_TRUE(WaitUntil([&] { return CountOf(reader.Stdout(), "\n") == 3; })) << reader.Stdout();
    ASSERT_TRUE(reader.Signal(SIGTERM));
    ASSERT_TRUE(reader.Wait(20000));
    EXPECT_EQ(CountOf(reader.Stderr(), "cannot record reads in /dev/full"), 1u) << reader.Stderr();
    std::string out = reader.Stdout();
    EXPECT_NE(out.find(" stdin 04A1B2C3 alice\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" stdin 0455AA12 bob\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" stdin 04BADBAD unknown\n"), std::string::npos) << out;
}
