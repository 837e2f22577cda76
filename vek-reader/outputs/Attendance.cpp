#include "outputs/Attendance.h"

#include "AppFolder.h"
#include "AvatarList.h"
#include "Log.h"
#include "ReaderRequests.h"

#include <OS.h>

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

namespace
{

// How long a reply may wait for room at the asker: a reader's thread sends it.
constexpr bigtime_t kReplyTimeout = 200000;

// A CSV field: quoted when it holds a comma, a quote or a line end.
std::string Field(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// ISO 8601 with the offset from UTC: 2026-12-09T01:30:00+01:00.
std::string IsoTime(time_t when)
{
    struct tm local;
    char text[40] = "";
    if (localtime_r(&when, &local) == nullptr)
        return text;
    size_t length = strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string iso(text, length);
    if (iso.size() >= 5)
        iso.insert(iso.size() - 2, ":");
    return iso;
}

} // namespace

Attendance::Attendance(const std::string& appFolder, const std::string& record)
{
    Follow(appFolder, record);
}

void Attendance::Follow(const std::string& appFolder, const std::string& record)
{
    std::string list = AvatarListPath(appFolder.empty() ? ProgramFolder() : appFolder);
    std::lock_guard lock(fLock);
    fListPath = list;
    if (record != fRecordPath)
        fRecordFailing = false;
    fRecordPath = record;
}

std::string Attendance::Read(time_t when, const std::string& reader, const std::string& tag)
{
    std::string listPath;
    {
        std::lock_guard lock(fLock);
        listPath = fListPath;
    }
    // Read anew each time, as the client does: a change counts at once.
    AvatarList list;
    std::string name = "unknown";
    if (!listPath.empty() && list.Load(listPath.c_str()) == B_OK) {
        if (const AvatarPiece* entry = list.Shows(tag))
            name = std::string(entry->name);
    }

    std::vector<Waiting> answered;
    {
        std::lock_guard lock(fLock);
        fRecent.push_front({when, reader, tag});
        if (fRecent.size() > (size_t)kRecentReads)
            fRecent.pop_back();
        answered.swap(fWaiting);
        if (!fRecordPath.empty())
            Record(when, reader, tag, name);
    }
    bigtime_t now = system_time();
    for (Waiting& waiting : answered) {
        if (waiting.until < now)
            continue;
        BMessage reply(kReadReply);
        reply.AddString("tag", tag.c_str());
        reply.AddString("reader", reader.c_str());
        reply.AddInt64("time", (int64)when);
        waiting.asker.SendMessage(&reply, BMessenger(), kReplyTimeout);
    }
    return name;
}

void Attendance::Request(const BMessage* message)
{
    switch (message->what) {
    case kScanRequest: {
        int64 timeout = 0;
        if (message->FindInt64("timeout", &timeout) != B_OK || timeout <= 0)
            timeout = 60000000;
        {
            std::lock_guard lock(fLock);
            bigtime_t now = system_time();
            // Askers that gave up are forgotten.
            std::erase_if(fWaiting, [now](const Waiting& waiting) { return waiting.until < now; });
            fWaiting.push_back({message->ReturnAddress(), now + timeout});
        }
        BMessage waiting(kScanWaiting);
        message->ReturnAddress().SendMessage(&waiting, BMessenger(), kReplyTimeout);
        break;
    }
    case kRecentRequest: {
        BMessage reply(kRecentReply);
        {
            std::lock_guard lock(fLock);
            for (const Recent& read : fRecent) {
                reply.AddString("tag", read.tag.c_str());
                reply.AddString("reader", read.reader.c_str());
                reply.AddInt64("time", (int64)read.when);
            }
        }
        message->ReturnAddress().SendMessage(&reply, BMessenger(), kReplyTimeout);
        break;
    }
    }
}

void Attendance::Record(time_t when, const std::string& reader, const std::string& tag,
                        const std::string& name)
{
    std::string line =
        IsoTime(when) + "," + Field(reader) + "," + Field(tag) + "," + Field(name) + "\r\n";
    // Opened for each read, so that a file moved away by log rotation is
    // made anew; one write per line, so that lines stay whole.
    int fd = open(fRecordPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    int error = 0;
    if (fd < 0)
        error = errno;
    else {
        // A new file begins with the names of the columns.
        if (lseek(fd, 0, SEEK_END) == 0)
            line = "time,reader,tag,name\r\n" + line;
        ssize_t wrote = write(fd, line.data(), line.size());
        if (wrote < 0)
            error = errno;
        else if ((size_t)wrote != line.size()) {
            error = ENOSPC;
            // The part that went in is taken back, so that the file stays whole lines.
            off_t end = lseek(fd, 0, SEEK_END);
            if (end >= wrote && ftruncate(fd, end - wrote) != 0)
                error = errno;
        }
        if (close(fd) != 0 && error == 0)
            error = errno;
    }
    if (error != 0 && !fRecordFailing)
        Say(Level::kError, "cannot record reads in %s: %s", fRecordPath.c_str(), strerror(error));
    else if (error == 0 && fRecordFailing)
        Say(Level::kNotice, "recording reads in %s again", fRecordPath.c_str());
    fRecordFailing = error != 0;
}
