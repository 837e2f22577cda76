// The reader service and the real client: what is read reaches the client
// with the right tag and picture, in order, also when the client starts
// late or is killed in the middle of a burst.

#include "outputs/Delivery.h"
#include "reader/ReaderHarness.h"

#include <stdio.h>

namespace
{

std::string Tag(int i)
{
    char text[16];
    snprintf(text, sizeof(text), "AB%06X", i);
    return text;
}

TEST_F(ReaderTest, ReadsReachTheClientWithTheirPicture)
{
    AvatarList("alice|04A1B2C3\nbob|0455AA12\n");
    Picture("alice", 20, 30, {200, 0, 0, 255});
    Picture("bob", 20, 40, {0, 200, 0, 255});
    Process client;
    Start(client);
    Process reader;
    StartReader(reader, {"--stdin"});

    Type("04:a1:b2:c3\n");
    ASSERT_TRUE(client.WaitForStdout("ManageLogo end 'alice'\n", 20000)) << client.Stdout();
    Type("hello\n" + std::string(10000, '4') + "\n\xff\xfe\n\n  0455aa12 \r\n");
    ASSERT_TRUE(client.WaitForStdout("ManageLogo end 'bob'\n", 20000)) << client.Stdout();
    CloseInput();
    // At the end of its input, once everything is delivered, it ends.
    ASSERT_TRUE(reader.Wait(20000));
    EXPECT_EQ(reader.ExitCode(), 0) << reader.Stderr();

    std::string trace = client.Stdout();
    std::string events = trace.substr(trace.find("-- StartUp --\n") + 14);
    EXPECT_EQ(events, "NOW WE HAVE A CALLBACK MESSENGER :) \n" + ShownFor("04A1B2C3", "alice") +
                          ShownFor("0455AA12", "bob"));

    std::string err = reader.Stderr();
    EXPECT_NE(err.find("vek-reader: stdin: skipped: \"hello\" is not a hex tag\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("vek-reader: stdin: skipped: line of 10000 bytes is too long\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("vek-reader: stdin: skipped: line is not valid UTF-8\n"), std::string::npos)
        << err;
    // One line a read: date, time, reader, tag.
    std::string out = reader.Stdout();
    EXPECT_EQ(CountOf(out, "\n"), 2u) << out;
    EXPECT_NE(out.find(" stdin 04A1B2C3 "), std::string::npos) << out;
    EXPECT_NE(out.find(" stdin 0455AA12 "), std::string::npos) << out;
    Quit(client);
}

TEST_F(ReaderTest, SpellingAndMessageTextReachTheClient)
{
    AvatarList("alice|04A1B2C3\n");
    Picture("alice", 20, 30, {200, 0, 0, 255});
    Picture("givecard2", 20, 20, {0, 0, 200, 255});
    Process client;
    Start(client);
    {
        Process reader;
        StartReader(reader, {"--stdin", "--spelling", "reversed"});
        Type("c3:b2:a1:04\n");
        CloseInput();
        ASSERT_TRUE(reader.Wait(20000));
        EXPECT_EQ(reader.ExitCode(), 0) << reader.Stderr();
        EXPECT_NE(reader.Stdout().find(" stdin 04A1B2C3 "), std::string::npos);
    }
    ASSERT_TRUE(client.WaitForStdout(ShownFor("04A1B2C3", "alice"), 20000)) << client.Stdout();

    Process reader;
    StartReader(reader, {"--stdin", "--name", "door", "--message", "Door open"});
    Type("04A1B2C3\n");
    CloseInput();
    ASSERT_TRUE(reader.Wait(20000));
    EXPECT_NE(reader.Stdout().find(" door 04A1B2C3 \"Door open\" "), std::string::npos)
        << reader.Stdout();
    // A message event: four fields, the message picture and no lookup.
    std::string message = "xinfos: 4\nimage: '" + Avatar("givecard2") +
                          "'\nManageLogo end "
                          "'givecard2'\n";
    ASSERT_TRUE(client.WaitForStdout(message, 20000)) << client.Stdout();
    EXPECT_EQ(Looked(client.Stdout()).size(), 1u);
    Quit(client);
}

TEST_F(ReaderTest, ReadsWaitForAClientThatStartsLater)
{
    Process reader;
    StartReader(reader, {"--stdin"});
    Type("AB000001\nAB000002\nAB000003\n");
    ASSERT_TRUE(reader.WaitForStderr("application/VEK_BeOS is not running", 20000))
        << reader.Stderr();
    ASSERT_TRUE(WaitUntil([&] { return CountOf(reader.Stdout(), "\n") == 3; }));

    Process client;
    Start(client);
    ASSERT_TRUE(client.WaitForStdout("search: 'B000003'", 20000)) << client.Stdout();
    Type("AB000004\n");
    ASSERT_TRUE(client.WaitForStdout("search: 'B000004'", 20000)) << client.Stdout();
    EXPECT_EQ(Looked(client.Stdout()),
              (std::vector<std::string>{"B000001", "B000002", "B000003", "B000004"}));
    EXPECT_TRUE(reader.WaitForStderr("application/VEK_BeOS takes reads again", 1000))
        << reader.Stderr();
    CloseInput();
    ASSERT_TRUE(reader.Wait(20000));
    EXPECT_EQ(reader.ExitCode(), 0);
    EXPECT_EQ(reader.Stderr().find("not delivered"), std::string::npos) << reader.Stderr();
    Quit(client);
}

TEST_F(ReaderTest, AFullQueueKeepsTheNewestReads)
{
    Process reader;
    StartReader(reader, {"--stdin"});
    std::string burst;
    for (int i = 0; i < 300; i++)
        burst += Tag(i) + "\n";
    Type(burst);
    ASSERT_TRUE(WaitUntil([&] { return CountOf(reader.Stdout(), "\n") == 300; }))
        << reader.Stdout();
    EXPECT_TRUE(reader.WaitForStderr("256 reads wait for application/VEK_BeOS; the oldest are "
                                     "dropped to make room\n",
                                     1000))
        << reader.Stderr();

    Process client;
    Start(client);
    ASSERT_TRUE(client.WaitForStdout("search: '" + Tag(299).substr(1) + "'", 60000));
    // The newest 256, but for the first read when the overflow came while it
    // was being tried: the read in flight is kept and the next oldest goes.
    std::vector<std::string> looked = Looked(client.Stdout());
    std::vector<std::string> expected;
    bool firstKept = !looked.empty() && looked.front() == Tag(0).substr(1);
    if (firstKept)
        expected.push_back(Tag(0).substr(1));
    for (int i = firstKept ? 45 : 44; i < 300; i++)
        expected.push_back(Tag(i).substr(1));
    EXPECT_EQ(looked, expected);
    EXPECT_TRUE(reader.WaitForStderr("vek-reader: 44 reads were not delivered to "
                                     "application/VEK_BeOS (44 dropped in all: 44 for room, 0 "
                                     "too old)\n",
                                     5000))
        << reader.Stderr();
    CloseInput();
    ASSERT_TRUE(reader.Wait(20000));
    Quit(client);
}

// A read every 5 ms while the client ends, as end makes it, and is started
// again.
class ClientRestartTest : public ReaderTest
{
protected:
    void Burst(const std::function<void(Process&)>& end)
    {
        constexpr int kReads = 300;
        Process reader;
        StartReader(reader, {"--stdin"});
        auto first = std::make_unique<Process>();
        Start(*first);

        std::thread burst([&] {
            for (int i = 0; i < kReads; i++) {
                std::string line = Tag(i) + "\n";
                if (write(fInput, line.data(), line.size()) != (ssize_t)line.size())
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        bool seen = first->WaitForStdout("search: '" + Tag(50).substr(1) + "'", 20000);
        end(*first);
        std::vector<std::string> before = Looked(first->Stdout());
        Process second;
        Start(second);
        burst.join();
        ASSERT_TRUE(seen);
        ASSERT_TRUE(second.WaitForStdout("search: '" + Tag(kReads - 1).substr(1) + "'", 30000))
            << second.Stdout() << reader.Stderr();
        std::vector<std::string> after = Looked(second.Stdout());

        std::vector<std::string> sent;
        for (int i = 0; i < kReads; i++)
            sent.push_back(Tag(i).substr(1));
        ExpectOnlyTakenReadsLost(sent, before, after);
        EXPECT_TRUE(reader.WaitForStderr("application/VEK_BeOS takes reads again", 1000))
            << reader.Stderr();

        CloseInput();
        ASSERT_TRUE(reader.Wait(20000));
        EXPECT_EQ(reader.ExitCode(), 0);
        Quit(second);
    }
};

TEST_F(ClientRestartTest, AClientKilledDuringABurstGetsTheRestWhenItIsBack)
{
    Burst([](Process& client) {
        client.Signal(SIGKILL);
        client.Wait(10000);
    });
}

TEST_F(ClientRestartTest, AClientThatQuitsDuringABurstGetsTheRestWhenItIsBack)
{
    Burst([](Process& client) { Quit(client); });
}

// The queue on its own, with room for four: reads that waited too long go,
// and so do the oldest when it is full.
TEST_F(ReaderTest, TheQueueDropsTheOldestAndWhatWaitedTooLong)
{
    DeliverySettings settings;
    settings.capacity = 4;
    settings.longest = std::chrono::milliseconds(400);
    settings.retry = std::chrono::milliseconds(20);
    {
        Delivery aging(settings, BMessenger());
        for (int i = 0; i < 3; i++)
            aging.Add({i, Tag(i), ""});
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        aging.Add({3, Tag(3), ""});
        Delivery::Counts counts = aging.GetCounts();
        EXPECT_EQ(counts.droppedOld, 3u);
        EXPECT_EQ(counts.waiting, 1u);
        aging.Stop(std::chrono::milliseconds(0));
    }

    // Long enough for a client to start even on a loaded machine.
    settings.longest = std::chrono::seconds(60);
    Delivery delivery(settings, BMessenger());
    for (int i = 3; i < 9; i++)
        delivery.Add({i, Tag(i), ""});
    Delivery::Counts counts = delivery.GetCounts();
    EXPECT_EQ(counts.droppedOld, 0u);
    EXPECT_EQ(counts.droppedFull, 2u);
    EXPECT_EQ(counts.waiting, 4u);

    Process client;
    Start(client);
    ASSERT_TRUE(WaitUntil([&] { return delivery.GetCounts().delivered == 4; })) << client.Stdout();
    ASSERT_TRUE(client.WaitForStdout("search: '" + Tag(8).substr(1) + "'", 20000));
    EXPECT_EQ(Looked(client.Stdout()),
              (std::vector<std::string>{Tag(5).substr(1), Tag(6).substr(1), Tag(7).substr(1),
                                        Tag(8).substr(1)}));
    delivery.Stop(std::chrono::milliseconds(0));
    Quit(client);
}

} // namespace
