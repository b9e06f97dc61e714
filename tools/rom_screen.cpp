// Boots the ROM headless for a number of frames and writes the picture the
// emulator should then show, as a PNG, for the end-to-end tests and for
// looking at.
//
//   rom_screen FRAMES SCALE OUT.png
//
// At scale 1 the screen memory is decoded here pixel by pixel, straight from
// the Spectrum's layout, independently of the renderer. At scales 2..5 the
// picture is produced by the renderer itself on a memory screen of the
// window's size, as the first frame after a mode change draws it.
#include <allegro.h>
#include <loadpng.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "screen/screen.h"
#include "ula/ula.h"
#include "z80/z80.h"

namespace {

int decoded_pixel(int x, int y) {
    const int address = 0x4000 | (y & 0xC0) << 5 | (y & 7) << 8 | (y & 0x38) << 2 | x >> 3;
    const int attr = ram[0x5800 + (y >> 3) * 32 + (x >> 3)] & 0x7F;
    return 2 * attr + ((ram[address] >> (7 - (x & 7))) & 1);
}

}  // namespace

int main(int argc, char *argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FRAMES SCALE OUT.png\n", argv[0]);
        return 2;
    }
    const int frames = std::atoi(argv[1]);
    const int scale = std::atoi(argv[2]);
    if (frames < 0 || scale < 1 || scale > 5) {
        std::fprintf(stderr, "rom_screen: FRAMES must be 0 or more and SCALE 1 to 5\n");
        return 2;
    }

    install_allegro(SYSTEM_NONE, &errno, atexit);
    set_color_depth(8);
    initz80();
    if (!loadroms()) return 1;
    resetz80();
    build_dsquare_table();
    setup_colour_priorities();
    build_colour_tables();
    display.fine_dither = 1;
    soundon = 0;

    for (int i = 0; i < frames; ++i) {
        execz80();
        intreq = 1;
    }

    BITMAP *picture = create_bitmap(256 * scale, 192 * scale);
    if (scale == 1) {
        for (int y = 0; y < 192; ++y)
            for (int x = 0; x < 256; ++x) putpixel(picture, x, y, decoded_pixel(x, y));
    } else {
        emulated_screen = create_bitmap(buffer_width, buffer_height);
        scaled_buffer = create_bitmap(buffer_width, buffer_height);
        clear_bitmap(emulated_screen);
        clear_bitmap(scaled_buffer);
        clear_bitmap(picture);
        screen = picture;
        display.scale = scale;
        display.fullscreen = 0;
        display.use_dsquares = 1;
        fill_dsquares();
        drawbuffer();
        drawscr();
        screen = nullptr;
    }
    if (save_png(argv[3], picture, pal) != 0) {
        std::fprintf(stderr, "rom_screen: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
