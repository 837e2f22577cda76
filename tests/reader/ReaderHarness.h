#ifndef VEK_TESTS_READER_READER_HARNESS_H
#define VEK_TESTS_READER_READER_HARNESS_H

// The real client and the real reader service side by side, in the private
// folders of ProgramTest; the service reads the test's lines on a pipe.

#include "e2e/ProgramHarness.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

class ReaderTest : public ProgramTest
{
protected:
    static std::string ReaderProgram() { return std::string(VEK_BUILD_DIR) + "/vek-reader"; }

    // Starts the service; with a pipe, fInput is its standard input.
    void StartReader(Process& reader, std::vector<std::string> arguments, bool pipe = true)
    {
        arguments.insert(arguments.begin(), "--no-config");
        if (pipe) {
            fInput = reader.PipeInput();
            ASSERT_GE(fInput, 0);
        }
        ASSERT_TRUE(reader.Start(ReaderProgram(), arguments));
    }

    void TearDown() override { CloseInput(); }

    void Type(const std::string& text)
    {
        ASSERT_EQ(write(fInput, text.data(), text.size()), (ssize_t)text.size());
    }

    void CloseInput()
    {
        if (fInput >= 0)
            close(fInput);
        fInput = -1;
    }

    // The lookup keys in the client's trace, in order: each tag without its
    // first character.
    static std::vector<std::string> Looked(const std::string& trace)
    {
        std::vector<std::string> keys;
        const std::string marker = "Modus: 4 | search: '";
        for (size_t at = trace.find(marker); at != std::string::npos;
             at = trace.find(marker, at + 1)) {
            size_t start = at + marker.size();
            keys.push_back(trace.substr(start, trace.find('\'', start) - start));
        }
        return keys;
    }

    // What the client does for a plain tag event that shows name's picture.
    std::string ShownFor(const std::string& tag, const std::string& name) const
    {
        return "xinfos: 3\nModus: 4 | search: '" + tag.substr(1) + "'\nModus: A_LOOK\nimage: '" +
               Avatar(name) + "'\nManageLogo end '" + name + "'\n";
    }

    // What two clients looked up between them when the first was killed
    // during a burst of reads (sent, in order): every read once, in order.
    // A send counts as done once the client has the message in its queue, so
    // what the killed client had queued but not yet handled went with it:
    // those, and only those, may be missing. They lie between the last read
    // it handled and the first its successor got; with reads some ms apart
    // and the client far quicker than that, its queue holds a few at most.
    static void ExpectOnlyTakenReadsLost(const std::vector<std::string>& sent,
                                         const std::vector<std::string>& before,
                                         const std::vector<std::string>& after)
    {
        constexpr size_t kMostLost = 5;
        std::vector<std::string> all = before;
        all.insert(all.end(), after.begin(), after.end());
        EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), all.size());
        EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
        ASSERT_FALSE(before.empty());
        ASSERT_FALSE(after.empty());
        size_t missing = 0;
        for (const std::string& read : sent) {
            if (std::find(all.begin(), all.end(), read) != all.end())
                continue;
            missing++;
            EXPECT_GT(read, before.back()) << "lost before the kill: " << read;
            EXPECT_LT(read, after.front()) << "lost after the restart: " << read;
        }
        EXPECT_LE(missing, kMostLost);
    }

    static bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    int fInput = -1;
};

#endif
