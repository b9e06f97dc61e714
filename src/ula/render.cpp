// Renderer (placeholder until the machine shell lands).
#include "ula/ula.h"

void drawbuffer() {}
void drawscr() {}
