#include "Log.h"

#include <algorithm>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Whether standard error is the stream that systemd gave us to the journal:
// JOURNAL_STREAM is its device and inode, and a redirection of standard error
// makes it someone else's.
bool ToJournal()
{
    const char* stream = getenv("JOURNAL_STREAM");
    struct stat info;
    if (stream == nullptr || fstat(STDERR_FILENO, &info) != 0)
        return false;
    unsigned long long device, inode;
    int used = 0;
    return sscanf(stream, "%llu:%llu%n", &device, &inode, &used) == 2 && stream[used] == '\0' &&
           device == info.st_dev && inode == info.st_ino;
}

} // namespace

void Say(Level level, const char* format, ...)
{
    static const bool toJournal = ToJournal();
    // One write for the line, so that lines of several threads never mix.
    char line[4096];
    int length = toJournal ? snprintf(line, sizeof(line), "<%d>", int(level))
                           : snprintf(line, sizeof(line), "vek-reader: ");
    va_list arguments;
    va_start(arguments, format);
    int text = vsnprintf(line + length, sizeof(line) - length - 1, format, arguments);
    va_end(arguments);
    length = text < 0 ? length : std::min<int>(length + text, sizeof(line) - 2);
    line[length++] = '\n';
    fwrite(line, 1, length, stderr);
}
