#include "app/MessageFrame.h"
#include "app/MessageLayout.h"

#include <errno.h>
#include <string.h>
#include <sys/socket.h>

namespace BPrivate
{

static_assert(sizeof(MessageFrame::Header) == 32, "the frame header is 32 bytes");
static_assert(sizeof(MessageFrame::Receipt) == 8, "a receipt is 8 bytes");

namespace
{

// The body buffer grows with what arrives, so that a header that only claims
// a big size costs nothing.
constexpr size_t kFirstBodyChunk = 64 * 1024;

// What the socket has now, up to size bytes; interrupted calls are retried.
ssize_t ReceiveNow(int socket, void* into, size_t size)
{
    ssize_t got;
    do
        got = recv(socket, into, size, MSG_DONTWAIT);
    while (got < 0 && errno == EINTR);
    return got;
}

bool NothingYet()
{
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

} // namespace

status_t MessageFrame::Encode(const BMessage& message, Header header, std::vector<char>* frame)
{
    ssize_t size = message.FlattenedSize();
    if (size <= 0)
        return size < 0 ? (status_t)size : B_BAD_VALUE;
    if ((size_t)size > kMaxMessageSize)
        return B_BAD_VALUE;
    header.magic = kMagic;
    header.size = (uint32)size;
    frame->resize(sizeof(Header) + (size_t)size);
    memcpy(frame->data(), &header, sizeof(Header));
    return message.Flatten(frame->data() + sizeof(Header), size);
}

MessageFrame::ReadResult FrameReader::Fail(std::string* reason, std::string text)
{
    *reason = std::move(text);
    fHeaderGot = 0;
    fBodyGot = 0;
    fBody = std::vector<char>();
    return MessageFrame::ReadResult::kMalformed;
}

MessageFrame::ReadResult FrameReader::Read(int socket, MessageFrame::Header* header,
                                           std::unique_ptr<BMessage>* message, std::string* reason)
{
    using Result = MessageFrame::ReadResult;
    while (fHeaderGot < sizeof(fHeader)) {
        ssize_t got =
            ReceiveNow(socket, (char*)&fHeader + fHeaderGot, sizeof(fHeader) - fHeaderGot);
        if (got == 0)
            return fHeaderGot == 0 ? Result::kEnd : Fail(reason, "truncated header");
        if (got < 0)
            return NothingYet() ? Result::kPending : Result::kFailed;
        fHeaderGot += (size_t)got;
        if (fHeaderGot < sizeof(fHeader))
            continue;
        if (fHeader.magic != MessageFrame::kMagic)
            return Fail(reason, "not a message frame");
        if (fHeader.size == 0 || fHeader.size > MessageFrame::kMaxMessageSize)
            return Fail(reason,
                        "size " + std::to_string((unsigned long)fHeader.size) + " out of range");
        fBody.resize(std::min<size_t>(fHeader.size, kFirstBodyChunk));
        fBodyGot = 0;
    }
    while (fBodyGot < fHeader.size) {
        if (fBodyGot == fBody.size())
            fBody.resize(std::min<size_t>(fHeader.size, fBody.size() * 2));
        ssize_t got = ReceiveNow(socket, fBody.data() + fBodyGot, fBody.size() - fBodyGot);
        if (got == 0)
            return Fail(reason, "truncated message");
        if (got < 0)
            return NothingYet() ? Result::kPending : Result::kFailed;
        fBodyGot += (size_t)got;
    }
    // The sender's layer wrote the message: a header that does not match its
    // checksum was damaged on the way or forged.
    if (!HeaderChecksumMatches(fBody.data(), fHeader.size))
        return Fail(reason, "bad checksum");
    auto unflattened = std::make_unique<BMessage>();
    status_t status = unflattened->Unflatten(fBody.data(), (ssize_t)fHeader.size);
    *header = fHeader;
    fHeaderGot = 0;
    fBodyGot = 0;
    if (fBody.size() > kFirstBodyChunk)
        fBody = std::vector<char>();
    if (status != B_OK)
        return Fail(reason, std::string("bad message data (") + strerror(status) + ")");
    *message = std::move(unflattened);
    return Result::kMessage;
}

} // namespace BPrivate
