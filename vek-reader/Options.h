#ifndef VEK_READER_OPTIONS_H
#define VEK_READER_OPTIONS_H

// The service's settings: from the configuration file, then the command line
// on top. Both name the same settings, from one table of options (Options.cpp);
// the file writes "key = value" where the command line writes "--key value".

#include "sources/LineSource.h"
#include "sources/MqttSource.h"
#include "sources/PcscSource.h"
#include "sources/SerialSource.h"
#include "sources/WedgeSource.h"
#include "tags/Spelling.h"

#include <chrono>
#include <string>
#include <vector>

enum class TimeStamp {
    // The local time of day as HHMMSS: 17:30:45 is 173045.
    kClock,
    // Seconds since the epoch.
    kEpoch,
    // 1 for the first read, 2 for the next …
    kCounter,
};

enum class ReaderKind { kLines, kSerial, kWedge, kPcsc, kMqtt };

struct ReaderOptions {
    ReaderKind kind = ReaderKind::kLines;
    std::string name;
    // Sent as _fMes with every read of this reader; empty: none.
    std::string message;
    LineSettings lines;
    SerialSettings serial;
    WedgeSettings wedge;
    PcscSettings pcsc;
    // Subscribes when it has a topic, publishes local reads when it has a
    // publish topic; one of the two at least.
    MqttSettings mqtt;

    bool operator==(const ReaderOptions&) const = default;
};

struct ServiceOptions {
    std::string target = "application/VEK_BeOS";
    TimeStamp time = TimeStamp::kClock;
    Spelling spelling = Spelling::kHex;
    std::chrono::milliseconds hold{500};
    // The client's application folder, whose avatar list names the reads;
    // empty: the folder of this program.
    std::string app;
    // Each read is appended to it as a CSV line; empty: none.
    std::string record;
    std::vector<ReaderOptions> readers;
};

enum class ParseResult { kRun, kHelp, kVersion, kError };

// The configuration file, then the command line (argv[0] is the program).
// The file is --config FILE, or vek-reader/vek-reader.conf in the user's
// settings folder when that exists. Readers named on the command line take
// the place of the file's readers. On kError, error is one line.
ParseResult LoadOptions(int argc, const char* const* argv, ServiceOptions* options,
                        std::string* error);

// The file's text as the configuration; file names it in errors.
bool ParseConfig(const std::string& text, const std::string& file, ServiceOptions* options,
                 std::string* error);

// Where the configuration file is looked for; empty when there is no
// settings folder.
std::string DefaultConfigPath();

// What --help prints: every option of the table with its help line.
std::string Usage();

#endif
