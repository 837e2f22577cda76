#ifndef VEK_READER_SERVICE_H
#define VEK_READER_SERVICE_H

// The reader service: runs every reader on a thread of its own, respells and
// filters what they read, logs each read on standard output, publishes it
// and hands it to the delivery to the client. SIGHUP reads the settings
// again and restarts the readers whose settings changed.

#include "Options.h"
#include "outputs/Attendance.h"
#include "outputs/Delivery.h"
#include "sources/MqttSource.h"
#include "sources/TagSource.h"
#include "tags/HoldFilter.h"

#include <Application.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <time.h>

// One reader of the settings: its source, which runs on a thread of its own
// (none for an MQTT reader that only publishes), and its publisher.
struct Reader {
    ReaderOptions options;
    std::unique_ptr<TagSource> source;
    std::unique_ptr<MqttPublisher> publisher;
    StopSignal stop;
    std::thread thread;
    // The source came to the end of its input by itself.
    std::atomic<bool> ended = false;
};

using Readers = std::vector<std::unique_ptr<Reader>>;

// The readers the options name, each checked (TagSource::Check); false with
// the first reader's error that cannot be used.
bool MakeReaders(const ServiceOptions& options, Readers* readers, std::string* error);

class ReaderService : public BApplication, public TagSink
{
public:
    static const char kSignature[];

    // commandLine: the arguments that the options came from (argv without
    // argv[0]), read again with the configuration file on SIGHUP.
    ReaderService(const ServiceOptions& options, Readers readers,
                  std::vector<std::string> commandLine);
    // The service reads SIGHUP from a descriptor: it must be blocked in
    // every thread of the process, from the first, before any other is made.
    static void BlockHangUps();
    ~ReaderService() override;

    // Starts the delivery, the readers and the wait for SIGHUP.
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
    void Start(Reader& reader);
    void StopReader(Reader& reader);
    // Reads the settings again and follows them; on the looper's thread.
    void Reload();
    void QuitWhenAllEnded();
    void WaitForHangUps();

    std::vector<std::string> fCommandLine;
    std::unique_ptr<Delivery> fDelivery;

    // The settings and the readers change on the looper's thread only, under
    // fLock, which the readers' threads take to use them.
    std::mutex fLock;
    ServiceOptions fOptions;
    Readers fReaders;
    HoldFilter fHold;
    int32 fCounter = 0;
    std::map<std::string, SkipReport> fSkips;

    Attendance fAttendance;

    int fHangUps = -1;
    StopSignal fStopHangUps;
    std::thread fHangUpThread;
};

#endif
