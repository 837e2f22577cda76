#include "tags/Em4100.h"

#include <ctype.h>
#include <stdio.h>

namespace
{

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;

int HexValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

// The frame as it can be shown in one line: printable bytes as they are,
// others in hex.
std::string Printable(const std::string& bytes)
{
    std::string text;
    for (unsigned char byte : bytes) {
        if (isprint(byte) && byte != '\\') {
            text += char(byte);
        } else {
            char escaped[5];
            snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
            text += escaped;
        }
    }
    return text;
}

} // namespace

Em4100Decoder::Em4100Decoder(const std::string& reader, TagSink& sink)
    : fReader(reader), fSink(sink)
{
}

void Em4100Decoder::Feed(const uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; i++)
        Take(bytes[i]);
}

void Em4100Decoder::Idle()
{
    if (fInFrame)
        Broken("the line fell silent within the frame");
    SayNoise();
}

void Em4100Decoder::Cut()
{
    if (fInFrame)
        Broken("cut off when the port went away");
    SayNoise();
}

void Em4100Decoder::Take(uint8_t byte)
{
    if (!fInFrame) {
        if (byte == kStx) {
            SayNoise();
            fInFrame = true;
            fFrame.clear();
        } else if (byte != '\r' && byte != '\n') {
            // Line ends between frames are how some readers part them.
            fNoise++;
        }
        return;
    }
    if (byte == kStx) {
        Broken("a new frame began within it");
        fInFrame = true;
    } else if (byte == kEtx) {
        EndFrame();
    } else if (fFrame.size() == kLongestFrame) {
        Broken("too long, no end");
        fNoise++;
    } else {
        fFrame += char(byte);
    }
}

void Em4100Decoder::EndFrame()
{
    std::string body = fFrame;
    if (body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0)
        body.resize(body.size() - 2);
    if (body.size() != 12) {
        Broken(std::to_string(body.size()) + " characters where 12 hex digits belong");
        return;
    }
    uint8_t value[6];
    for (int i = 0; i < 6; i++) {
        int high = HexValue(body[2 * i]);
        int low = HexValue(body[2 * i + 1]);
        if (high < 0 || low < 0) {
            Broken("not hex digits");
            return;
        }
        value[i] = uint8_t(high << 4 | low);
    }
    uint8_t sum = value[0] ^ value[1] ^ value[2] ^ value[3] ^ value[4];
    if (sum != value[5]) {
        char why[64];
        snprintf(why, sizeof(why), "bad checksum %02X, the tag's bytes give %02X", value[5], sum);
        Broken(why);
        return;
    }

    TagRead read;
    read.reader = fReader;
    for (int i = 0; i < 10; i++)
        read.tag += char(toupper(static_cast<unsigned char>(body[i])));
    read.repeats = true;
    fInFrame = false;
    fFrame.clear();
    fSink.Read(read);
}

void Em4100Decoder::Broken(const std::string& why)
{
    fSink.Skipped(fReader, "broken frame \"" + Printable(fFrame) + "\": " + why);
    fInFrame = false;
    fFrame.clear();
}

void Em4100Decoder::SayNoise()
{
    if (fNoise == 0)
        return;
    fSink.Skipped(fReader, std::to_string(fNoise) + (fNoise == 1 ? " byte" : " bytes") +
                               " of noise between frames");
    fNoise = 0;
}
