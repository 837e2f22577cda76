#include "outputs/Delivery.h"

#include "Log.h"

#include <Message.h>

namespace
{

constexpr uint32 kTagEvent = 'RFID';

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

void Delivery::SetTarget(const std::string& target)
{
    std::lock_guard lock(fLock);
    if (target == fSettings.target)
        return;
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
    if (fCounts.droppedOld > before && before + fCounts.droppedFull == fDroppedSaid)
        Say(Level::kError, "reads that waited %lld s for %s are dropped",
            (long long)std::chrono::duration_cast<std::chrono::seconds>(fSettings.longest).count(),
            fSettings.target.c_str());
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
        bool sent = Send(entry.read, target);
        lock.lock();
        fSending = UINT64_MAX;
        if (sent) {
            for (auto it = fQueue.begin(); it != fQueue.end(); ++it) {
                if (it->number == entry.number) {
                    fQueue.erase(it);
                    break;
                }
            }
            fCounts.delivered++;
            if (fClientAway) {
                fClientAway = false;
                Say(Level::kNotice, "%s takes reads again (%zu waiting)", fSettings.target.c_str(),
                    fQueue.size());
            }
            SayDropped();
            continue;
        }
        if (!fClientAway) {
            fClientAway = true;
            Say(Level::kWarning,
                "%s is not running; reads wait for it (at most %zu, each for %lld s)",
                fSettings.target.c_str(), fSettings.capacity,
                (long long)std::chrono::duration_cast<std::chrono::seconds>(fSettings.longest)
                    .count());
        }
        fChanged.wait_for(lock, fSettings.retry,
                          [&] { return fStopping && Clock::now() >= fStopBy; });
    }
    SayDropped();
    if (!fQueue.empty())
        Say(Level::kError, "%zu reads were never delivered to %s", fQueue.size(),
            fSettings.target.c_str());
}

bool Delivery::Send(const Outgoing& read, const std::string& target)
{
    if (target != fClientTarget) {
        fClient = BMessenger();
        fClientTarget = target;
    }
    if (fClient.Team() < 0) {
        status_t status;
        BMessenger client(target.c_str(), -1, &status);
        if (status != B_OK)
            return false;
        fClient = client;
    }
    BMessage message(kTagEvent);
    message.AddInt32("_time", read.time);
    message.AddString("_tagstr", read.tag.c_str());
    message.AddMessenger("_f2CallMe", fReplyTo);
    if (!read.message.empty())
        message.AddString("_fMes", read.message.c_str());
    if (fClient.SendMessage(&message, BMessenger(), fSettings.sendTimeout) != B_OK) {
        fClient = BMessenger();
        return false;
    }
    return true;
}
