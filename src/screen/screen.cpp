#include "screen/screen.h"

uint8_t dsquare[squares];
int32_t dsquare_table[screen_bytes];

void build_dsquare_table() {
    // Display file: the address bits are third (2), pixel line (3), character
    // row (3), column (5); the pixel line does not choose the cell.
    for (int o = 0; o < 6144; ++o)
        dsquare_table[o] = ((o >> 11) << 8) + (((o >> 5) & 7) << 5) + (o & 31);
    // Attributes are laid out cell by cell already.
    for (int o = 6144; o < screen_bytes; ++o) dsquare_table[o] = o - 6144;
}
