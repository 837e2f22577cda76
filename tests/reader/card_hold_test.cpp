// A card held on a reader is one read, whatever the pace at which the reader
// repeats it; taken away and presented again, it is read again. The real
// service reads pseudo-terminal serial readers of three paces at once, and
// a broker's publishes.

#include "reader/MqttBroker.h"
#include "reader/SerialLine.h"
#include "support/Process.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

namespace
{

using namespace std::chrono;

const char kCard[] = "0A1B2C3D4E";

std::string Program()
{
    return std::string(VEK_BUILD_DIR) + "/vek-reader";
}

size_t CountOf(const std::string& text, const std::string& piece)
{
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        count++;
    return count;
}

bool WaitUntil(const std::function<bool()>& done, milliseconds timeout)
{
    auto deadline = steady_clock::now() + timeout;
    while (!done()) {
        if (steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
}

// The reader's frames for a card held for held, taken away for away after
// its last frame, and presented again for a second.
void HoldAndPresentAgain(FarEnd& reader, milliseconds interval, milliseconds held,
                         milliseconds away, std::atomic<bool>* failed)
{
    auto present = [&](milliseconds length) {
        auto start = steady_clock::now();
        for (int i = 0; interval * i < length; i++) {
            std::this_thread::sleep_until(start + interval * i);
            if (!reader.Send(Em4100Frame(kCard)))
                *failed = true;
        }
    };
    present(held);
    std::this_thread::sleep_for(away);
    present(milliseconds(1000));
}

TEST(CardHold, AHeldCardIsOneReadOnReadersOfEveryPace)
{
    ScratchDir folder;
    const int paces[] = {100, 500, 900};
    std::vector<std::unique_ptr<FarEnd>> readers;
    std::vector<std::string> arguments = {"--no-config", "--target", "application/x-vnd.nobody"};
    for (int pace : paces) {
        std::string name = "r" + std::to_string(pace);
        readers.push_back(std::make_unique<FarEnd>(folder / name));
        ASSERT_TRUE(readers.back()->Plug());
        arguments.insert(arguments.end(), {"--serial", folder / name, "--name", name});
    }
    Process service;
    ASSERT_TRUE(service.Start(Program(), arguments));

    // The three at once, to keep the test short.
    std::atomic<bool> failed = false;
    std::vector<std::thread> cards;
    for (size_t i = 0; i < readers.size(); i++)
        cards.emplace_back(HoldAndPresentAgain, std::ref(*readers[i]), milliseconds(paces[i]),
                           seconds(10), seconds(2), &failed);
    for (std::thread& card : cards)
        card.join();
    ASSERT_FALSE(failed);

    for (int pace : paces) {
        std::string read = " r" + std::to_string(pace) + " " + kCard + " ";
        EXPECT_TRUE(WaitUntil([&] { return CountOf(service.Stdout(), read) >= 2; }, seconds(5)))
            << pace << " ms:\n"
            << service.Stdout() << service.Stderr();
        EXPECT_EQ(CountOf(service.Stdout(), read), 2u) << pace << " ms:\n" << service.Stdout();
    }
    service.Signal(SIGTERM);
    EXPECT_TRUE(service.Wait(20000));
}

TEST(CardHold, ACardPublishedAgainWhileHeldIsOneRead)
{
    std::string why = MqttBroker::Unavailable();
    if (!why.empty())
        GTEST_SKIP() << why;
    MqttBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log();
    Process service;
    ASSERT_TRUE(service.Start(Program(), {"--no-config", "--target", "application/x-vnd.nobody",
                                          "--mqtt", "127.0.0.1:" + std::to_string(broker.Port()),
                                          "--name", "net", "--topic", "readers/#"}));
    MqttTestClient reader(broker.Port());
    bool subscribed = false;
    for (int i = 0; i < 100 && !subscribed; i++) {
        ASSERT_TRUE(reader.Publish("readers/door", "F00D"));
        subscribed = WaitUntil([&] { return CountOf(service.Stdout(), " net F00D ") > 0; },
                               milliseconds(200));
    }
    ASSERT_TRUE(subscribed) << service.Stderr();

    for (int i = 0; i < 5; i++)
        ASSERT_TRUE(reader.Publish("readers/door", kCard));
    std::this_thread::sleep_for(seconds(2));
    ASSERT_TRUE(reader.Publish("readers/door", kCard));
    std::string read = std::string(" net ") + kCard + " ";
    EXPECT_TRUE(WaitUntil([&] { return CountOf(service.Stdout(), read) >= 2; }, seconds(20)));
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(CountOf(service.Stdout(), read), 2u) << service.Stdout();
    service.Signal(SIGTERM);
    EXPECT_TRUE(service.Wait(20000));
}

} // namespace
