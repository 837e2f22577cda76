#include "WindowHarness.h"

#include <Messenger.h>

class TagTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        Picture("givecard2", 100, 80);
        Picture("none", 30, 30);
        Picture("alice", 64, 64);
        WriteList("alice|A1B2 CAFE\n");
    }

    // Fills the log with n bytes of old lines, as earlier events would have.
    void FillLog(int32 bytes)
    {
        std::string text;
        while ((int32)text.size() < bytes)
            text += "x";
        Log()->SetText(text.c_str());
    }
};

TEST_F(TagTest, RoadOfOneTagEvent)
{
    Open();
    BMessage event = TagEvent(57, "A1B2");
    std::string trace = Send(&event);
    EXPECT_EQ("xinfos: 2\n"
              "Modus: 4 | search: '1B2'\n"
              "Modus: A_LOOK\n"
              "image: '" +
                  Avatar("alice") +
                  "'\n"
                  "ManageLogo end 'alice'\n",
              trace);
    EXPECT_EQ(" [57] <A1B2>\n", LogText());
    EXPECT_EQ(BRect(4, 4, 67, 67), fWindow->FindView("logo")->Frame());
    EXPECT_EQ(BRect(0, 0, 310, 73), fWindow->Bounds());
}

TEST_F(TagTest, NewestLineIsOnTop)
{
    Open();
    BMessage first = TagEvent(1, "0CAFE");
    BMessage second = TagEvent(-5, "9");
    Send(&first);
    Send(&second);
    EXPECT_EQ(" [-5] <9>\n [1] <0CAFE>\n", LogText());
}

TEST_F(TagTest, MessageEventsShowTheirTextAndGivecard2)
{
    Open();
    BMessage one = TagEvent(3, "A1B2", "x");
    std::string trace = Send(&one);
    EXPECT_EQ(" [3] <A1B2>\n", LogText()) << "a one-byte text is a plain tag event";
    EXPECT_NE(std::string::npos, trace.find("Modus: 4 | search: '1B2'"));

    BMessage two = TagEvent(4, "A1B2", "hi");
    trace = Send(&two);
    EXPECT_EQ(" ..hi\n [3] <A1B2>\n", LogText());
    EXPECT_EQ("xinfos: 3\nimage: '" + Avatar("givecard2") + "'\nManageLogo end 'givecard2'\n",
              trace);
    EXPECT_EQ(BRect(0, 0, 310, 89), fWindow->Bounds());
}

TEST_F(TagTest, MessageEventsLeaveAMinimisedWindowMinimised)
{
    Open();
    Show();
    ASSERT_TRUE(fWindow->Lock());
    fWindow->Minimize(true);
    fWindow->Unlock();
    BMessage message = TagEvent(4, "A1B2", "card please");
    Send(&message);
    ASSERT_TRUE(fWindow->Lock());
    EXPECT_TRUE(fWindow->IsMinimized());
    fWindow->Unlock();

    BMessage tag = TagEvent(5, "A1B2");
    Send(&tag);
    ASSERT_TRUE(fWindow->Lock());
    EXPECT_FALSE(fWindow->IsMinimized()) << "a plain tag event brings it back";
    fWindow->Unlock();
}

