#ifndef VEK_READER_SOURCES_PCSC_SOURCE_H
#define VEK_READER_SOURCES_PCSC_SOURCE_H

// USB NFC readers through pcscd: one read when a card arrives on any reader
// (or on those whose name matches), readers plugged in later included.

#include "sources/TagSource.h"

#include <string>

struct PcscSettings {
    // The reader's name in the service's log and messages.
    std::string name = "pcsc";
    // Only PC/SC readers whose name contains this text; empty: all of them.
    std::string match;

    bool operator==(const PcscSettings&) const = default;
};

class PcscSource : public TagSource
{
public:
    explicit PcscSource(const PcscSettings& settings);
    ~PcscSource() override;

    const std::string& Name() const override;
    status_t Check(std::string* error) override;
    void Run(TagSink& sink, const StopSignal& stop) override;

private:
    PcscSettings fSettings;
};

#endif
