#ifndef _BPRIVATE_MESSAGE_FRAME_H
#define _BPRIVATE_MESSAGE_FRAME_H

#include <Message.h>
#include <OS.h>
#include <SupportDefs.h>

#include <memory>
#include <string>
#include <vector>

namespace BPrivate
{

// One message on an application socket: a fixed header with the delivery data,
// then the message in its flattened form.
class MessageFrame
{
public:
    static constexpr uint32 kMagic = 'BMFR';
    // Tag texts of 100 KB occur; anything past this is refused unread.
    static constexpr uint32 kMaxMessageSize = 8 * 1024 * 1024;

    static constexpr uint32 kPreferredTarget = 0x1;
    static constexpr uint32 kReplyRequired = 0x2;
    static constexpr uint32 kIsReply = 0x4;

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

    enum class ReadResult {
        kMessage,
        kEnd,       // the peer closed between messages
        kMalformed, // the reason says why; the stream cannot be trusted after it
        kFailed,    // the socket failed
    };

    // The header and the flattened message in one buffer.
    static status_t Encode(const BMessage& message, Header header, std::vector<char>* frame);

    // Writes all of a frame to a non-blocking socket, waiting for room up to
    // the timeout. B_WOULD_BLOCK / B_TIMED_OUT when nothing could be written in
    // time; *broken tells that part of the frame went out before the stream
    // failed or the time ran out, so that the connection must be dropped.
    static status_t Write(int socket, const std::vector<char>& frame, bigtime_t timeout,
                          bool* broken);

    // Reads one frame from a blocking socket.
    static ReadResult Read(int socket, Header* header, std::unique_ptr<BMessage>* message,
                           std::string* reason);
};

} // namespace BPrivate

#endif
