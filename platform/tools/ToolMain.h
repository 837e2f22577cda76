// What the command-line tools' main() functions share.

#ifndef TOOL_MAIN_H
#define TOOL_MAIN_H

#include <stdio.h>
#include <string.h>

// Prints the usage and returns true when the one argument is --help.
inline bool PrintUsageIfAsked(int argc, char** argv, const char* usage)
{
    if (argc != 2 || strcmp(argv[1], "--help") != 0)
        return false;
    fputs(usage, stdout);
    return true;
}

// Runs job(path) for every path in [first, last), going on after a failure. Gives the exit
// status: 0 when every job succeeded, else 1.
template <typename Job> int RunOnEach(char** first, char** last, Job job)
{
    bool ok = true;
    for (; first < last; first++)
        ok = job(*first) && ok;
    return ok ? 0 : 1;
}

#endif
