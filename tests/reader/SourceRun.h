#ifndef VEK_TESTS_READER_SOURCE_RUN_H
#define VEK_TESTS_READER_SOURCE_RUN_H

// What a reader told the service, recorded for a test, and a thread that runs
// the reader until the test is done with it.

#include "sources/TagSource.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class SourceLog : public TagSink
{
public:
    void Read(const TagRead& read) override
    {
        Record([&] { fReads.push_back(read); });
    }
    void Skipped(const std::string& reader, const std::string& why) override
    {
        Record([&] { fSkips.push_back(why); });
    }
    void Lost(const std::string& reader, const std::string& why) override
    {
        Record([&] { fLosses.push_back(why); });
    }
    void Back(const std::string& reader) override
    {
        Record([&] { fBacks++; });
    }

    std::vector<TagRead> Reads() const { return Get(fReads); }
    std::vector<std::string> Skips() const { return Get(fSkips); }
    std::vector<std::string> Losses() const { return Get(fLosses); }
    int Backs() const { return Get(fBacks); }

    bool WaitForReads(size_t count, int timeoutMs = 20000)
    {
        return WaitFor([&] { return fReads.size() >= count; }, timeoutMs);
    }
    bool WaitForSkips(size_t count, int timeoutMs = 20000)
    {
        return WaitFor([&] { return fSkips.size() >= count; }, timeoutMs);
    }
    bool WaitForLosses(size_t count, int timeoutMs = 20000)
    {
        return WaitFor([&] { return fLosses.size() >= count; }, timeoutMs);
    }
    bool WaitForBacks(int count, int timeoutMs = 20000)
    {
        return WaitFor([&] { return fBacks >= count; }, timeoutMs);
    }
    // Waits until this tag was read count times.
    bool WaitForTag(const std::string& tag, size_t count = 1, int timeoutMs = 20000)
    {
        return WaitFor([&] { return CountLocked(tag) >= count; }, timeoutMs);
    }
    size_t Count(const std::string& tag) const
    {
        std::lock_guard lock(fLock);
        return CountLocked(tag);
    }

private:
    size_t CountLocked(const std::string& tag) const
    {
        size_t count = 0;
        for (const TagRead& read : fReads)
            count += read.tag == tag;
        return count;
    }

    template <typename Change> void Record(Change change)
    {
        std::lock_guard lock(fLock);
        change();
        fChanged.notify_all();
    }

    template <typename Value> Value Get(const Value& value) const
    {
        std::lock_guard lock(fLock);
        return value;
    }

    template <typename Done> bool WaitFor(Done done, int timeoutMs)
    {
        std::unique_lock lock(fLock);
        return fChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
    }

    mutable std::mutex fLock;
    std::condition_variable fChanged;
    std::vector<TagRead> fReads;
    std::vector<std::string> fSkips;
    std::vector<std::string> fLosses;
    int fBacks = 0;
};

// Runs source.Run(sink) on a thread of its own until Stop or the end of the
// object.
class SourceThread
{
public:
    SourceThread(TagSource& source, TagSink& sink)
        : fThread([this, &source, &sink] { source.Run(sink, fStop); })
    {
    }
    ~SourceThread() { Stop(); }

    // Raises stop and waits for Run to return; how long that took.
    std::chrono::milliseconds Stop()
    {
        auto start = std::chrono::steady_clock::now();
        fStop.Raise();
        if (fThread.joinable())
            fThread.join();
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }

private:
    StopSignal fStop;
    std::thread fThread;
};

#endif
