#ifndef VEK_READER_SOURCES_WEDGE_SOURCE_H
#define VEK_READER_SOURCES_WEDGE_SOURCE_H

// Keyboard-wedge USB readers, which type the tag's number and Enter: read
// from their evdev device, grabbed so that the digits never reach the focused
// application.

#include "sources/TagSource.h"

#include <string>

struct WedgeSettings {
    // The reader's name in the service's log and messages.
    std::string name = "wedge";
    // A device path (/dev/input/event3, /dev/input/by-id/...-event-kbd), or a
    // match among /dev/input/by-id/*-event-kbd: text contained in the
    // device's name, or vendor:product in hex ("ffff:0035").
    std::string device;
    // EVIOCGRAB, so that the digits never reach the focused application.
    bool grab = true;
    // Where a match looks for the devices.
    std::string byIdFolder = "/dev/input/by-id";

    bool operator==(const WedgeSettings&) const = default;
};

class WedgeSource : public TagSource
{
public:
    explicit WedgeSource(const WedgeSettings& settings);
    ~WedgeSource() override;

    const std::string& Name() const override;
    status_t Check(std::string* error) override;
    void Run(TagSink& sink, const StopSignal& stop) override;

private:
    WedgeSettings fSettings;
};

#endif
