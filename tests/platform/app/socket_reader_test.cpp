// The socket reader against truncated, oversized and garbled input, over a
// real socket pair.

#include <Message.h>

#include "app/MessageFrame.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

using BPrivate::MessageFrame;
using ReadResult = BPrivate::MessageFrame::ReadResult;

namespace
{

class SocketPair
{
public:
    SocketPair() { EXPECT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM, 0, fSockets)); }
    ~SocketPair()
    {
        CloseWriter();
        close(fSockets[0]);
    }
    int Reader() const { return fSockets[0]; }
    int Writer() const { return fSockets[1]; }
    void CloseWriter()
    {
        if (fSockets[1] >= 0)
            close(fSockets[1]);
        fSockets[1] = -1;
    }
    // Writes from a thread of its own, so that big frames do not fill the socket first.
    std::thread WriteAsync(std::vector<char> bytes, bool closeAfter)
    {
        return std::thread([this, bytes = std::move(bytes), closeAfter] {
            size_t done = 0;
            while (done < bytes.size()) {
                ssize_t sent =
                    send(Writer(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
                if (sent <= 0)
                    break;
                done += (size_t)sent;
            }
            if (closeAfter)
                CloseWriter();
        });
    }

private:
    int fSockets[2] = {-1, -1};
};

// A reader that waited for bytes that never come fails instead of hanging.
class SocketReaderTest : public ::testing::Test
{
protected:
    void SetUp() override { alarm(60); }
    void TearDown() override { alarm(0); }
};

std::vector<char> FrameOf(const BMessage& message, MessageFrame::Header header = {})
{
    std::vector<char> frame;
    EXPECT_EQ(B_OK, MessageFrame::Encode(message, header, &frame));
    return frame;
}

// Reads one frame as the server does, waiting for the socket between parts.
ReadResult ReadOne(int socket, std::unique_ptr<BMessage>* message, std::string* reason,
                   MessageFrame::Header* header = nullptr)
{
    MessageFrame::Header ignored;
    BPrivate::FrameReader reader;
    for (;;) {
        ReadResult result =
            reader.Read(socket, header != nullptr ? header : &ignored, message, reason);
        if (result != ReadResult::kPending)
            return result;
        struct pollfd ready = {socket, POLLIN, 0};
        poll(&ready, 1, -1);
    }
}

TEST_F(SocketReaderTest, FramesRoundTripWithTheirDeliveryData)
{
    SocketPair pair;
    BMessage message('RFID');
    message.AddInt32("_time", 57);
    message.AddString("_tagstr", "A1B2");
    std::string big(1024 * 1024 + 17, 'x');
    BMessage large('TEST');
    large.AddString("text", big.c_str());

    MessageFrame::Header header;
    header.targetPort = 7;
    header.targetToken = 42;
    header.flags = MessageFrame::kPreferredTarget | MessageFrame::kReplyRequired;
    header.replyPort = 9;
    header.replyTeam = 1234;
    std::vector<char> bytes = FrameOf(message, header);
    std::vector<char> second = FrameOf(large);
    bytes.insert(bytes.end(), second.begin(), second.end());
    std::thread writer = pair.WriteAsync(bytes, true);

    std::unique_ptr<BMessage> received;
    std::string reason;
    MessageFrame::Header got;
    ASSERT_EQ(ReadResult::kMessage, ReadOne(pair.Reader(), &received, &reason, &got));
    EXPECT_EQ((uint32)'RFID', received->what);
    int32 time = 0;
    EXPECT_EQ(B_OK, received->FindInt32("_time", &time));
    EXPECT_EQ(57, time);
    EXPECT_EQ(7, got.targetPort);
    EXPECT_EQ(42, got.targetToken);
    EXPECT_EQ(header.flags, got.flags);
    EXPECT_EQ(9, got.replyPort);
    EXPECT_EQ(1234, got.replyTeam);

    ASSERT_EQ(ReadResult::kMessage, ReadOne(pair.Reader(), &received, &reason));
    const char* text = NULL;
    ASSERT_EQ(B_OK, received->FindString("text", &text));
    EXPECT_EQ(big.size(), strlen(text));
    EXPECT_EQ(ReadResult::kEnd, ReadOne(pair.Reader(), &received, &reason));
    writer.join();
}

TEST_F(SocketReaderTest, TruncatedFramesAreMalformed)
{
    BMessage message('TEST');
    message.AddString("text", "some text to cut short");
    std::vector<char> frame = FrameOf(message);
    for (size_t cut : {(size_t)1, sizeof(MessageFrame::Header) - 1, sizeof(MessageFrame::Header),
                       frame.size() - 1}) {
        SocketPair pair;
        std::vector<char> part(frame.begin(), frame.begin() + cut);
        std::thread writer = pair.WriteAsync(part, true);
        std::unique_ptr<BMessage> received;
        std::string reason;
        EXPECT_EQ(ReadResult::kMalformed, ReadOne(pair.Reader(), &received, &reason))
            << "cut at " << cut;
        EXPECT_NE(std::string::npos, reason.find("truncated")) << reason;
        EXPECT_EQ(nullptr, received);
        writer.join();
    }
}

TEST_F(SocketReaderTest, BadHeadersAreRefusedBeforeReadingTheBody)
{
    struct Case {
        uint32 magic;
        uint32 size;
        const char* reason;
    } cases[] = {
        {0x12345678, 16, "not a message frame"},
        {MessageFrame::kMagic, 0, "out of range"},
        {MessageFrame::kMagic, MessageFrame::kMaxMessageSize + 1, "out of range"},
        {MessageFrame::kMagic, 0xffffffff, "out of range"},
    };
    for (const Case& test : cases) {
        SocketPair pair;
        MessageFrame::Header header;
        header.magic = test.magic;
        header.size = test.size;
        // The writer stays open: a reader that trusted the size would wait forever.
        ASSERT_EQ((ssize_t)sizeof(header), write(pair.Writer(), &header, sizeof(header)));
        std::unique_ptr<BMessage> received;
        std::string reason;
        EXPECT_EQ(ReadResult::kMalformed, ReadOne(pair.Reader(), &received, &reason));
        EXPECT_NE(std::string::npos, reason.find(test.reason)) << reason;
    }
}

TEST_F(SocketReaderTest, GarbledMessageDataIsRefused)
{
    BMessage message('TEST');
    message.AddString("text", "hello");
    message.AddInt32("seq", 3);
    std::vector<char> frame = FrameOf(message);
    std::mt19937 random(20261207);
    size_t body = sizeof(MessageFrame::Header);
    int refused = 0;
    for (int round = 0; round < 300; round++) {
        std::vector<char> garbled = frame;
        int flips = 1 + (int)(random() % 8);
        for (int i = 0; i < flips; i++)
            garbled[body + random() % (garbled.size() - body)] = (char)random();
        SocketPair pair;
        std::thread writer = pair.WriteAsync(garbled, true);
        std::unique_ptr<BMessage> received;
        std::string reason;
        ReadResult result = ReadOne(pair.Reader(), &received, &reason);
        // Either a message that can be used, or a clean refusal: never a crash.
        ASSERT_TRUE(result == ReadResult::kMessage || result == ReadResult::kMalformed);
        if (result == ReadResult::kMessage)
            EXPECT_GT(received->FlattenedSize(), 0);
        else
            refused++;
        writer.join();
    }
    EXPECT_GT(refused, 0);

    // A body that is no message at all; a message whose header is sound but
    // whose fields are not (the checksum covers the header only); a message
    // whose header was changed on the way.
    MessageFrame::Header header;
    header.size = 64;
    std::vector<char> noMessage((const char*)&header, (const char*)&header + sizeof(header));
    noMessage.resize(noMessage.size() + 64, 'z');
    std::vector<char> badField = frame;
    badField[body + 17] = (char)0xfe; // the first field's flags, without "valid"
    std::vector<char> badChecksum = frame;
    badChecksum[body + 12] ^= 0x20; // the code
    struct Case {
        const std::vector<char>& bytes;
        const char* reason;
    } cases[] = {
        {noMessage, "bad checksum"}, {badField, "bad message data"}, {badChecksum, "bad checksum"}};
    for (const Case& test : cases) {
        SocketPair pair;
        std::thread writer = pair.WriteAsync(test.bytes, false);
        std::unique_ptr<BMessage> received;
        std::string reason;
        EXPECT_EQ(ReadResult::kMalformed, ReadOne(pair.Reader(), &received, &reason));
        EXPECT_NE(std::string::npos, reason.find(test.reason)) << reason;
        writer.join();
    }
}

TEST_F(SocketReaderTest, EncodeRefusesWhatTheReaderWouldRefuse)
{
    std::string huge(MessageFrame::kMaxMessageSize, 'y');
    BMessage message('TEST');
    message.AddString("text", huge.c_str());
    std::vector<char> frame;
    EXPECT_EQ(B_BAD_VALUE, MessageFrame::Encode(message, {}, &frame));
}

} // namespace
