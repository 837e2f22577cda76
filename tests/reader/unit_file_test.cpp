// The systemd user unit that the build writes: it starts this build's
// program, and systemd takes it as it is.

#include "support/Process.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

namespace
{

std::string UnitFile()
{
    return std::string(VEK_BUILD_DIR) + "/vek-reader.service";
}

TEST(UnitFile, StartsTheProgramOfThisBuild)
{
    std::ifstream file(UnitFile());
    ASSERT_TRUE(file) << UnitFile();
    std::stringstream text;
    text << file.rdbuf();
    std::string unit = text.str();
    std::string program = std::string(VEK_BUILD_DIR) + "/vek-reader";
    EXPECT_NE(unit.find("\nExecStart=" + program + "\n"), std::string::npos) << unit;
    EXPECT_EQ(unit.find('@'), std::string::npos) << "a placeholder is left:\n" << unit;
    // What it starts runs: with no reader anywhere it says so and ends with 1.
    ScratchDir config;
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    std::string err;
    EXPECT_EQ(Process::Run(program, {}, 20000, nullptr, &err), 1);
    EXPECT_EQ(err.rfind("vek-reader: no reader: ", 0), 0u) << err;
}

TEST(UnitFile, SystemdTakesIt)
{
    struct stat info;
    const char* analyze = "/usr/bin/systemd-analyze";
    if (stat(analyze, &info) != 0)
        GTEST_SKIP() << analyze << " is not installed: the unit is not checked by systemd";
    // The user manager's checks want a runtime folder of their own.
    ScratchDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    std::string out, err;
    EXPECT_EQ(Process::Run(analyze, {"--user", "verify", UnitFile()}, 60000, &out, &err), 0)
        << out << err;
    EXPECT_EQ(err, "");
}

} // namespace
