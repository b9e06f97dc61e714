// The ULA port (minimal until the keyboard matrix arrives).
#include "ula/ula.h"

uint8_t uladat;
int speakerstat[sound_samples];

int readula(uint16_t) { return 0x1F; }
void writeula(uint8_t value) { uladat = value; }
void pollline(int line) { speakerstat[line] = uladat & 0x18; }
