#ifndef _OS_H
#define _OS_H

#include <SupportDefs.h>

#include <stdio.h>

#define B_OS_NAME_LENGTH 32
#define B_PAGE_SIZE 4096
#define B_INFINITE_TIMEOUT (9223372036854775807LL)

typedef int32 thread_id;
typedef int32 team_id;
typedef int32 port_id;
typedef int32 sem_id;
typedef int32 area_id;
typedef int32 image_id;

// Timeout flags of the kernel's blocking calls.
enum {
    B_CAN_INTERRUPT = 0x01,
    B_CHECK_PERMISSION = 0x04,
    B_TIMEOUT = 0x08,
    B_RELATIVE_TIMEOUT = 0x08,
    B_ABSOLUTE_TIMEOUT = 0x10,
};

// Thread priorities.
enum {
    B_LOW_PRIORITY = 5,
    B_NORMAL_PRIORITY = 10,
    B_DISPLAY_PRIORITY = 15,
    B_URGENT_DISPLAY_PRIORITY = 20,
    B_REAL_TIME_DISPLAY_PRIORITY = 100,
    B_URGENT_PRIORITY = 110,
    B_REAL_TIME_PRIORITY = 120,
};

// Microseconds since an arbitrary point (a monotonic clock).
bigtime_t system_time();
status_t snooze(bigtime_t microseconds);

// The calling thread's id when name is NULL; other names are not looked up.
thread_id find_thread(const char* name);

#endif
