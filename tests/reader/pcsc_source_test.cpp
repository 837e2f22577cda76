// The PC/SC reader against the real pcscd, with vpcd's virtual reader and a
// virtual card of the test's own.

#include "sources/PcscSource.h"
#include "reader/Pcscd.h"
#include "reader/SourceRun.h"
#include "support/ScratchDir.h"

#include <gtest/gtest.h>

#include <winscard.h>

#include <stdlib.h>
#include <string.h>

namespace
{

const std::vector<uint8_t> kUidAnswer = {0x04, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x90, 0x00};
const char kUid[] = "04A1B2C3D4E5F6";
const char kSlot0[] = "Virtual PCD 00 00";
const char kSlot1[] = "Virtual PCD 00 01";

// The client library reads PCSCLITE_CSOCK_NAME once, at its first use: one
// folder for pcscd serves the whole test program.
const std::string& PcscdFolder()
{
    static ScratchDir folder;
    static bool set = setenv("PCSCLITE_CSOCK_NAME", (folder / "pcscd.comm").c_str(), 1) == 0;
    (void)set;
    return folder.Path();
}

// Asks pcscd, as any PC/SC program would, whether a reader whose name
// contains reader has a card (or has none), until it does or time is up.
bool WaitForCard(const std::string& reader, bool present, int timeoutMs = 20000)
{
    SCARDCONTEXT context;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
        return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool seen = false;
    while (!seen && std::chrono::steady_clock::now() < deadline) {
        char names[4096];
        DWORD size = sizeof(names);
        if (SCardListReaders(context, nullptr, names, &size) == SCARD_S_SUCCESS) {
            for (const char* name = names; *name != 0; name += strlen(name) + 1) {
                if (strstr(name, reader.c_str()) == nullptr)
                    continue;
                SCARD_READERSTATE state{};
                state.szReader = name;
                SCardGetStatusChange(context, 0, &state, 1);
                seen = bool(state.dwEventState & SCARD_STATE_PRESENT) == present;
            }
        }
        if (!seen)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    SCardReleaseContext(context);
    return seen;
}

bool WaitForReader(const std::string& reader)
{
    return WaitForCard(reader, false);
}

class PcscTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string why = Pcscd::Unavailable();
        if (!why.empty())
            GTEST_SKIP() << why;
        fPcscd = std::make_unique<Pcscd>(PcscdFolder());
        fSettings.name = "nfc";
        fSettings.match = "Virtual PCD";
    }

    void StartPcscd()
    {
        fPcscd->AddVirtualReader();
        ASSERT_TRUE(fPcscd->Start()) << fPcscd->Log();
        ASSERT_TRUE(WaitForReader(kSlot0)) << fPcscd->Log();
    }

    // Takes the card away and waits until pcscd has seen it go.
    void Remove(VirtualCard& card, const char* slot)
    {
        card.Remove();
        ASSERT_TRUE(WaitForCard(slot, false));
    }

    std::unique_ptr<Pcscd> fPcscd;
    PcscSettings fSettings;
};

TEST_F(PcscTest, CardIsOneReadWhileItStaysAndAnotherWhenPutBack)
{
    StartPcscd();
    PcscSource source(fSettings);
    std::string error;
    ASSERT_EQ(source.Check(&error), B_OK) << error;
    SourceLog sink;
    SourceThread running(source, sink);

    VirtualCard card(kUidAnswer);
    ASSERT_TRUE(card.Insert(fPcscd->CardPort(0)));
    ASSERT_TRUE(sink.WaitForReads(1)) << fPcscd->Log();
    TagRead read = sink.Reads()[0];
    EXPECT_EQ(read.tag, kUid);
    EXPECT_EQ(read.reader, "nfc");
    EXPECT_FALSE(read.repeats);
    EXPECT_FALSE(read.typed);
    EXPECT_TRUE(read.local);

    // pcscd looks at the virtual reader every 400 ms: held for several looks.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(sink.Reads().size(), 1u);

    Remove(card, kSlot0);
    ASSERT_TRUE(card.Insert(fPcscd->CardPort(0)));
    ASSERT_TRUE(sink.WaitForReads(2));
    EXPECT_EQ(sink.Reads()[1].tag, kUid);

    // The other slot is a reader of its own.
    VirtualCard other({0x01, 0x02, 0x03, 0x04, 0x90, 0x00});
    ASSERT_TRUE(other.Insert(fPcscd->CardPort(1)));
    ASSERT_TRUE(sink.WaitForTag("01020304"));

    EXPECT_EQ(sink.Reads().size(), 3u);
    EXPECT_TRUE(sink.Skips().empty());
    EXPECT_TRUE(sink.Losses().empty());
    EXPECT_LT(running.Stop().count(), 2000);
}

