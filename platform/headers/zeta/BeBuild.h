#ifndef _BE_BUILD_H
#define _BE_BUILD_H

// Zeta, an R5 derivative: everything of R5 plus the Zeta-only API.
#define B_BEOS_VERSION_5 0x0500
#define B_BEOS_VERSION B_BEOS_VERSION_5
#define B_ZETA_VERSION 0x0600

#endif
