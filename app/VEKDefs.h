#ifndef VEK_APP_VEK_DEFS_H
#define VEK_APP_VEK_DEFS_H

// The default window frame: left, top, width and height.
extern float WIN_X;
extern float WIN_Y;
extern float WIN_W;
extern float WIN_H;

#endif