TEST_F(TagTest, MissingAndMistypedFieldsReadAsEmpty)
{
    Open();
    BMessage bare('RFID');
    std::string trace = Send(&bare);
    EXPECT_EQ(" [0] <>\n", LogText());
    EXPECT_EQ(0u, trace.find("xinfos: 0\nModus: 4 | search: ''\n")) << trace;
    EXPECT_NE(std::string::npos, trace.find("ManageLogo end 'none'"))
        << "an empty key names nobody";

    BMessage odd('RFID');
    odd.AddString("_time", "57");
    odd.AddInt32("_tagstr", 12);
    odd.AddInt32("_fMes", 99);
    odd.AddBool("extra", true);
    trace = Send(&odd);
    EXPECT_EQ(" [0] <>\n [0] <>\n", LogText());
    EXPECT_EQ(0u, trace.find("xinfos: 4\n"));

    BMessage single = TagEvent(8, "Z");
    trace = Send(&single);
    EXPECT_EQ(0u, LogText().find(" [8] <Z>\n"));
    EXPECT_NE(std::string::npos, trace.find("ManageLogo end 'none'")) << trace;

    // Alice's tags hold a blank, but a key of blanks names nobody either.
    BMessage blank = TagEvent(9, "X ");
    trace = Send(&blank);
    EXPECT_EQ(0u, LogText().find(" [9] <X >\n"));
    EXPECT_NE(std::string::npos, trace.find("ManageLogo end 'none'")) << trace;
}

TEST_F(TagTest, NullMessageDoesNothing)
{
    Open();
    EXPECT_EQ("", Trace([&] { fWindow->ShowRfidTag(NULL); }));
    EXPECT_EQ("", LogText());
}

TEST_F(TagTest, LogOf400BytesStaysAnd401IsCrunched)
{
    Open();
    BMessage event = TagEvent(57, "A1B2"); // 13 bytes
    FillLog(400 - 13);
    std::string trace = Send(&event);
    EXPECT_EQ(400, Log()->TextLength());
    EXPECT_EQ(std::string::npos, trace.find("laenge"));

    Log()->SetText("");
    FillLog(401 - 13);
    trace = Send(&event);
    EXPECT_NE(std::string::npos, trace.find("A laenge: 401 (chrunch)\nB laenge: 213 (chrunch)\n"))
        << trace;
    std::string log = LogText();
    EXPECT_EQ(213u, log.size());
    EXPECT_EQ(0u, log.find(" [57] <A1B2>\n"));
    EXPECT_EQ(log.size() - 12, log.rfind("..(Crunched)"));
}

TEST_F(TagTest, SeveralCrunchesLeaveOneMarker)
{
    Open();
    for (int32 i = 0; i < 200; i++) {
        BMessage event = TagEvent(i, "A1B2");
        Send(&event);
        ASSERT_LE(Log()->TextLength(), 400);
    }
    std::string log = LogText();
    EXPECT_EQ(1u, CountOf(log, "..(Crunched)"));
    EXPECT_EQ(log.size() - 12, log.rfind("..(Crunched)"));
    EXPECT_EQ(0u, log.find(" [199] <A1B2>\n"));
}

TEST_F(TagTest, LongLinesShrinkBy188PerEvent)
{
    Open();
    std::string tag(1000, 'T');
    BMessage big = TagEvent(1, tag.c_str());
    Send(&big);
    int32 length = (int32)(tag.size() + 8);
    EXPECT_EQ(length - 188, Log()->TextLength());

    BMessage small = TagEvent(2, "A1B2");
    std::string trace = Send(&small);
    EXPECT_EQ(length - 188 + 12 - 188, Log()->TextLength()) << trace;
}

TEST_F(TagTest, HugeAndOddTextsNeverBreakTheLog)
{
    Open();
    BMessage control = TagEvent(2, "\x01\x02\x1b[31m\xff\xfe\xc3", "\xe2\x82");
    Send(&control);
    BMessage message = TagEvent(3, "x", "\xc3(\xa0\xa1 \x7f");
    Send(&message);
    EXPECT_EQ(0u, LogText().find(" ..\xc3(\xa0\xa1 \x7f\n"));
}

