#include "Service.h"

#include "sources/LineSource.h"
#include "sources/PcscSource.h"
#include "sources/SerialSource.h"
#include "tags/Spelling.h"
#include "sources/WedgeSource.h"

#include "ReaderRequests.h"

#include <Message.h>

#include <stdio.h>

namespace
{

// Posted by the last reader that ended by itself (the end of its input).
constexpr uint32 kReadersEnded = 'rEnd';
// What the client gets to take the waiting reads when the service is asked
// to quit.
constexpr std::chrono::milliseconds kQuitGrace{1000};

std::unique_ptr<TagSource> MakeSource(const ReaderOptions& reader)
{
    switch (reader.kind) {
    case ReaderKind::kLines:
        return std::make_unique<LineSource>(reader.lines);
    case ReaderKind::kSerial:
        return std::make_unique<SerialSource>(reader.serial);
    case ReaderKind::kWedge:
        return std::make_unique<WedgeSource>(reader.wedge);
    case ReaderKind::kPcsc:
        return std::make_unique<PcscSource>(reader.pcsc);
    case ReaderKind::kMqtt:
        if (reader.mqtt.topic.empty())
            return nullptr;
        return std::make_unique<MqttSource>(reader.mqtt);
    }
    return nullptr;
}

} // namespace

const char ReaderService::kSignature[] = "application/x-vnd.VEK-reader";

bool MakeReaders(const ServiceOptions& options, Readers* readers, std::string* error)
{
    for (const ReaderOptions& reader : options.readers) {
        if (std::unique_ptr<TagSource> source = MakeSource(reader)) {
            if (source->Check(error) != B_OK)
                return false;
            readers->sources.push_back(std::move(source));
        }
        if (reader.kind == ReaderKind::kMqtt && !reader.mqtt.publishTopic.empty()) {
            auto publisher = std::make_unique<MqttPublisher>(reader.mqtt);
            if (publisher->Check(error) != B_OK)
                return false;
            readers->publishers.push_back(std::move(publisher));
        }
    }
    if (readers->sources.empty()) {
        *error = "no reader reads tags (an MQTT reader that only publishes reads none)";
        return false;
    }
    return true;
}

ReaderService::ReaderService(const ServiceOptions& options, Readers readers)
    : BApplication(kSignature), fOptions(options), fReaders(std::move(readers)),
      fHold(options.hold), fAttendance(options.app, options.record)
{
    for (const ReaderOptions& reader : fOptions.readers)
        fMessages[reader.name] = reader.message;
}

ReaderService::~ReaderService()
{
    Stop();
}

void ReaderService::ReadyToRun()
{
    DeliverySettings settings;
    settings.target = fOptions.target;
    fDelivery = std::make_unique<Delivery>(settings, be_app_messenger);
    fRunning = fReaders.sources.size();
    for (std::unique_ptr<TagSource>& source : fReaders.sources) {
        TagSource* reader = source.get();
        fThreads.emplace_back([this, reader] {
            reader->Run(*this, fStop);
            SourceEnded();
        });
    }
}

void ReaderService::SourceEnded()
{
    if (--fRunning == 0 && !fStop.IsRaised())
        PostMessage(kReadersEnded);
}

void ReaderService::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case kReadersEnded:
        // Every input has ended: quit once what was read is delivered, or
        // has waited too long for the client.
        fDelivery->WhenEmpty([this] { PostMessage(B_QUIT_REQUESTED); });
        break;
    case kScanRequest:
    case kRecentRequest:
        fAttendance.Request(message);
        break;
    default:
        BApplication::MessageReceived(message);
        break;
    }
}

void ReaderService::Stop()
{
    fStop.Raise();
    for (std::thread& thread : fThreads)
        thread.join();
    fThreads.clear();
    if (fDelivery != nullptr)
        fDelivery->Stop(kQuitGrace);
    std::lock_guard lock(fLock);
    for (auto& [reader, report] : fSkips) {
        if (report.unsaid > 0)
            fprintf(stderr, "vek-reader: %s: %zu more skipped\n", reader.c_str(), report.unsaid);
        report.unsaid = 0;
    }
}

int32 ReaderService::Stamp(time_t now)
{
    switch (fOptions.time) {
    case TimeStamp::kClock: {
        struct tm local;
        if (localtime_r(&now, &local) == nullptr)
            return 0;
        return local.tm_hour * 10000 + local.tm_min * 100 + local.tm_sec;
    }
    case TimeStamp::kEpoch:
        return static_cast<int32>(now);
    case TimeStamp::kCounter:
        return ++fCounter;
    }
    return 0;
}

void ReaderService::Read(const TagRead& read)
{
    std::string why;
    std::optional<std::string> tag = SpellTag(read, fOptions.spelling, &why);
    if (!tag) {
        Skipped(read.reader, why);
        return;
    }
    std::lock_guard lock(fLock);
    if (read.repeats && !fHold.Pass(read.reader, *tag, HoldFilter::Clock::now()))
        return;

    time_t now = time(nullptr);
    Outgoing out;
    out.time = Stamp(now);
    out.tag = *tag;
    out.message = !read.message.empty() ? read.message : fMessages[read.reader];

    struct tm local;
    char when[32] = "";
    if (localtime_r(&now, &local) != nullptr)
        strftime(when, sizeof(when), "%Y-%m-%d %H:%M:%S", &local);
    // The line ends with who it was, so that the log is an attendance record.
    std::string name = fAttendance.Read(now, read.reader, out.tag);
    if (out.message.empty())
        printf("%s %s %s %s\n", when, read.reader.c_str(), out.tag.c_str(), name.c_str());
    else
        printf("%s %s %s \"%s\" %s\n", when, read.reader.c_str(), out.tag.c_str(),
               out.message.c_str(), name.c_str());

    if (read.local) {
        for (std::unique_ptr<MqttPublisher>& publisher : fReaders.publishers)
            publisher->Publish(out.tag, read.reader, now);
    }
    fDelivery->Add(out);
}

void ReaderService::Skipped(const std::string& reader, const std::string& why)
{
    std::lock_guard lock(fLock);
    SkipReport& report = fSkips[reader];
    time_t now = time(nullptr);
    if (now != report.second) {
        report.second = now;
        report.said = 0;
    }
    if (report.said >= kSkipsSaid) {
        report.unsaid++;
        return;
    }
    report.said++;
    if (report.unsaid > 0)
        fprintf(stderr, "vek-reader: %s: %zu more skipped\n", reader.c_str(), report.unsaid);
    report.unsaid = 0;
    fprintf(stderr, "vek-reader: %s: skipped: %s\n", reader.c_str(), why.c_str());
}

void ReaderService::Lost(const std::string& reader, const std::string& why)
{
    fprintf(stderr, "vek-reader: %s: lost: %s\n", reader.c_str(), why.c_str());
}

void ReaderService::Back(const std::string& reader)
{
    fprintf(stderr, "vek-reader: %s: back\n", reader.c_str());
}
