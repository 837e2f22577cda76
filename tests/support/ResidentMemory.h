#ifndef VEK_TESTS_SUPPORT_RESIDENT_MEMORY_H
#define VEK_TESTS_SUPPORT_RESIDENT_MEMORY_H

#include <stddef.h>
#include <stdio.h>
#include <unistd.h>

// This process's resident memory in bytes, as /proc tells it; 0 when unknown.
inline size_t ResidentBytes()
{
    long pages = 0, resident = 0;
    FILE* statm = fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return 0;
    if (fscanf(statm, "%ld %ld", &pages, &resident) != 2)
        resident = 0;
    fclose(statm);
    return (size_t)resident * (size_t)sysconf(_SC_PAGESIZE);
}

#endif