TEST_F(TagTest, TooLongTextsAreCutWithAMarkerAndTheLogStaysBounded)
{
    Open();
    // An 8 MB tag: the line and the lookup's trace show its first bytes and
    // the marker.
    std::string huge(8 << 20, 'H');
    BMessage event = TagEvent(1, huge.c_str());
    std::string trace = Send(&event);
    std::string shown = " [1] <" + std::string(2041, 'H') + "..(Cut)>\n";
    EXPECT_EQ(shown.substr(0, shown.size() - 200) + "..(Crunched)", LogText())
        << "alone, it loses its end to the crunch";
    EXPECT_NE(std::string::npos,
              trace.find("Modus: 4 | search: '" + std::string(2041, 'H') + "..(Cut)'\n"));
    EXPECT_LT(trace.size(), 4096u);

    FillLog(1000);
    Send(&event);
    EXPECT_EQ(0u, LogText().find(shown));
    BMessage text = TagEvent(2, "A1B2", huge.c_str());
    Send(&text);
    EXPECT_EQ(0u, LogText().find(" .." + std::string(2041, 'H') + "..(Cut)\n [1] <HHH"));
    EXPECT_EQ(4096, Log()->TextLength()) << "the crunch alone would leave 4720 bytes";

    // A cut never leaves half a character.
    std::string umlauts;
    while (umlauts.size() < 3000)
        umlauts += "\xc3\xbc";
    BMessage wide = TagEvent(3, umlauts.c_str());
    FillLog(1000);
    Send(&wide);
    EXPECT_EQ(0u, LogText().find(" [3] <" + umlauts.substr(0, 2040) + "..(Cut)>\n"));

    // Lines longer than the crunch cut, even those that are not cut, would
    // grow the log at every event.
    std::string longTag(300, 'L');
    for (int32 i = 0; i < 60; i++) {
        BMessage next = TagEvent(i, longTag.c_str());
        Send(&next);
        ASSERT_LE(Log()->TextLength(), 4096) << "after event " << i;
    }
    std::string log = LogText();
    EXPECT_EQ(1u, CountOf(log, "..(Crunched)"));
    EXPECT_EQ(log.size() - 12, log.rfind("..(Crunched)"));
    EXPECT_EQ(0u, log.find(" [59] <" + longTag + ">\n"));
}

TEST_F(TagTest, SendersControlBytesAreEscapedInTracesOnly)
{
    Open();
    BMessage event = TagEvent(1, "X\x1b]2;owned\x07\xc3\xbc\xff\n");
    std::string trace = Send(&event);
    EXPECT_NE(std::string::npos,
              trace.find("Modus: 4 | search: '\\x1b]2;owned\\x07\xc3\xbc\\xff\\x0a'\n"))
        << trace;
    EXPECT_EQ(std::string::npos, trace.find('\x1b'));
    EXPECT_EQ(" [1] <X\x1b]2;owned\x07\xc3\xbc\xff\n>\n", LogText());
}

TEST_F(TagTest, CallbackMessengerIsTakenOnce)
{
    Open();
    BMessage first = TagEvent(1, "A1B2");
    first.AddMessenger("_f2CallMe", BMessenger(fWindow));
    std::string trace = Send(&first);
    EXPECT_EQ(0u, trace.find("NOW WE HAVE A CALLBACK MESSENGER :) \nxinfos: 3\n")) << trace;

    BMessage second = TagEvent(2, "A1B2");
    second.AddMessenger("_f2CallMe", BMessenger(be_app));
    trace = Send(&second);
    EXPECT_EQ(0u, trace.find("xinfos: 3\n")) << trace;

    BMessage wrongType = TagEvent(3, "A1B2");
    wrongType.AddString("_f2CallMe", "not a messenger");
    EXPECT_EQ(0u, Send(&wrongType).find("xinfos: 3\n"));
}

TEST_F(TagTest, EventsFromAnotherThreadTakeTheWindowLock)
{
    Open();
    Show();
    BMessage event = TagEvent(57, "A1B2");
    std::string trace = Send(&event);
    EXPECT_NE(std::string::npos, trace.find("ManageLogo end 'alice'"));
    ASSERT_TRUE(fWindow->Lock());
    EXPECT_EQ(" [57] <A1B2>\n", LogText());
    fWindow->Unlock();
}
