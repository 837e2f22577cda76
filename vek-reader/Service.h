#ifndef VEK_READER_SERVICE_H
#define VEK_READER_SERVICE_H

// The reader service: runs every reader on a thread of its own, respells and
// filters what they read, logs each read on standard output, publishes it
// and hands it to the delivery to the client.

#include "outputs/Attendance.h"
#include "outputs/Delivery.h"
#include "tags/HoldFilter.h"
#include "sources/MqttSource.h"
#include "Options.h"
#include "sources/TagSource.h"

#include <Application.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <time.h>

struct Readers {
    std::vector<std::unique_ptr<TagSource>> sources;
    std::vector<std::unique_ptr<MqttPublisher>> publishers;
};

// The readers the options name, each checked (TagSource::Check); false with
// the first reader's error that cannot be used.
bool MakeReaders(const ServiceOptions& options, Readers* readers, std::string* error);

class ReaderService : public BApplication, public TagSink
{
public:
    static const char kSignature[];

    ReaderService(const ServiceOptions& options, Readers readers);
    ~ReaderService() override;

    // Starts the delivery and the readers.
    void ReadyToRun() override;
    void MessageReceived(BMessage* message) override;

    // After Run: stops the readers, gives the client a moment for what waits,
    // and says what was not delivered.
    void Stop();

    void Read(const TagRead& read) override;
    void Skipped(const std::string& reader, const std::string& why) override;
    void Lost(const std::string& reader, const std::string& why) override;
    void Back(const std::string& reader) override;

private:
    // Skips are said, but a reader that sees nothing but noise is not let
    // flood standard error: at most kSkipsSaid a second each, the rest
    // counted and said with the next.
    struct SkipReport {
        time_t second = 0;
        int said = 0;
        size_t unsaid = 0;
    };
    static constexpr int kSkipsSaid = 5;

    int32 Stamp(time_t now);
    void SourceEnded();

    ServiceOptions fOptions;
    Readers fReaders;
    std::map<std::string, std::string> fMessages;

    std::mutex fLock;
    HoldFilter fHold;
    int32 fCounter = 0;
    std::map<std::string, SkipReport> fSkips;

    std::unique_ptr<Delivery> fDelivery;
    Attendance fAttendance;
    StopSignal fStop;
    std::atomic<size_t> fRunning = 0;
    std::vector<std::thread> fThreads;
};

#endif
