#include "tags/WedgeDecoder.h"

#include <libevdev/libevdev.h>

#include <string.h>
#include <unistd.h>

namespace
{

// The character of a hex digit key, or 0.
char HexDigit(unsigned int code, bool shift)
{
    switch (code) {
    case KEY_0:
    case KEY_KP0:
        return '0';
    case KEY_1:
    case KEY_KP1:
        return '1';
    case KEY_2:
    case KEY_KP2:
        return '2';
    case KEY_3:
    case KEY_KP3:
        return '3';
    case KEY_4:
    case KEY_KP4:
        return '4';
    case KEY_5:
    case KEY_KP5:
        return '5';
    case KEY_6:
    case KEY_KP6:
        return '6';
    case KEY_7:
    case KEY_KP7:
        return '7';
    case KEY_8:
    case KEY_KP8:
        return '8';
    case KEY_9:
    case KEY_KP9:
        return '9';
    case KEY_A:
        return shift ? 'A' : 'a';
    case KEY_B:
        return shift ? 'B' : 'b';
    case KEY_C:
        return shift ? 'C' : 'c';
    case KEY_D:
        return shift ? 'D' : 'd';
    case KEY_E:
        return shift ? 'E' : 'e';
    case KEY_F:
        return shift ? 'F' : 'f';
    default:
        return 0;
    }
}

// Keys that change others, or nothing: not part of a line.
bool Modifier(unsigned int code)
{
    switch (code) {
    case KEY_LEFTSHIFT:
    case KEY_RIGHTSHIFT:
    case KEY_LEFTCTRL:
    case KEY_RIGHTCTRL:
    case KEY_LEFTALT:
    case KEY_RIGHTALT:
    case KEY_LEFTMETA:
    case KEY_RIGHTMETA:
    case KEY_CAPSLOCK:
    case KEY_NUMLOCK:
    case KEY_SCROLLLOCK:
        return true;
    default:
        return false;
    }
}

std::string KeyName(unsigned int code)
{
    const char* name = libevdev_event_code_get_name(EV_KEY, code);
    return name != nullptr ? name : "key " + std::to_string(code);
}

} // namespace

WedgeDecoder::WedgeDecoder(const std::string& reader, TagSink& sink) : fReader(reader), fSink(sink)
{
}

ssize_t WedgeDecoder::ReadFrom(int fd)
{
    unsigned char buffer[64 * sizeof(input_event)];
    memcpy(buffer, fPiece, fPieceSize);
    ssize_t count = read(fd, buffer + fPieceSize, sizeof(buffer) - fPieceSize);
    if (count <= 0)
        return count;
    size_t total = fPieceSize + size_t(count);
    size_t whole = total - total % sizeof(input_event);
    for (size_t at = 0; at < whole; at += sizeof(input_event)) {
        input_event event;
        memcpy(&event, buffer + at, sizeof(event));
        Take(event);
    }
    fPieceSize = total - whole;
    memcpy(fPiece, buffer + whole, fPieceSize);
    return count;
}

void WedgeDecoder::Take(const input_event& event)
{
    if (event.type == EV_SYN) {
        if (event.code == SYN_DROPPED) {
            // The keys between here and the next report are unknown, and
            // with them whether shift is still held.
            fResyncing = true;
            fLost = true;
            fShift[0] = fShift[1] = false;
        } else if (event.code == SYN_REPORT) {
            fResyncing = false;
        }
        return;
    }
    if (fResyncing || event.type != EV_KEY)
        return;
    if (event.code == KEY_LEFTSHIFT || event.code == KEY_RIGHTSHIFT) {
        // 2 is the key repeating: it stays held.
        if (event.value != 2)
            fShift[event.code == KEY_RIGHTSHIFT] = event.value != 0;
        return;
    }
    // Only presses count: releases and the key repeating do not.
    if (event.value == 1)
        Press(event.code);
}

void WedgeDecoder::Press(unsigned int code)
{
    if (code == KEY_ENTER || code == KEY_KPENTER) {
        EndLine();
        return;
    }
    if (Modifier(code))
        return;
    fKeys++;
    char digit = HexDigit(code, fShift[0] || fShift[1]);
    if (digit == 0 && fStray == 0)
        fStray = code;
    // A stray key stands as '?' in the line, which is then only said.
    if (fLine.size() < kLongestLine)
        fLine += digit != 0 ? digit : '?';
}

void WedgeDecoder::EndLine()
{
    if (fLost) {
        Drop("keys were lost (the reader typed faster than they were read)");
    } else if (fKeys == 0) {
        Drop("Enter without a number");
    } else if (fStray != 0) {
        Drop(KeyName(fStray) + " is no hex digit");
    } else if (fKeys > kLongestLine) {
        Drop("a line of " + std::to_string(fKeys) + " keys, longer than " +
             std::to_string(kLongestLine));
    } else {
        TagRead read;
        read.reader = fReader;
        read.tag = fLine;
        read.typed = true;
        fLine.clear();
        fKeys = 0;
        fSink.Read(read);
    }
}

void WedgeDecoder::Idle()
{
    if (Begun())
        Drop("no Enter after the keys");
}

void WedgeDecoder::Cut()
{
    if (Begun())
        Drop("cut off when the device went away");
    fPieceSize = 0;
    fResyncing = false;
    fShift[0] = fShift[1] = false;
}

void WedgeDecoder::Drop(const std::string& why)
{
    std::string typed = fLine;
    if (fKeys > fLine.size())
        typed += "...";
    fSink.Skipped(fReader, "line \"" + typed + "\": " + why);
    fLine.clear();
    fKeys = 0;
    fStray = 0;
    fLost = false;
}