TEST_F(PcscTest, CardsThatRefuseOrAnswerShortAreSkipped)
{
    StartPcscd();
    PcscSource source(fSettings);
    SourceLog sink;
    SourceThread running(source, sink);

    VirtualCard refusing({0x6A, 0x81});
    VirtualCard shortAnswer({0x90});
    ASSERT_TRUE(refusing.Insert(fPcscd->CardPort(0)));
    ASSERT_TRUE(sink.WaitForSkips(1));
    ASSERT_TRUE(shortAnswer.Insert(fPcscd->CardPort(1)));
    ASSERT_TRUE(sink.WaitForSkips(2));
    std::vector<std::string> skips = sink.Skips();
    EXPECT_EQ(skips[0], std::string("card on ") + kSlot0 +
                            ": the card refused the UID request (status 6A 81)");
    EXPECT_EQ(skips[1],
              std::string("card on ") + kSlot1 + ": short answer to the UID request (1 bytes)");

    // Still reading: a good card after them.
    Remove(refusing, kSlot0);
    VirtualCard good(kUidAnswer);
    ASSERT_TRUE(good.Insert(fPcscd->CardPort(0)));
    ASSERT_TRUE(sink.WaitForReads(1));
    EXPECT_EQ(sink.Reads()[0].tag, kUid);
    EXPECT_EQ(sink.Skips().size(), 2u);
    EXPECT_EQ(refusing.UidRequests(), 1);
}

TEST_F(PcscTest, PcscdIsWaitedForAtTheStartAndAfterItWentAway)
{
    PcscSource source(fSettings);
    std::string error;
    EXPECT_EQ(source.Check(&error), B_OK) << error;
    SourceLog sink;
    SourceThread running(source, sink);
    ASSERT_TRUE(sink.WaitForLosses(1));
    EXPECT_EQ(sink.Losses()[0], "pcscd is not running");
    // Several attempts meanwhile, none of them said.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(sink.Losses().size(), 1u);

    StartPcscd();
    ASSERT_TRUE(sink.WaitForBacks(1));
    VirtualCard card(kUidAnswer);
    ASSERT_TRUE(card.Insert(fPcscd->CardPort(0)));
    ASSERT_TRUE(sink.WaitForReads(1));

    // Gone while a card lies on its reader.
    fPcscd->Stop();
    ASSERT_TRUE(sink.WaitForLosses(2));
    EXPECT_EQ(sink.Backs(), 1);

    StartPcscd();
    ASSERT_TRUE(sink.WaitForBacks(2));
    ASSERT_TRUE(card.Insert(fPcscd->CardPort(0)));
    ASSERT_TRUE(sink.WaitForReads(2));
    EXPECT_EQ(sink.Reads()[1].tag, kUid);
    EXPECT_EQ(sink.Losses().size(), 2u);
    EXPECT_EQ(sink.Backs(), 2);
    EXPECT_LT(running.Stop().count(), 2000);
}

TEST_F(PcscTest, NoReaderYetIsWaitedForQuietly)
{
    ASSERT_TRUE(fPcscd->Start()) << fPcscd->Log();
    PcscSource source(fSettings);
    SourceLog sink;
    SourceThread running(source, sink);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(sink.Losses().empty()) << sink.Losses()[0];
    EXPECT_TRUE(sink.Skips().empty());
    EXPECT_LT(running.Stop().count(), 2000);
}

} // namespace
