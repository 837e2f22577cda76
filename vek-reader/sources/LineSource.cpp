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
    LineSplitter(const std::string& name, TagSink& sink) : fName(name), fSink(sink) {}

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
            fSink.Skipped(fName, "line of " + std::to_string(fLength) + " bytes is too long");
        } else if (!IsUtf8(fLine)) {
            fSink.Skipped(fName, "line is not valid UTF-8");
        } else {
            std::string tag = Trim(fLine);
            if (!tag.empty()) {
                TagRead read;
                read.reader = fName;
                read.tag = tag;
                fSink.Read(read);
            }
        }
        fLine.clear();
        fLength = 0;
    }

    const std::string& fName;
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

// A named pipe is opened for writing too, so that it never ends when a
// writer closes it, and without blocking, which would wait for a writer.
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
    int mode = S_ISFIFO(info.st_mode) ? O_RDWR : O_RDONLY;
    int fd = open(fSettings.path.c_str(), mode | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
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
    LineSplitter lines(fSettings.name, sink);
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
        ssize_t count = read(fd, buffer, sizeof(buffer));
        if (count > 0) {
            lines.Take(buffer, count);
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (count < 0)
            sink.Lost(fSettings.name, strerror(errno));
        lines.Finish();
        break;
    }
    if (fd != STDIN_FILENO)
        close(fd);
}
