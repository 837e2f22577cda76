// What the command-line tools' main() functions share.

#ifndef _TOOLS_TOOL_MAIN_H
#define _TOOLS_TOOL_MAIN_H

#include <stdio.h>
#include <string.h>

// "NAME VERSION", the version of the system the tools come with (the build
// defines VEK_VERSION).
inline void PrintVersion(const char* name)
{
    printf("%s %s\n", name, VEK_VERSION);
}

// When the one argument is --help or --version, prints the usage or the
// version and returns true.
inline bool AnswerHelpOrVersion(int argc, char** argv, const char* name, const char* usage)
{
    if (argc != 2)
        return false;
    if (strcmp(argv[1], "--help") == 0)
        fputs(usage, stdout);
    else if (strcmp(argv[1], "--version") == 0)
        PrintVersion(name);
    else
        return false;
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
