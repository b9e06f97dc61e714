// Palette and colour tables (placeholder until the scaler lands).
#include "ula/ula.h"

PALETTE specpal;
PALETTE pal;
int8_t raw_colour[16];
int8_t colour_table[256];
uint32_t attrtable[128];
uint32_t table[16];
uint8_t fattr[128];

void setup_colour_priorities() { display.scale = 1; }
void build_colour_tables() {}
