#ifndef _FIND_DIRECTORY_H
#define _FIND_DIRECTORY_H

#include <SupportDefs.h>

class BPath;
class BVolume;

// The well-known folders. On Linux they follow the XDG base directories.
typedef enum {
    B_DESKTOP_DIRECTORY = 0,
    B_TRASH_DIRECTORY = 1,

    B_COMMON_TEMP_DIRECTORY = 2004,

    B_USER_DIRECTORY = 3000,
    B_USER_CONFIG_DIRECTORY = 3001,
    B_USER_SETTINGS_DIRECTORY = 3006,
} directory_which;

// Fills path with the folder's path; with create, makes every missing level (mode 0755).
// The volume is accepted for compatibility and ignored: there is one tree.
status_t find_directory(directory_which which, BPath* path, bool create = false,
                        BVolume* volume = NULL);

#ifdef B_ZETA_VERSION
// Zeta's variant of find_directory, with the same arguments and results.
status_t find_directory_r(directory_which which, BPath* path, bool create = false,
                          BVolume* volume = NULL);
#endif

#endif
