#ifndef _TRANSLATION_DEFS_H
#define _TRANSLATION_DEFS_H

#include <SupportDefs.h>

typedef unsigned long translator_id;

#define B_TRANSLATION_CURRENT_VERSION 0x250
#define B_TRANSLATION_MIN_VERSION 0x162

// A format that a translator reads or writes.
struct translation_format {
    uint32 type;
    uint32 group;
    float quality;
    float capability;
    char MIME[251];
    char name[251];
};

// What a translator found in a stream it identified.
struct translator_info {
    uint32 type;
    translator_id translator;
    uint32 group;
    float quality;
    float capability;
    char name[251];
    char MIME[251];
};

#endif
