// The service's messages on standard error: plain lines in a terminal or a
// file, lines with the journal's priority prefix when standard error is the
// journal's stream.

#include "support/Process.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace
{

std::string Program()
{
    return std::string(VEK_BUILD_DIR) + "/vek-reader";
}

// Starts the service; journal: JOURNAL_STREAM names its standard error (as
// systemd sets it), else another stream.
void Start(Process& service, bool journal, const std::vector<std::string>& arguments)
{
    std::string run = journal ? "JOURNAL_STREAM=$(stat -L -c %d:%i /dev/stderr) "
                              : "JOURNAL_STREAM=$(stat -L -c %d:%i /dev/null) ";
    run += "exec \"$0\" --no-config";
    for (size_t i = 0; i < arguments.size(); i++)
        run += " \"$" + std::to_string(i + 1) + "\"";
    std::vector<std::string> shellArguments = {"-c", run, Program()};
    shellArguments.insert(shellArguments.end(), arguments.begin(), arguments.end());
    ASSERT_TRUE(service.Start("/bin/sh", shellArguments));
}

TEST(ReaderMessages, TheJournalGetsEachLineWithItsPriority)
{
    for (bool journal : {false, true}) {
        Process refused;
        Start(refused, journal, {"--bogus"});
        ASSERT_TRUE(refused.Wait(20000));
        EXPECT_EQ(refused.Stderr(), std::string(journal ? "<3>" : "vek-reader: ") +
                                        "unknown option --bogus; see --help\n");
    }

    // Input that is no read is a notice; a client that is not running a
    // warning; reads never delivered an error.
    Process service;
    service.SetInput("hello\n04A1B2C3\n");
    Start(service, true, {"--stdin", "--target", "application/x-vnd.nobody"});
    ASSERT_TRUE(service.WaitForStderr("not running", 20000)) << service.Stderr();
    service.Signal(SIGTERM);
    ASSERT_TRUE(service.Wait(20000));
    std::string err = service.Stderr();
    EXPECT_NE(err.find("<5>stdin: skipped: \"hello\" is not a hex tag\n"), std::string::npos)
        << err;
    EXPECT_NE(err.find("<4>application/x-vnd.nobody is not running"), std::string::npos) << err;
    EXPECT_NE(err.find("<3>1 reads were never delivered to application/x-vnd.nobody\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("vek-reader:"), std::string::npos) << err;
}

} // namespace
