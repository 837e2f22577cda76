#include "Service.h"

#include "Log.h"
#include "sources/LineSource.h"
#include "sources/PcscSource.h"
#include "sources/SerialSource.h"
#include "sources/WedgeSource.h"
#include "tags/Spelling.h"

#include "ReaderRequests.h"

#include <Message.h>

#include <algorithm>

#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace
{

// Posted by a reader that ended by itself (the end of its input).
constexpr uint32 kReaderEnded = 'rEnd';
// Posted on SIGHUP.
constexpr uint32 kReload = 'rHup';
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

std::unique_ptr<Reader> MakeReader(const ReaderOptions& options, std::string* error)
{
    auto reader = std::make_unique<Reader>();
    reader->options = options;
    reader->source = MakeSource(options);
    if (reader->source != nullptr && reader->source->Check(error) != B_OK)
        return nullptr;
    if (options.kind == ReaderKind::kMqtt && !options.mqtt.publishTopic.empty()) {
        reader->publisher = std::make_unique<MqttPublisher>(options.mqtt);
        if (reader->publisher->Check(error) != B_OK)
            return nullptr;
    }
    return reader;
}

sigset_t HangUp()
{
    sigset_t hangUp;
    sigemptyset(&hangUp);
    sigaddset(&hangUp, SIGHUP);
    return hangUp;
}

} // namespace

const char ReaderService::kSignature[] = "application/x-vnd.VEK-reader";

void ReaderService::BlockHangUps()
{
    sigset_t hangUp = HangUp();
    pthread_sigmask(SIG_BLOCK, &hangUp, nullptr);
}

bool MakeReaders(const ServiceOptions& options, Readers* readers, std::string* error)
{
    bool reads = false;
    for (const ReaderOptions& each : options.readers) {
        std::unique_ptr<Reader> reader = MakeReader(each, error);
        if (reader == nullptr)
            return false;
        reads = reads || reader->source != nullptr;
        readers->push_back(std::move(reader));
    }
    if (!reads) {
        *error = "no reader reads tags (an MQTT reader that only publishes reads none)";
        return false;
    }
    return true;
}

ReaderService::ReaderService(const ServiceOptions& options, Readers readers,
                             std::vector<std::string> commandLine)
    : BApplication(kSignature), fCommandLine(std::move(commandLine)), fOptions(options),
      fReaders(std::move(readers)), fHold(options.hold), fAttendance(options.app, options.record)
{
    sigset_t hangUp = HangUp();
    fHangUps = signalfd(-1, &hangUp, SFD_CLOEXEC | SFD_NONBLOCK);
}

ReaderService::~ReaderService()
{
    Stop();
    if (fHangUps >= 0)
        close(fHangUps);
}

void ReaderService::ReadyToRun()
{
    DeliverySettings settings;
    settings.target = fOptions.target;
    fDelivery = std::make_unique<Delivery>(settings, be_app_messenger);
    for (std::unique_ptr<Reader>& reader : fReaders)
        Start(*reader);
    if (fHangUps >= 0)
        fHangUpThread = std::thread([this] { WaitForHangUps(); });
}

void ReaderService::Start(Reader& reader)
{
    if (reader.source == nullptr)
        return;
    reader.thread = std::thread([this, &reader] {
        reader.source->Run(*this, reader.stop);
        if (!reader.stop.IsRaised()) {
            reader.ended = true;
            PostMessage(kReaderEnded);
        }
    });
}

void ReaderService::StopReader(Reader& reader)
{
    reader.stop.Raise();
    if (reader.thread.joinable())
        reader.thread.join();
}

void ReaderService::WaitForHangUps()
{
    for (;;) {
        pollfd waits[2] = {{fHangUps, POLLIN, 0}, {fStopHangUps.Fd(), POLLIN, 0}};
        if (poll(waits, 2, -1) < 0 && errno != EINTR)
            return;
        if (fStopHangUps.IsRaised())
            return;
        signalfd_siginfo info;
        while (read(fHangUps, &info, sizeof(info)) == sizeof(info))
            PostMessage(kReload);
    }
}

void ReaderService::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case kReaderEnded:
        QuitWhenAllEnded();
        break;
    case kReload:
        Reload();
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

void ReaderService::QuitWhenAllEnded()
{
    for (const std::unique_ptr<Reader>& reader : fReaders) {
        if (reader->source != nullptr && !reader->ended)
            return;
    }
    // Every input has ended: quit once what was read is delivered, or has
    // waited too long for the client.
    fDelivery->WhenEmpty([this] { PostMessage(B_QUIT_REQUESTED); });
}

