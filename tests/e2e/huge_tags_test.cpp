// Tags of megabytes, sent by a real sender to the real program.

#include "ProgramHarness.h"

#include <Message.h>
#include <Messenger.h>

#include <signal.h>

#include <chrono>
#include <thread>

namespace
{

long StatusKiB(pid_t pid, const std::string& key)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    return -1;
}

} // namespace

TEST_F(ProgramTest, MegabyteTagsKeepTheLogAndMemoryBounded)
{
    AvatarList("alice|A1B2\n");
    Picture("alice", 16, 16, {1, 2, 3, 255});
    Process program;
    Start(program);

    // Just below the largest message that the transport takes.
    const int kEvents = 20;
    std::string tag(8 * 1024 * 1024 - 4096, 'T');
    BMessenger messenger("application/VEK_BeOS");
    ASSERT_TRUE(messenger.IsValid());
    for (int i = 0; i < kEvents; i++) {
        BMessage event('RFID');
        event.AddInt32("_time", i);
        event.AddString("_tagstr", tag.c_str());
        ASSERT_EQ(B_OK, messenger.SendMessage(&event)) << "event " << i;
    }
    BMessage last('RFID');
    last.AddInt32("_time", 99);
    last.AddString("_tagstr", "A1B2");
    ASSERT_EQ(B_OK, messenger.SendMessage(&last));
    ASSERT_TRUE(program.WaitForStdout("ManageLogo end 'alice'\n", 60000));

    long peak = StatusKiB(program.Pid(), "VmHWM:");
    auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(program.Signal(SIGTERM));
    ASSERT_TRUE(program.Wait(20000));
    auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_EQ(0, program.ExitCode());
    std::string out = program.Stdout();
    EXPECT_EQ((size_t)kEvents + 1, CountOf(out, "xinfos: "));
    EXPECT_NE(std::string::npos, out.find("\n-VEK end-\n"));
    EXPECT_LT(took, std::chrono::seconds(5));

    // Each lookup's trace shows the key cut as the log cuts it.
    std::string traced = "Modus: 4 | search: '" + std::string(2041, 'T') + "..(Cut)'\n";
    EXPECT_EQ((size_t)kEvents, CountOf(out, traced));
    EXPECT_LT(out.size(), (size_t)kEvents * 16 * 1024) << "standard output grows by the tag";

    // The log never holds more than its bound and one new line.
    for (size_t at = out.find("A laenge: "); at != std::string::npos;
         at = out.find("A laenge: ", at + 1))
        ASSERT_LE(std::stol(out.substr(at + 10)), 4096 + 2100);
#if !defined(__SANITIZE_ADDRESS__)
    // A few copies of one message at a time, not the sum of them.
    EXPECT_LT(peak, 400 * 1024) << "peak resident memory " << peak << " KiB";
#else
    (void)peak;
#endif
}

TEST_F(ProgramTest, TagsThatFitAreTracedWhole)
{
    AvatarList("alice|A1B2\n");
    Process program;
    Start(program);
    // Keys (the tag without its first byte) of 2048 bytes fit; one more is cut.
    std::string fits = "X" + std::string(2046, 'F') + "\xc3\xbc";
    std::string cut = "X" + std::string(2040, 'C') + "\xc3\xbc" + std::string(7, 'C');
    BMessenger messenger("application/VEK_BeOS");
    for (const std::string& tag : {fits, cut}) {
        BMessage event('RFID');
        event.AddInt32("_time", 1);
        event.AddString("_tagstr", tag.c_str());
        ASSERT_EQ(B_OK, messenger.SendMessage(&event));
    }
    ASSERT_TRUE(program.WaitForStdout("C..(Cut)'\n", 20000)) << program.Stdout();
    Quit(program);
    std::string out = program.Stdout();
    EXPECT_NE(std::string::npos, out.find("Modus: 4 | search: '" + fits.substr(1) + "'\n"));
    // A cut never leaves half a character.
    EXPECT_NE(std::string::npos,
              out.find("Modus: 4 | search: '" + std::string(2040, 'C') + "..(Cut)'\n"));
}
