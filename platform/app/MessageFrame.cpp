#include "app/MessageFrame.h"

#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>

namespace BPrivate
{

namespace
{

static_assert(sizeof(MessageFrame::Header) == 32, "the frame header is 32 bytes");

// Reads exactly size bytes; the number read before the end or an error.
ssize_t ReadFully(int socket, char* buffer, size_t size)
{
    size_t done = 0;
    while (done < size) {
        ssize_t got = recv(socket, buffer + done, size - done, 0);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? (ssize_t)done : -1;
        }
        done += (size_t)got;
    }
    return (ssize_t)done;
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

status_t MessageFrame::Write(int socket, const std::vector<char>& frame, bigtime_t timeout,
                             bool* broken)
{
    *broken = false;
    bigtime_t deadline = timeout == B_INFINITE_TIMEOUT
                             ? B_INFINITE_TIMEOUT
                             : system_time() + (timeout < 0 ? 0 : timeout);
    size_t done = 0;
    while (done < frame.size()) {
        ssize_t sent =
            send(socket, frame.data() + done, frame.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += (size_t)sent;
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            *broken = true;
            return B_BAD_PORT_ID;
        }
        int wait = -1;
        if (deadline != B_INFINITE_TIMEOUT) {
            bigtime_t left = deadline - system_time();
            if (left <= 0) {
                *broken = done > 0;
                return timeout <= 0 ? B_WOULD_BLOCK : B_TIMED_OUT;
            }
            wait = (int)((left + 999) / 1000);
        }
        struct pollfd ready = {socket, POLLOUT, 0};
        if (poll(&ready, 1, wait) < 0 && errno != EINTR) {
            *broken = true;
            return B_ERROR;
        }
    }
    return B_OK;
}

MessageFrame::ReadResult MessageFrame::Read(int socket, Header* header,
                                            std::unique_ptr<BMessage>* message, std::string* reason)
{
    ssize_t got = ReadFully(socket, (char*)header, sizeof(Header));
    if (got == 0)
        return ReadResult::kEnd;
    if (got < 0)
        return ReadResult::kFailed;
    if ((size_t)got < sizeof(Header)) {
        *reason = "truncated header";
        return ReadResult::kMalformed;
    }
    if (header->magic != kMagic) {
        *reason = "not a message frame";
        return ReadResult::kMalformed;
    }
    if (header->size == 0 || header->size > kMaxMessageSize) {
        *reason = "size " + std::to_string((unsigned long)header->size) + " out of range";
        return ReadResult::kMalformed;
    }
    std::vector<char> flat(header->size);
    got = ReadFully(socket, flat.data(), flat.size());
    if (got < 0)
        return ReadResult::kFailed;
    if ((size_t)got < flat.size()) {
        *reason = "truncated message";
        return ReadResult::kMalformed;
    }
    auto unflattened = std::make_unique<BMessage>();
    status_t status = unflattened->Unflatten(flat.data(), (ssize_t)flat.size());
    if (status != B_OK) {
        *reason = std::string("bad message data (") + strerror(status) + ")";
        return ReadResult::kMalformed;
    }
    *message = std::move(unflattened);
    return ReadResult::kMessage;
}

} // namespace BPrivate
