// The delivery's queue used by several readers' threads at once while no
// client takes anything: line sources wait for room, hardware readers drop
// the oldest, and a stopped reader stops waiting.

#include "outputs/Delivery.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace
{

TEST(DeliveryThreads, ReadersThatWaitForRoomAndReadersThatDoNotShareTheQueue)
{
    DeliverySettings settings;
    settings.target = "application/x-vnd.nobody-at-all";
    settings.capacity = 4;
    settings.longest = std::chrono::milliseconds(30);
    settings.retry = std::chrono::milliseconds(5);
    constexpr int kReads = 40;
    Delivery delivery(settings, BMessenger());

    std::vector<StopSignal> stops(4);
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; r++) {
        readers.emplace_back([&, r] {
            for (int i = 0; i < kReads && !stops[r].IsRaised(); i++)
                delivery.AddWhenRoom({i, "AB" + std::to_string(r * 1000 + i), ""}, stops[r]);
        });
    }
    readers.emplace_back([&] {
        for (int i = 0; i < kReads; i++) {
            delivery.Add({i, "CD" + std::to_string(i), ""});
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    // One line source stops while it may be waiting.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stops[2].Raise();
    delivery.WakeWaiting();
    for (std::thread& reader : readers)
        reader.join();

    delivery.Stop(std::chrono::milliseconds(0));
    Delivery::Counts counts = delivery.GetCounts();
    EXPECT_EQ(counts.delivered, 0u);
    size_t added = counts.droppedFull + counts.droppedOld + counts.waiting;
    EXPECT_GE(added, size_t(3 * kReads));
    EXPECT_LT(added, size_t(4 * kReads));
    EXPECT_EQ(counts.NotDelivered(), added);
}

} // namespace
