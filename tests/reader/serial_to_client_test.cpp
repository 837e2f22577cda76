// A serial EM4100 reader on a pseudo-terminal, the real service reading it
// and the real client showing what it read: the whole way from the reader's
// bytes to the picture.

#include "reader/ReaderHarness.h"
#include "reader/SerialLine.h"

#include <stdio.h>

namespace
{

const std::string kStx = "\x02";

// Cards of the burst: ten hex digits, each a different card.
std::string Card(int i)
{
    char text[16];
    snprintf(text, sizeof(text), "04%08X", i);
    return text;
}

// What the client looks up for a card: the tag without its first digit.
std::string Key(int i)
{
    return Card(i).substr(1);
}

class SerialClientTest : public ReaderTest
{
protected:
    void SetUp() override
    {
        ReaderTest::SetUp();
        ASSERT_TRUE(fPort.Plug());
    }

    void StartSerialReader(Process& reader, std::vector<std::string> more = {})
    {
        std::vector<std::string> arguments = {"--serial", fPort.Path(), "--name", "door"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        StartReader(reader, arguments, false);
    }

    void Send(const std::string& bytes) { ASSERT_TRUE(fPort.Send(bytes)); }

    // Ends the service as its unit does, and checks that it ended well.
    static void Stop(Process& reader)
    {
        ASSERT_TRUE(reader.Signal(SIGTERM));
        ASSERT_TRUE(reader.Wait(20000));
        EXPECT_EQ(reader.ExitCode(), 0) << reader.Stderr();
    }

    FarEnd fPort{fRoot / "ttyUSB-door"};
};

TEST_F(SerialClientTest, ACardOnTheReaderShowsItsPictureOncePerHold)
{
    // One entry names alice's card as the service spells it in hex, in the
    // decimal that keyboard wedges type, and with its bytes reversed.
    AvatarList("alice|0A1B2C3D4E 0455884110 4E3D2C1B0A\nbob|12345678AB\n");
    Picture("alice", 20, 30, {200, 0, 0, 255});
    Picture("bob", 20, 40, {0, 200, 0, 255});
    Process client;
    Start(client);
    Process reader;
    StartSerialReader(reader);

    // alice's card held for a while (the module repeats its frame), a frame
    // with a bad checksum, noise, bob's card, then alice's again after it was
    // away for longer than the hold time.
    for (int i = 0; i < 6; i++) {
        Send(Em4100Frame("0A1B2C3D4E", -1, "\r\n"));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    Send(Em4100Frame("12345678AB", 0x00));
    Send("\x7f\x80garbage\r\n");
    Send(Em4100Frame("12345678AB"));
    ASSERT_TRUE(client.WaitForStdout("ManageLogo end 'bob'\n", 20000)) << client.Stdout();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    Send(Em4100Frame("0A1B2C3D4E"));
    ASSERT_TRUE(WaitUntil([&] { return CountOf(client.Stdout(), "ManageLogo end 'alice'") == 2; }))
        << client.Stdout();

    std::string trace = client.Stdout();
    std::string events = trace.substr(trace.find("-- StartUp --\n") + 14);
    EXPECT_EQ(events, "NOW WE HAVE A CALLBACK MESSENGER :) \n" + ShownFor("0A1B2C3D4E", "alice") +
                          ShownFor("12345678AB", "bob") + ShownFor("0A1B2C3D4E", "alice"));
    std::string out = reader.Stdout();
    EXPECT_EQ(CountOf(out, " door 0A1B2C3D4E "), 2u) << out;
    EXPECT_EQ(CountOf(out, " door 12345678AB "), 1u) << out;
    EXPECT_EQ(CountOf(out, "\n"), 3u) << out;
    std::string err = reader.Stderr();
    EXPECT_NE(err.find("vek-reader: door: skipped: "), std::string::npos) << err;
    EXPECT_NE(err.find("bad checksum 00"), std::string::npos) << err;
    EXPECT_NE(err.find("bytes of noise between frames"), std::string::npos) << err;
    Stop(reader);

    // Spelled as a keyboard wedge types it, the same card finds the same
    // entry.
    Process decimal;
    StartSerialReader(decimal, {"--spelling", "decimal"});
    Send(Em4100Frame("0A1B2C3D4E"));
    ASSERT_TRUE(client.WaitForStdout(ShownFor("0455884110", "alice"), 20000)) << client.Stdout();
    Stop(decimal);
    Quit(client);
}

TEST_F(SerialClientTest, ReadsWaitForTheClientAndAKilledClientLosesOnlyWhatItHadTaken)
{
    Process reader;
    StartSerialReader(reader);

    // Read while no client runs: they wait, and come in order once it starts.
    constexpr int kEarly = 20;
    for (int i = 0; i < kEarly; i++)
        Send(Em4100Frame(Card(i)));
    ASSERT_TRUE(WaitUntil([&] { return CountOf(reader.Stdout(), "\n") == kEarly; }))
        << reader.Stdout() << reader.Stderr();
    EXPECT_TRUE(reader.WaitForStderr("application/VEK_BeOS is not running", 20000))
        << reader.Stderr();
    auto first = std::make_unique<Process>();
    Start(*first);
    ASSERT_TRUE(first->WaitForStdout("search: '" + Key(kEarly - 1) + "'", 20000))
        << first->Stdout();
    std::vector<std::string> early;
    for (int i = 0; i < kEarly; i++)
        early.push_back(Key(i));
    EXPECT_EQ(Looked(first->Stdout()), early);

    // A card every 5 ms; the client is killed in the middle and started again.
    constexpr int kLast = 320;
    std::atomic<bool> failed = false;
    std::thread burst([&] {
        for (int i = kEarly; i < kLast && !failed; i++) {
            failed = !fPort.Send(Em4100Frame(Card(i)));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    bool seen = first->WaitForStdout("search: '" + Key(kEarly + 60) + "'", 20000);
    first->Signal(SIGKILL);
    first->Wait(10000);
    std::vector<std::string> before = Looked(first->Stdout());
    Process second;
    Start(second);
    burst.join();
    ASSERT_TRUE(seen) << first->Stdout();
    ASSERT_FALSE(failed);
    ASSERT_TRUE(second.WaitForStdout("search: '" + Key(kLast - 1) + "'", 30000))
        << second.Stdout() << reader.Stderr();
    std::vector<std::string> after = Looked(second.Stdout());

    std::vector<std::string> sent;
    for (int i = 0; i < kLast; i++)
        sent.push_back(Key(i));
    ExpectOnlyTakenReadsLost(sent, before, after);
    EXPECT_EQ(CountOf(reader.Stdout(), "\n"), size_t(kLast)) << reader.Stderr();
    EXPECT_TRUE(reader.WaitForStderr("application/VEK_BeOS takes reads again", 1000))
        << reader.Stderr();
    EXPECT_EQ(reader.Stderr().find("skipped"), std::string::npos) << reader.Stderr();
    Stop(reader);
    EXPECT_EQ(reader.Stderr().find("not delivered"), std::string::npos) << reader.Stderr();
    Quit(second);
}

TEST_F(SerialClientTest, AReaderPulledOutAndPluggedBackIsSaidOnceAndReadsGoOn)
{
    Process client;
    Start(client);
    Process reader;
    StartSerialReader(reader);
    Send(Em4100Frame(Card(1)));
    ASSERT_TRUE(client.WaitForStdout("search: '" + Key(1) + "'", 20000)) << client.Stdout();

    // Pulled out in the middle of a frame, away for a while, plugged back.
    Send(Em4100Frame(Card(2)) + kStx + Card(4).substr(0, 5));
    ASSERT_TRUE(client.WaitForStdout("search: '" + Key(2) + "'", 20000)) << client.Stdout();
    fPort.Unplug();
    ASSERT_TRUE(reader.WaitForStderr("vek-reader: door: lost: the port was hung up\n", 20000))
        << reader.Stderr();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(reader.IsRunning());
    ASSERT_TRUE(fPort.Plug());
    ASSERT_TRUE(reader.WaitForStderr("vek-reader: door: back\n", 20000)) << reader.Stderr();
    Send(Em4100Frame(Card(3)));
    ASSERT_TRUE(client.WaitForStdout("search: '" + Key(3) + "'", 20000)) << client.Stdout();

    EXPECT_EQ(Looked(client.Stdout()), (std::vector<std::string>{Key(1), Key(2), Key(3)}));
    std::string err = reader.Stderr();
    EXPECT_EQ(CountOf(err, "lost"), 1u) << err;
    EXPECT_EQ(CountOf(err, "back"), 1u) << err;
    EXPECT_NE(err.find("cut off when the port went away"), std::string::npos) << err;
    Stop(reader);
    Quit(client);
}

} // namespace
