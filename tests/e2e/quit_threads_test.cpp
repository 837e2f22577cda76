// Closing the program while tag events pour in; also built and run under
// ThreadSanitizer, where the program itself then runs instrumented.

#include "ProgramHarness.h"

#include <signal.h>

namespace
{

// Sends 1000 tag events in the background.
void StartBurst(Process& sender, const std::vector<std::string>& extraFields = {})
{
    std::vector<std::string> arguments = {"--count", "1000",          "application/VEK_BeOS",
                                          "RFID",    "_time:int32=7", "_tagstr=0123"};
    arguments.insert(arguments.end(), extraFields.begin(), extraFields.end());
    ASSERT_TRUE(sender.Start(std::string(VEK_BUILD_DIR) + "/send-message", arguments));
}

} // namespace

TEST_F(ProgramTest, QuitWhileEventsArriveEndsCleanly)
{
    Process program;
    Start(program);
    Process sender;
    ASSERT_NO_FATAL_FAILURE(StartBurst(sender));
    ASSERT_TRUE(program.WaitForStdout("xinfos: 2\n", 10000));
    Quit(program);
    ASSERT_TRUE(sender.Wait(60000));
    std::string out = program.Stdout();
    EXPECT_EQ(out.size() - 11, out.rfind("\n-VEK end-\n"));
}

TEST_F(ProgramTest, SigtermWhileEventsArriveEndsCleanly)
{
    Process program;
    Start(program);
    Process sender;
    ASSERT_NO_FATAL_FAILURE(StartBurst(sender, {"_fMes=burst"}));
    ASSERT_TRUE(program.WaitForStdout("xinfos: 3\n", 10000));
    ASSERT_TRUE(program.Signal(SIGTERM));
    ASSERT_TRUE(program.Wait(20000));
    EXPECT_EQ(0, program.ExitCode()) << program.Stderr();
    ASSERT_TRUE(sender.Wait(60000));
    EXPECT_EQ(BRect(100, 100, 410, 150), StoredFrame());
}
