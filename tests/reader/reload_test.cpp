// SIGHUP: the service reads its configuration file again and restarts only
// the readers whose settings changed, while reads go on.

#include "reader/ReaderHarness.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <fstream>

namespace
{

std::string Tag(const char* prefix, int i)
{
    char text[16];
    snprintf(text, sizeof(text), "%s%06X", prefix, i);
    return text;
}

class ReloadTest : public ReaderTest
{
protected:
    // A named pipe, kept open by the test so that what it holds stays.
    int Pipe(const std::string& name)
    {
        std::string path = fRoot / name;
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
        EXPECT_GE(fd, 0);
        fPipes.push_back(fd);
        return fd;
    }

    void TearDown() override
    {
        for (int fd : fPipes)
            close(fd);
        ReaderTest::TearDown();
    }

    void Configure(const std::string& text) { std::ofstream(fRoot / "reader.conf") << text; }

    std::string Section(const std::string& name, const std::string& pipe)
    {
        return "[reader]\ntype = lines\nname = " + name + "\npath = " + fRoot / pipe + "\n";
    }

    static void Write(int fd, const std::string& line)
    {
        ASSERT_EQ(write(fd, line.data(), line.size()), (ssize_t)line.size());
    }

    std::vector<int> fPipes;
};

TEST_F(ReloadTest, HangUpFollowsTheChangedFileWithoutLosingARead)
{
    int a = Pipe("a"), b = Pipe("b"), b2 = Pipe("b2"), c = Pipe("c");
    Configure(Section("a", "a") + Section("b", "b"));
    Process client;
    Start(client);
    Process reader;
    ASSERT_TRUE(reader.Start(ReaderProgram(), {"--config", fRoot / "reader.conf"}));

    // Reader a reads all the while; b moves to another pipe, c comes.
    constexpr int kReads = 200;
    std::thread burst([&] {
        for (int i = 0; i < kReads; i++) {
            Write(a, Tag("AB", i) + "\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    ASSERT_TRUE(client.WaitForStdout("search: '" + Tag("AB", 40).substr(1) + "'", 20000))
        << client.Stdout() << reader.Stderr();

    // A file that cannot be followed changes nothing.
    Configure(Section("a", "a") + "[reader]\ntype = usb\n");
    ASSERT_TRUE(reader.Signal(SIGHUP));
    ASSERT_TRUE(reader.WaitForStderr("vek-reader: settings not read again: ", 20000))
        << reader.Stderr();
    Configure(Section("a", "a") + Section("b", "none"));
    ASSERT_TRUE(reader.Signal(SIGHUP));
    ASSERT_TRUE(reader.WaitForStderr("vek-reader: settings not followed: b: ", 20000))
        << reader.Stderr();
    Write(b, "BC000001\n");
    ASSERT_TRUE(client.WaitForStdout("search: 'C000001'", 20000)) << reader.Stderr();

    Configure("hold = 300\n" + Section("a", "a") + Section("b", "b2") + Section("c", "c"));
    ASSERT_TRUE(reader.Signal(SIGHUP));
    ASSERT_TRUE(reader.WaitForStderr("vek-reader: settings read again; readers restarted: b; "
                                     "started: c; stopped: none\n",
                                     20000))
        << reader.Stderr();
    Write(b2, "BC000002\n");
    Write(c, "CD000001\n");
    ASSERT_TRUE(client.WaitForStdout("search: 'C000002'", 20000)) << reader.Stderr();
    ASSERT_TRUE(client.WaitForStdout("search: 'D000001'", 20000)) << reader.Stderr();

    // And b goes.
    Configure(Section("a", "a") + Section("c", "c"));
    ASSERT_TRUE(reader.Signal(SIGHUP));
    ASSERT_TRUE(reader.WaitForStderr("restarted: none; started: none; stopped: b\n", 20000))
        << reader.Stderr();
    burst.join();
    ASSERT_TRUE(client.WaitForStdout("search: '" + Tag("AB", kReads - 1).substr(1) + "'", 20000))
        << reader.Stderr();

    // Every read of a, once, in order: a ran on all the while.
    std::vector<std::string> sent, looked;
    for (int i = 0; i < kReads; i++)
        sent.push_back(Tag("AB", i).substr(1));
    for (const std::string& key : Looked(client.Stdout())) {
        if (key[0] == 'B')
            looked.push_back(key);
    }
    EXPECT_EQ(looked, sent);
    EXPECT_EQ(CountOf(reader.Stdout(), " a AB"), size_t(kReads));
    EXPECT_EQ(reader.Stderr().find("lost"), std::string::npos) << reader.Stderr();

    ASSERT_TRUE(reader.Signal(SIGTERM));
    ASSERT_TRUE(reader.Wait(20000));
    EXPECT_EQ(reader.ExitCode(), 0) << reader.Stderr();
    Quit(client);
}

} // namespace
