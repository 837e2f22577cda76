#ifndef VEK_READER_SOURCES_SERIAL_SOURCE_H
#define VEK_READER_SOURCES_SERIAL_SOURCE_H

// EM4100 readers on a serial line (125 kHz modules, USB-serial boxes): a
// frame per card, repeated for as long as the card is held.

#include "sources/TagSource.h"

#include <string>

struct SerialSettings {
    // The reader's name in the service's log and messages.
    std::string name = "serial";
    // The port, e.g. /dev/ttyUSB0.
    std::string path;
    int baud = 9600;
    // 5..8
    int dataBits = 8;
    // 'N', 'E' or 'O'
    char parity = 'N';
    // 1 or 2
    int stopBits = 1;

    bool operator==(const SerialSettings&) const = default;
};

class SerialSource : public TagSource
{
public:
    explicit SerialSource(const SerialSettings& settings);
    ~SerialSource() override;

    const std::string& Name() const override;
    status_t Check(std::string* error) override;
    void Run(TagSink& sink, const StopSignal& stop) override;

private:
    SerialSettings fSettings;
};

#endif
