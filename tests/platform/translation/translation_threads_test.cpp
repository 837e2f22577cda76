#include "platform/translation/RosterDecode.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace TestPictures;

// Threads that meet the default roster for the first time together, then decode
// different formats through it at once.
TEST(TranslationThreadsTest, TheDefaultRosterServesManyThreads)
{
    Bytes png = EncodePng(4, 4, PNG_COLOR_TYPE_GRAY, 8, true, Bytes(16, 60));
    Bytes jpeg = EncodeJpeg(8, 8, 3, Bytes(8 * 8 * 3, 128));
    GifFrame frame = {0, 0, 4, 4, true, 1, Bytes(16, 0)};
    Bytes gif = EncodeGif(4, 4, {{1, 2, 3}, {4, 5, 6}}, {frame});
    const Bytes* pictures[] = {&png, &jpeg, &gif};

    std::atomic<bool> go{false};
    std::atomic<int> failures{0};
    std::atomic<int> distinctRosters{0};
    BTranslatorRoster* seen[4] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([&, t] {
            while (!go.load())
                std::this_thread::yield();
            seen[t] = BTranslatorRoster::Default();
            for (int i = 0; i < 15; i++) {
                std::unique_ptr<BBitmap> bitmap;
                const Bytes& picture = *pictures[(t + i) % 3];
                if (Decode(picture, &bitmap) != B_OK || bitmap->Bounds().Width() < 3)
                    failures++;
            }
        });
    }
    go = true;
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 1; t < 4; t++)
        distinctRosters += seen[t] != seen[0];
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(distinctRosters.load(), 0);
    EXPECT_NE(seen[0], nullptr);
}
