#include "outputs/Delivery.h"

#include "Log.h"

#include <Message.h>

namespace
{

constexpr uint32 kTagEvent = 'RFID';

long long Seconds(std::chrono::milliseconds time)
{
    return std::chrono::duration_cast<std::chrono::seconds>(time).count();
}

} // namespace

Delivery::Delivery(const DeliverySettings& settings, const BMessenger& replyTo)
    : fSettings(settings), fReplyTo(replyTo), fThread([this] { Loop(); })
{
}

Delivery::~Delivery()
{
    Stop(std::chrono::milliseconds(0));
}

void Delivery::Add(const Outgoing& read)
{
    std::lock_guard lock(fLock);
    auto now = Clock::now();
    DropOld(now);
    if (fQueue.size() >= fSettings.capacity) {
        auto oldest = fQueue.begin();
        if (oldest != fQueue.end() && oldest->number == fSending)
            ++oldest;
        if (oldest != fQueue.end()) {
            fQueue.erase(oldest);
            if (fCounts.droppedFull + fCounts.droppedOld == fDroppedSaid)
                Say(Level::kError, "%zu reads wait for %s; the oldest are dropped to make room",
                    fSettings.capacity, fSettings.target.c_str());
            fCounts.droppedFull++;
        }
    }
    fQueue.push_back({read, now, fNextNumber++});
    fChanged.notify_all();
}

void Delivery::AddWhenRoom(const Outgoing& read, const StopSignal& stop)
{
    std::unique_lock lock(fLock);
    fRoom.wait(lock, [&] {
        DropOld(Clock::now());
        return fQueue.size() < fSettings.capacity || fStopping || stop.IsRaised();
    });
    fQueue.push_back({read, Clock::now(), fNextNumber++});
    fChanged.notify_all();
}

void Delivery::WakeWaiting()
{
    std::lock_guard lock(fLock);
    fRoom.notify_all();
}

void Delivery::SetTarget(const std::string& target)
{
    std::lock_guard lock(fLock);
    fSettings.target = target;
}

void Delivery::WhenEmpty(std::function<void()> done)
{
    std::lock_guard lock(fLock);
    fWhenEmpty = std::move(done);
    fChanged.notify_all();
}

void Delivery::Stop(std::chrono::milliseconds grace)
{
    {
        std::lock_guard lock(fLock);
        if (!fStopping) {
            fStopping = true;
            fStopBy = Clock::now() + grace;
        }
        fChanged.notify_all();
        fRoom.notify_all();
    }
    if (fThread.joinable())
        fThread.join();
}

Delivery::Counts Delivery::GetCounts() const
{
    std::lock_guard lock(fLock);
    Counts counts = fCounts;
    counts.waiting = fQueue.size();
    return counts;
}

void Delivery::DropOld(Clock::time_point now)
{
    size_t before = fCounts.droppedOld;
    while (!fQueue.empty() && fQueue.front().number != fSending &&
           now - fQueue.front().added > fSettings.longest) {
        fQueue.pop_front();
        fCounts.droppedOld++;
    }
    if (fCounts.droppedOld == before)
        return;
    fRoom.notify_all();
    if (before + fCounts.droppedFull == fDroppedSaid)
        Say(Level::kError, "reads that waited %lld s for %s are dropped",
            Seconds(fSettings.longest), fSettings.target.c_str());
}

void Delivery::Remove(uint64 number)
{
    for (auto it = fQueue.begin(); it != fQueue.end(); ++it) {
        if (it->number == number) {
            fQueue.erase(it);
            fRoom.notify_all();
            return;
        }
    }
}

void Delivery::SayDropped()
{
    size_t dropped = fCounts.droppedFull + fCounts.droppedOld;
    if (dropped == fDroppedSaid)
        return;
    Say(Level::kError,
        "%zu reads were not delivered to %s (%zu dropped in all: %zu for room, %zu too old)",
        dropped - fDroppedSaid, fSettings.target.c_str(), dropped, fCounts.droppedFull,
        fCounts.droppedOld);
    fDroppedSaid = dropped;
}

void Delivery::Loop()
{
    std::unique_lock lock(fLock);
    for (;;) {
        auto now = Clock::now();
        DropOld(now);
        if (fQueue.empty()) {
            if (fWhenEmpty) {
                auto done = std::move(fWhenEmpty);
                fWhenEmpty = nullptr;
                lock.unlock();
                done();
                lock.lock();
                continue;
            }
            if (fStopping)
                break;
            fChanged.wait(lock);
            continue;
        }
        if (fStopping && now >= fStopBy)
            break;

        Entry entry = fQueue.front();
        fSending = entry.number;
        std::string target = fSettings.target;
        lock.unlock();
        Sent sent = Send(entry.read, target);
        lock.lock();
        fSending = UINT64_MAX;
        switch (sent) {
        case Sent::kDelivered:
            Remove(entry.number);
            fCounts.delivered++;
            if (fClientAway || fNotAnswering)
                Say(Level::kNotice, "%s takes reads again (%zu waiting)", target.c_str(),
                    fQueue.size());
            fClientAway = fNotAnswering = false;
            SayDropped();
            break;
        case Sent::kNotAnswering:
            // It has the read, and may handle it yet: sent again, it might
            // be handled twice.
            Remove(entry.number);
            fCounts.unanswered++;
            if (!fNotAnswering)
                Say(Level::kWarning,
                    "%s is not answering; reads sent to it meanwhile are not sent again",
                    target.c_str());
            fNotAnswering = true;
            break;
        case Sent::kRefused:
            if (!fClientAway)
                Say(Level::kWarning,
                    "%s is not running; reads wait for it (at most %zu, each for %lld s)",
                    target.c_str(), fSettings.capacity, Seconds(fSettings.longest));
            fClientAway = true;
            fChanged.wait_for(lock, fSettings.retry,
                              [&] { return fStopping && Clock::now() >= fStopBy; });
            break;
        }
    }
    SayDropped();
    if (fCounts.unanswered > 0)
        Say(Level::kError, "%zu reads sent to %s were never answered", fCounts.unanswered,
            fSettings.target.c_str());
    if (!fQueue.empty())
        Say(Level::kError, "%zu reads were never delivered to %s", fQueue.size(),
            fSettings.target.c_str());
    fRoom.notify_all();
}

Delivery::Sent Delivery::Send(const Outgoing& read, const std::string& target)
{
    if (target != fClientTarget) {
        fClient = BMessenger();
        fClientTarget = target;
    }
    if (fClient.Team() < 0) {
        status_t status;
        BMessenger client(target.c_str(), -1, &status);
        if (status != B_OK)
            return Sent::kRefused;
        fClient = client;
    }
    BMessage message(kTagEvent);
    message.AddInt32("_time", read.time);
    message.AddString("_tagstr", read.tag.c_str());
    message.AddMessenger("_f2CallMe", fReplyTo);
    if (!read.message.empty())
        message.AddString("_fMes", read.message.c_str());
    status_t status = fClient.SendMessage(&message, BMessenger(), fSettings.sendTimeout);
    if (status == B_OK)
        return Sent::kDelivered;
    fClient = BMessenger();
    return status == B_TIMED_OUT ? Sent::kNotAnswering : Sent::kRefused;
}
