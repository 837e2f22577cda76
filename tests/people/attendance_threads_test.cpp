// The service's attendance from many readers' threads at once: every read
// named and recorded as one whole CSV line, while the settings change.

#include "outputs/Attendance.h"

#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

TEST(AttendanceThreads, ReadsFromManyThreadsAreRecordedWhole)
{
    ScratchDir app;
    app.WriteFile("rfid_avatar_list", "alice|04A1B2C3\nbob, the \"second\"|0455AA12\n");
    std::string record = app / "reads.csv";
    Attendance attendance(app.Path(), record);

    constexpr int kThreads = 4;
    constexpr int kReads = 100;
    std::vector<std::thread> readers;
    for (int t = 0; t < kThreads; t++) {
        readers.emplace_back([&, t] {
            for (int i = 0; i < kReads; i++) {
                const char* tag = i % 3 == 0 ? "04A1B2C3" : i % 3 == 1 ? "0455AA12" : "04BADBAD";
                std::string name = attendance.Read(1796700000 + i, "r" + std::to_string(t), tag);
                EXPECT_EQ(name, i % 3 == 0   ? "alice"
                                : i % 3 == 1 ? "bob, the \"second\""
                                             : "unknown");
            }
        });
    }
    // The settings read again meanwhile, naming the same files.
    for (int i = 0; i < 50; i++)
        attendance.Follow(app.Path(), record);
    for (std::thread& reader : readers)
        reader.join();

    std::istringstream lines(app.ReadFile("reads.csv"));
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "time,reader,tag,name\r");
    std::regex row("^[0-9-]{10}T[0-9:]{8}[+-][0-9]{2}:[0-9]{2},r[0-9],"
                   "(04A1B2C3,alice|0455AA12,\"bob, the \"\"second\"\"\"|04BADBAD,unknown)\r$");
    int rows = 0;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, row)) << line;
        rows++;
    }
    EXPECT_EQ(rows, kThreads * kReads);
}
