// The serial EM4100 reader, with a pseudo-terminal standing in for the
// reader's port.

#include "sources/SerialSource.h"
#include "reader/SerialLine.h"
#include "reader/SourceRun.h"
#include "support/ScratchDir.h"

#include <Errors.h>

#include <gtest/gtest.h>

#include <string.h>

namespace
{

const std::string kStx = "\x02";
const std::string kEtx = "\x03";

class SerialTest : public testing::Test
{
protected:
    void SetUp() override
    {
        fSettings.name = "door";
        fSettings.path = fFolder / "ttyUSB-reader";
        ASSERT_TRUE(fReader.Plug());
    }

    // Waits until the source has the port open and set up: Check set it raw
    // at 9600 already, so a frame sent now is read once Run has it open.
    void WaitUntilOpen(SourceLog& sink)
    {
        Send(Em4100Frame("0000000000"));
        ASSERT_TRUE(sink.WaitForTag("0000000000"));
    }

    void Send(const std::string& bytes) { ASSERT_TRUE(fReader.Send(bytes)); }

    ScratchDir fFolder;
    FarEnd fReader{fFolder / "ttyUSB-reader"};
    SerialSettings fSettings;
};

TEST_F(SerialTest, GoodFramesAreReadAndRepeatWhileTheCardIsHeld)
{
    SerialSource source(fSettings);
    std::string error;
    ASSERT_EQ(source.Check(&error), B_OK) << error;
    SourceLog sink;
    SourceThread running(source, sink);
    WaitUntilOpen(sink);

    // Held for five frames, then another card, then one in lower case with
    // CR LF, and the frames of a held card back to back in one write.
    for (int i = 0; i < 5; i++) {
        Send(Em4100Frame("0A1B2C3D4E"));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    Send(Em4100Frame("12345678AB", -1, "\r\n"));
    Send(Em4100Frame("abcdef0123", -1, "\r\n") + "\r\n" + Em4100Frame("abcdef0123") +
         Em4100Frame("ABCDEF0123"));
    ASSERT_TRUE(sink.WaitForTag("ABCDEF0123", 3));

    std::vector<std::string> tags;
    for (const TagRead& read : sink.Reads()) {
        tags.push_back(read.tag);
        EXPECT_EQ(read.reader, "door");
        EXPECT_TRUE(read.repeats);
        EXPECT_FALSE(read.typed);
        EXPECT_TRUE(read.local);
    }
    std::vector<std::string> expected = {"0000000000", "0A1B2C3D4E", "0A1B2C3D4E", "0A1B2C3D4E",
                                         "0A1B2C3D4E", "0A1B2C3D4E", "12345678AB", "ABCDEF0123",
                                         "ABCDEF0123", "ABCDEF0123"};
    EXPECT_EQ(tags, expected);
    EXPECT_TRUE(sink.Skips().empty()) << sink.Skips()[0];
    EXPECT_LT(running.Stop(), std::chrono::milliseconds(1000));
    EXPECT_TRUE(sink.Losses().empty());
}

TEST_F(SerialTest, BadFramesAndNoiseAreSkippedAndSaid)
{
    SerialSource source(fSettings);
    SourceLog sink;
    SourceThread running(source, sink);
    WaitUntilOpen(sink);

    std::string noise(10000, '\0');
    for (size_t i = 0; i < noise.size(); i++)
        noise[i] = char(0x80 + i % 0x70);
    Send(Em4100Frame("0A1B2C3D4E", 0x00));             // bad checksum
    Send(Em4100Frame("0A1B2C3D4G", 0x00));             // not hex
    Send(kStx + "0A1B2C" + kEtx);                      // short
    Send(kStx + "0A1B2C" + Em4100Frame("1111111111")); // cut by the next frame
    Send(kStx + std::string(40, '7') + kEtx);          // far too long
    Send(noise);
    Send(Em4100Frame("2222222222"));
    ASSERT_TRUE(sink.WaitForTag("2222222222"));

    // Half a frame, then silence: the rest, when it comes, is no frame.
    Send(kStx + "0A1B2");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    Send("C3D4E00" + kEtx);
    Send(Em4100Frame("3333333333"));
    ASSERT_TRUE(sink.WaitForTag("3333333333"));

    std::vector<std::string> tags;
    for (const TagRead& read : sink.Reads())
        tags.push_back(read.tag);
    EXPECT_EQ(tags,
              (std::vector<std::string>{"0000000000", "1111111111", "2222222222", "3333333333"}));
    std::vector<std::string> skips = sink.Skips();
    ASSERT_EQ(skips.size(), 8u) << testing::PrintToString(skips);
    EXPECT_NE(skips[0].find("bad checksum 00, the tag's bytes give 4E"), std::string::npos)
        << skips[0];
    EXPECT_NE(skips[1].find("not hex digits"), std::string::npos) << skips[1];
    EXPECT_NE(skips[2].find("6 characters where 12 hex digits belong"), std::string::npos)
        << skips[2];
    EXPECT_NE(skips[3].find("a new frame began within it"), std::string::npos) << skips[3];
    EXPECT_NE(skips[4].find("too long"), std::string::npos) << skips[4];
    // The rest of the long frame and the noise run are said as one run each
    // time a frame begins, not byte by byte.
    EXPECT_EQ(skips[5], std::to_string(40 - 16 + 1 + 10000) + " bytes of noise between frames");
    EXPECT_NE(skips[6].find("\"0A1B2\": the line fell silent"), std::string::npos) << skips[6];
    EXPECT_EQ(skips[7], "8 bytes of noise between frames");
}

TEST_F(SerialTest, PortIsSetUpAsGivenAndBadSettingsAreRefused)
{
    fSettings.baud = 19200;
    fSettings.dataBits = 7;
    fSettings.parity = 'E';
    fSettings.stopBits = 2;
    SerialSource source(fSettings);
    std::string error;
    ASSERT_EQ(source.Check(&error), B_OK) << error;
    // A pseudo-terminal keeps the speed and the stop bits, but always has 8
    // data bits and no parity, whatever it is told.
    termios line = fReader.Line();
    EXPECT_EQ(cfgetispeed(&line), speed_t(B19200));
    EXPECT_EQ(cfgetospeed(&line), speed_t(B19200));
    EXPECT_TRUE(line.c_cflag & CSTOPB);
    EXPECT_TRUE(line.c_cflag & CLOCAL);
    EXPECT_FALSE(line.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(line.c_iflag & (IXON | ICRNL));

    struct Bad {
        void (*change)(SerialSettings&);
        const char* says;
    };
    const Bad bad[] = {
        {[](SerialSettings& s) { s.baud = 1234; }, "door: unsupported baud rate 1234"},
        {[](SerialSettings& s) { s.dataBits = 9; }, "door: data bits must be 5 to 8, not 9"},
        {[](SerialSettings& s) { s.parity = 'X'; }, "door: parity must be N, E or O, not X"},
        {[](SerialSettings& s) { s.stopBits = 3; }, "door: stop bits must be 1 or 2, not 3"},
        {[](SerialSettings& s) { s.path = ""; }, "door: no serial port given"},
        {[](SerialSettings& s) { s.path = "/nonexistent/ttyUSB9"; },
         "door: cannot open /nonexistent/ttyUSB9: No such file or directory"},
        {[](SerialSettings& s) { s.path = "/dev/null"; }, "door: /dev/null is not a serial port"},
    };
    for (const Bad& each : bad) {
        SerialSettings settings = fSettings;
        each.change(settings);
        SerialSource refused(settings);
        error.clear();
        EXPECT_EQ(refused.Check(&error), B_ERROR) << each.says;
        EXPECT_EQ(error.substr(0, strlen(each.says)), each.says);
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST_F(SerialTest, PortThatGoesAwayIsSaidOnceAndReopenedWhenItComesBack)
{
    SerialSource source(fSettings);
    SourceLog sink;
    SourceThread running(source, sink);
    WaitUntilOpen(sink);

    // Pulled out in the middle of a frame: the half frame is not a read.
    Send(Em4100Frame("0A1B2C3D4E") + kStx + "12345");
    ASSERT_TRUE(sink.WaitForTag("0A1B2C3D4E"));
    fReader.Unplug();
    ASSERT_TRUE(sink.WaitForLosses(1));
    EXPECT_EQ(sink.Losses()[0], "the port was hung up");
    ASSERT_EQ(sink.Skips().size(), 1u);
    EXPECT_NE(sink.Skips()[0].find("\"12345\": cut off when the port went away"), std::string::npos)
        << sink.Skips()[0];

    // Away for a while: said once, however often it is tried.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(sink.Losses().size(), 1u);
    EXPECT_EQ(sink.Backs(), 0);

    ASSERT_TRUE(fReader.Plug());
    ASSERT_TRUE(sink.WaitForBacks(1));
    Send(Em4100Frame("0A1B2C3D4E"));
    ASSERT_TRUE(sink.WaitForTag("0A1B2C3D4E", 2));

    // And once more, quickly.
    fReader.Unplug();
    ASSERT_TRUE(sink.WaitForLosses(2));
    ASSERT_TRUE(fReader.Plug());
    ASSERT_TRUE(sink.WaitForBacks(2));
    Send(Em4100Frame("5555555555"));
    ASSERT_TRUE(sink.WaitForTag("5555555555"));
    EXPECT_EQ(sink.Reads().size(), 4u);
    EXPECT_EQ(sink.Skips().size(), 1u);
    EXPECT_EQ(sink.Losses().size(), 2u);
}

} // namespace
