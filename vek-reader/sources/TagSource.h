#ifndef VEK_READER_SOURCES_TAG_SOURCE_H
#define VEK_READER_SOURCES_TAG_SOURCE_H

// What every kind of reader gives the service: its reads and its news. Each
// source runs on a thread of its own; the sink never blocks it.

#include "sources/StopSignal.h"

#include <SupportDefs.h>

#include <string>

// One read of a card, as the reader gave it. The service stamps the time,
// respells the tag and sends it on.
struct TagRead {
    // The name of the reader that read it, as configured.
    std::string reader;
    // As read: hex digits in either case, with or without separators, or the
    // digits a keyboard wedge typed.
    std::string tag;
    // Typed by a keyboard wedge: sent as typed, never respelled.
    bool typed = false;
    // The reader repeats the read for as long as the card is held (serial
    // modules do, every 50 ms to every second; readers that publish to a
    // broker may): the service sends it once per hold.
    bool repeats = false;
    // Fewer hex digits than this are no tag.
    size_t fewestDigits = 1;
    // A message text that the source names; empty for a plain read.
    std::string message;
    // Read by a reader of this machine; false for reads that came from the
    // broker, which are never published back to it.
    bool local = true;
};

class TagSink
{
public:
    virtual ~TagSink() = default;

    virtual void Read(const TagRead& read) = 0;
    // Input that is not a good read (noise, a bad checksum, a payload without
    // a tag): counted and said, never sent.
    virtual void Skipped(const std::string& reader, const std::string& why) = 0;
    // The reader went away, or came back: said once each time.
    virtual void Lost(const std::string& reader, const std::string& why) = 0;
    virtual void Back(const std::string& reader) = 0;
};

class TagSource
{
public:
    virtual ~TagSource() = default;

    virtual const std::string& Name() const = 0;

    // Checks at start-up that the reader can be used at all (B_OK), or says
    // in one line why not; the service then ends with that line.
    virtual status_t Check(std::string* error) = 0;

    // Reads until stop is raised, and returns at once then. A reader that
    // goes away is reopened with a back-off when it comes back; Run never
    // returns for that.
    virtual void Run(TagSink& sink, const StopSignal& stop) = 0;
};

#endif
