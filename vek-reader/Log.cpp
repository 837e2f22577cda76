#include "Log.h"

#include "tags/Spelling.h"

#include <algorithm>
#include <string>

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
    char text[4096];
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    // Names and values from the settings are in the text: escaped, so that
    // none breaks the line or forges another.
    std::string line = toJournal ? "<" + std::to_string(int(level)) + ">" : "vek-reader: ";
    line += Escaped(std::string_view(text, std::clamp<int>(length, 0, sizeof(text) - 1)));
    line += '\n';
    // One write for the line, so that lines of several threads never mix.
    fwrite(line.data(), 1, line.size(), stderr);
}
