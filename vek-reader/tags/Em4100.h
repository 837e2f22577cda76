#ifndef VEK_READER_TAGS_EM4100_H
#define VEK_READER_TAGS_EM4100_H

// Takes the bytes of an EM4100 reader's serial line apart into frames:
// STX, 10 hex digits of the tag, 2 hex digits of checksum (the XOR of the
// tag's 5 bytes), an optional CR LF, ETX. Good frames are reads; everything
// else is said as skipped, one report per broken frame or run of noise.

#include "sources/TagSource.h"

#include <stddef.h>
#include <stdint.h>

#include <string>

class Em4100Decoder
{
public:
    Em4100Decoder(const std::string& reader, TagSink& sink);

    void Feed(const uint8_t* bytes, size_t count);
    // The line fell silent: a frame begun is broken, and noise seen is said.
    void Idle();
    // The port went away: a frame begun is lost with it.
    void Cut();

    // Longest frame kept, STX and ETX excluded; a longer one is broken.
    static constexpr size_t kLongestFrame = 16;

private:
    void Take(uint8_t byte);
    void EndFrame();
    void Broken(const std::string& why);
    void SayNoise();

    const std::string fReader;
    TagSink& fSink;
    bool fInFrame = false;
    std::string fFrame;
    size_t fNoise = 0;
};

#endif
