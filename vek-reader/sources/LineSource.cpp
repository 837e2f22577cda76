#include "sources/LineSource.h"

#include "tags/Spelling.h"

#include <Errors.h>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::string Trim(const std::string& text)
{
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Collects bytes into lines; keeps at most kLongestLine of a line.
class LineSplitter
{
public:
    LineSplitter(const LineSettings& settings, TagSink& sink) : fSettings(settings), fSink(sink) {}

    void Take(const char* bytes, size_t count)
    {
        for (size_t i = 0; i < count; i++) {
            if (bytes[i] == '\n') {
                End();
                continue;
            }
            if (fLength < LineSource::kLongestLine)
                fLine += bytes[i];
            fLength++;
        }
    }

    // The last line of a file may lack its line break.
    void Finish()
    {
        if (fLength > 0)
            End();
    }

private:
    void End()
    {
        if (fLength > LineSource::kLongestLine) {
            fSink.Skipped(fSettings.name,
                          "line of " + std::to_string(fLength) + " bytes is too long");
        } else if (!IsUtf8(fLine)) {
            fSink.Skipped(fSettings.name, "line is not valid UTF-8");
        } else {
            std::string tag = Trim(fLine);
            if (!tag.empty()) {
                TagRead read;
                read.reader = fSettings.name;
                read.tag = tag;
                read.fewestDigits = fSettings.fewestDigits;
                fSink.Read(read);
            }
        }
        fLine.clear();
        fLength = 0;
    }

    const LineSettings& fSettings;
    TagSink& fSink;
    std::string fLine;
    size_t fLength = 0;
};

} // namespace

LineSource::LineSource(const LineSettings& settings) : fSettings(settings) {}

LineSource::~LineSource() = default;

const std::string& LineSource::Name() const
{
    return fSettings.name;
}

status_t LineSource::Check(std::string* error)
{
    int fd = Open(error);
    if (fd < 0)
        return B_ERROR;
    if (fd != STDIN_FILENO)
        close(fd);
    return B_OK;
}

// Opened without blocking, which for a named pipe would wait for a writer.
int LineSource::Open(std::string* error) const
{
    auto fail = [&](const std::string& why) {
        if (error != nullptr)
            *error = fSettings.name + ": " + why;
        return -1;
    };
    if (fSettings.path == "-") {
        if (fcntl(STDIN_FILENO, F_GETFL) < 0)
            return fail("no standard input");
        return STDIN_FILENO;
    }
    struct stat info;
    if (stat(fSettings.path.c_str(), &info) != 0)
        return fail(fSettings.path + ": " + strerror(errno));
    if (S_ISDIR(info.st_mode))
        return fail(fSettings.path + " is a folder");
    int fd = open(fSettings.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(fSettings.path + ": " + strerror(errno));
    return fd;
}

void LineSource::Run(TagSink& sink, const StopSignal& stop)
{
    std::string error;
    int fd = Open(&error);
    if (fd < 0) {
        sink.Lost(fSettings.name, error);
        return;
    }
    struct stat info;
    bool pipe = fd != STDIN_FILENO && fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
    LineSplitter lines(fSettings, sink);
    char buffer[4096];
    while (!stop.IsRaised()) {
        pollfd waits[2] = {{fd, POLLIN, 0}, {stop.Fd(), POLLIN, 0}};
        int ready = poll(waits, 2, -1);
        if (ready < 0 && errno != EINTR) {
            sink.Lost(fSettings.name, strerror(errno));
            break;
        }
        if (waits[0].revents == 0)
            continue;
        // Read until there is nothing more: then a pipe whose writers are
        // all gone reads as its end, which poll may not report. Standard
        // input, which may block, is read once a wait.
        ssize_t count;
        do {
            count = read(fd, buffer, sizeof(buffer));
            if (count > 0)
                lines.Take(buffer, count);
        } while (count > 0 && fd != STDIN_FILENO);
        if (count > 0 || (count < 0 && (errno == EAGAIN || errno == EINTR)))
            continue;
        if (count < 0) {
            sink.Lost(fSettings.name, strerror(errno));
            lines.Finish();
            break;
        }
        if (pipe) {
            // A named pipe waits for its next writer: opened anew, it reports
            // an end only when that writer has gone (the old one would report
            // it at once). Opened before the old one is closed, so that the
            // pipe never lacks a reader, which would fail a writer.
            int next = Open(&error);
            if (next < 0) {
                sink.Lost(fSettings.name, error);
                pipe = false;
            } else {
                close(fd);
                fd = next;
            }
        }
        // The end of a writer ends its last line, also without a line break.
        lines.Finish();
        if (!pipe)
            break;
    }
    if (fd != STDIN_FILENO)
        close(fd);
}
