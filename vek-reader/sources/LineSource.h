#ifndef VEK_READER_SOURCES_LINE_SOURCE_H
#define VEK_READER_SOURCES_LINE_SOURCE_H

// Tags from text, one a line: standard input, a file, or a named pipe that
// scripts write to, where each writer's last line ends with the writer. Blank
// lines are passed over; a line too long to be a tag or not valid UTF-8 is
// skipped with the reason.

#include "sources/TagSource.h"

#include <string>

struct LineSettings {
    std::string name = "stdin";
    // "-" is standard input.
    std::string path = "-";
    // Fewer hex digits are no tag: a stray key or a byte of noise.
    size_t fewestDigits = 4;

    bool operator==(const LineSettings&) const = default;
};

class LineSource : public TagSource
{
public:
    // Longer lines are skipped without being kept whole.
    static constexpr size_t kLongestLine = 256;

    explicit LineSource(const LineSettings& settings);
    ~LineSource() override;

    const std::string& Name() const override;
    status_t Check(std::string* error) override;
    // Returns at the end of standard input or of a file. A named pipe has no
    // end: it waits for the next writer.
    void Run(TagSink& sink, const StopSignal& stop) override;

private:
    int Open(std::string* error) const;

    LineSettings fSettings;
};

#endif
