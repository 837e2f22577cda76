#ifndef _APP_MESSAGE_FRAME_H
#define _APP_MESSAGE_FRAME_H

#include <Message.h>
#include <OS.h>
#include <SupportDefs.h>

#include <memory>
#include <string>
#include <vector>

namespace BPrivate
{

// One message on an application socket: a fixed header with the delivery data,
// then the message in its flattened form. The receiver answers every frame with
// a receipt once the message is in the target's queue (or could not be), so
// that a sender knows what became of it.
class MessageFrame
{
public:
    static constexpr uint32 kMagic = 'BMFR';
    static constexpr uint32 kReceiptMagic = 'BMRC';
    // Tag texts of 100 KB occur; anything past this is refused unread.
    static constexpr uint32 kMaxMessageSize = 8 * 1024 * 1024;

    static constexpr uint32 kPreferredTarget = 0x1;
    static constexpr uint32 kReplyRequired = 0x2;
    static constexpr uint32 kIsReply = 0x4;
    // The receiver answers B_WOULD_BLOCK at once instead of waiting for room.
    static constexpr uint32 kDontWait = 0x8;

    struct Header {
        uint32 magic = kMagic;
        uint32 size = 0;
        int32 targetPort = -1;
        int32 targetToken = -1;
        uint32 flags = 0;
        int32 replyPort = -1;
        int32 replyToken = -1;
        int32 replyTeam = -1;
    };

    struct Receipt {
        uint32 magic = kReceiptMagic;
        int32 status = B_OK;
    };

    enum class ReadResult {
        kMessage,
        kPending,   // more bytes are needed; nothing was lost
        kEnd,       // the peer closed between messages
        kMalformed, // the reason says why; the stream cannot be trusted after it
        kFailed,    // the socket failed
    };

    // The header and the flattened message in one buffer.
    static status_t Encode(const BMessage& message, Header header, std::vector<char>* frame);
};

// Collects one frame at a time from a socket, as its bytes come, without
// waiting: for a server that serves many sockets on one thread.
class FrameReader
{
public:
    // Reads what the socket holds, up to the end of the current frame.
    MessageFrame::ReadResult Read(int socket, MessageFrame::Header* header,
                                  std::unique_ptr<BMessage>* message, std::string* reason);
    // Part of a frame has arrived.
    bool InFrame() const { return fHeaderGot > 0; }

private:
    MessageFrame::ReadResult Fail(std::string* reason, std::string text);

    MessageFrame::Header fHeader;
    size_t fHeaderGot = 0;
    std::vector<char> fBody;
    size_t fBodyGot = 0;
};

} // namespace BPrivate

#endif
