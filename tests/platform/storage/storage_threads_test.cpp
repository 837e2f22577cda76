#include "support/ScratchDir.h"

#include <Entry.h>
#include <Node.h>
#include <NodeInfo.h>
#include <Path.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

// The ref table and the content sniffer are shared by the whole process.
TEST(StorageThreads, RefsAndTypesFromSeveralThreads)
{
    ScratchDir scratch;
    constexpr int kThreads = 4;
    constexpr int kRounds = 40;
    for (int t = 0; t < kThreads; t++) {
        std::string folder = scratch / ("d" + std::to_string(t));
        ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
        scratch.WriteFile("d" + std::to_string(t) + "/text", "plain words\n");
    }

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) {
        threads.emplace_back([&, t] {
            std::string file = scratch / ("d" + std::to_string(t) + "/text");
            for (int round = 0; round < kRounds; round++) {
                entry_ref ref;
                if (get_ref_for_path(file.c_str(), &ref) != B_OK) {
                    failures++;
                    continue;
                }
                BPath path(&ref);
                if (path.InitCheck() != B_OK || file != path.Path())
                    failures++;
                BNode node(file.c_str());
                BNodeInfo info(&node);
                char type[B_MIME_TYPE_LENGTH];
                if (info.GetType(type) != B_OK || std::string(type) != "text/plain")
                    failures++;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, failures.load());
}
