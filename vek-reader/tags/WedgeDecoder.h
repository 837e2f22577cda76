#ifndef VEK_READER_TAGS_WEDGE_DECODER_H
#define VEK_READER_TAGS_WEDGE_DECODER_H

// Turns what a keyboard-wedge reader types, as evdev's input_event records,
// into reads: the hex digits of a line up to Enter, kept as typed (shift
// makes the letters upper case). Key codes are read as a US keyboard, as the
// readers send them, whatever layout the desktop uses.

#include "sources/TagSource.h"

#include <linux/input.h>
#include <stddef.h>
#include <sys/types.h>

#include <string>

class WedgeDecoder
{
public:
    WedgeDecoder(const std::string& reader, TagSink& sink);

    // Reads the records that fd has ready and takes them; a record may come
    // in pieces. Returns what read returned: the bytes read, 0 at the end,
    // -1 with errno set.
    ssize_t ReadFrom(int fd);
    void Take(const input_event& event);
    // No key for a while: a line begun without Enter is said and dropped.
    void Idle();
    // The device went away: a line begun is lost with it.
    void Cut();

    // Longest line kept; the keys of a longer one are counted, not kept.
    static constexpr size_t kLongestLine = 64;

private:
    void Press(unsigned int code);
    void EndLine();
    void Drop(const std::string& why);
    bool Begun() const { return fKeys > 0 || fLost; }

    const std::string fReader;
    TagSink& fSink;
    std::string fLine;
    // Keys pressed in this line, Enter and modifiers aside.
    size_t fKeys = 0;
    // The first key of the line that is no hex digit, or 0.
    unsigned int fStray = 0;
    // The kernel dropped events within this line.
    bool fLost = false;
    // Events are ignored from a SYN_DROPPED up to the next SYN_REPORT.
    bool fResyncing = false;
    bool fShift[2] = {false, false};
    unsigned char fPiece[sizeof(input_event)];
    size_t fPieceSize = 0;
};

#endif
