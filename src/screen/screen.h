// Dirty character squares: one flag per 8 x 8 cell of the Spectrum picture,
// and the map from a screen-memory byte to its cell.
#pragma once

#include <cstdint>

constexpr int squares = 768;        // 24 rows of 32 cells; index row * 32 + column
constexpr int screen_bytes = 6912;  // display file (6144) and attributes (768)

// 0: the cell on screen is up to date; 1: decode and present it again.
extern uint8_t dsquare[squares];
// For each offset o = address - 0x4000 of screen memory, the index of its cell.
extern int32_t dsquare_table[screen_bytes];

void build_dsquare_table();