void ReaderService::Reload()
{
    std::vector<const char*> argv = {"vek-reader"};
    for (const std::string& argument : fCommandLine)
        argv.push_back(argument.c_str());
    ServiceOptions options;
    std::string error;
    if (LoadOptions(argv.size(), argv.data(), &options, &error) != ParseResult::kRun) {
        Say(Level::kError, "settings not read again: %s", error.c_str());
        return;
    }

    // The readers whose settings are new are made and checked first: when
    // one cannot be used, everything stays as it was.
    auto oldWith = [&](auto match) {
        return std::find_if(fReaders.begin(), fReaders.end(), match);
    };
    Readers made;
    std::vector<std::string> restarted, started, stopped;
    for (const ReaderOptions& each : options.readers) {
        if (oldWith([&](const auto& old) { return old->options == each; }) != fReaders.end())
            continue;
        std::unique_ptr<Reader> reader = MakeReader(each, &error);
        if (reader == nullptr) {
            Say(Level::kError, "settings not followed: %s", error.c_str());
            return;
        }
        bool renewed = oldWith([&](const auto& old) { return old->options.name == each.name; }) !=
                       fReaders.end();
        (renewed ? restarted : started).push_back(Printable(each.name));
        made.push_back(std::move(reader));
    }

    // The old readers whose settings are gone stop; what they read is in the
    // queue already.
    for (std::unique_ptr<Reader>& old : fReaders) {
        auto same = std::find(options.readers.begin(), options.readers.end(), old->options);
        if (same != options.readers.end())
            continue;
        StopReader(*old);
        if (std::find(restarted.begin(), restarted.end(), Printable(old->options.name)) ==
            restarted.end())
            stopped.push_back(Printable(old->options.name));
    }

    Readers gone;
    {
        std::lock_guard lock(fLock);
        Readers readers;
        for (const ReaderOptions& each : options.readers) {
            auto old =
                oldWith([&](const auto& old) { return old != nullptr && old->options == each; });
            if (old != fReaders.end()) {
                readers.push_back(std::move(*old));
            } else {
                auto next = std::find_if(made.begin(), made.end(), [&](const auto& reader) {
                    return reader != nullptr && reader->options == each;
                });
                readers.push_back(std::move(*next));
            }
        }
        gone = std::move(fReaders);
        fReaders = std::move(readers);
        fOptions = options;
        fHold.SetHold(options.hold);
    }
    fAttendance.Follow(options.app, options.record);
    gone.clear();
    fDelivery->SetTarget(options.target);
    for (std::unique_ptr<Reader>& reader : fReaders) {
        if (!reader->thread.joinable() && !reader->ended)
            Start(*reader);
    }

    auto list = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& name : names)
            text += (text.empty() ? "" : ", ") + name;
        return text.empty() ? std::string("none") : text;
    };
    Say(Level::kNotice, "settings read again; readers restarted: %s; started: %s; stopped: %s",
        list(restarted).c_str(), list(started).c_str(), list(stopped).c_str());
    QuitWhenAllEnded();
}

void ReaderService::Stop()
{
    fStopHangUps.Raise();
    if (fHangUpThread.joinable())
        fHangUpThread.join();
    for (std::unique_ptr<Reader>& reader : fReaders)
        reader->stop.Raise();
    for (std::unique_ptr<Reader>& reader : fReaders)
        StopReader(*reader);
    if (fDelivery != nullptr)
        fDelivery->Stop(kQuitGrace);
    std::lock_guard lock(fLock);
    for (auto& [reader, report] : fSkips) {
        if (report.unsaid > 0)
            Say(Level::kNotice, "%s: %zu more skipped", reader.c_str(), report.unsaid);
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
    std::unique_lock lock(fLock);
    std::string why;
    std::optional<std::string> tag = SpellTag(read, fOptions.spelling, &why);
    if (!tag) {
        lock.unlock();
        Skipped(read.reader, why);
        return;
    }
    if (read.repeats && !fHold.Pass(read.reader, *tag, HoldFilter::Clock::now()))
        return;

    time_t now = time(nullptr);
    Outgoing out;
    out.time = Stamp(now);
    out.tag = *tag;
    out.message = read.message;
    for (const std::unique_ptr<Reader>& reader : fReaders) {
        if (out.message.empty() && reader->options.name == read.reader)
            out.message = reader->options.message;
    }

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
        for (const std::unique_ptr<Reader>& reader : fReaders) {
            if (reader->publisher != nullptr)
                reader->publisher->Publish(out.tag, read.reader, now);
        }
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
        Say(Level::kNotice, "%s: %zu more skipped", reader.c_str(), report.unsaid);
    report.unsaid = 0;
    Say(Level::kNotice, "%s: skipped: %s", reader.c_str(), why.c_str());
}

void ReaderService::Lost(const std::string& reader, const std::string& why)
{
    Say(Level::kWarning, "%s: lost: %s", reader.c_str(), why.c_str());
}

void ReaderService::Back(const std::string& reader)
{
    Say(Level::kNotice, "%s: back", reader.c_str());
}
