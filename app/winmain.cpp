// The program's process entry: the start-up runs the goal and ends the
// process with its code.
#include "kalmoraTessaro.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { QelStartUp(); }
