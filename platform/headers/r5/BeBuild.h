#ifndef _BE_BUILD_H
#define _BE_BUILD_H

// BeOS R5.
#define B_BEOS_VERSION_5 0x0500
#define B_BEOS_VERSION B_BEOS_VERSION_5

#endif
