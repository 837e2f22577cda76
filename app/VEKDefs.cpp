#include "VEKDefs.h"

float WIN_X = 30;
float WIN_Y = 50;
float WIN_W = 310;
float WIN_H = 50;
