// Renders a Spectrum screen dump (.scr: 6144 bytes of display file, then 768
// attributes) into a PNG file, enlarged the way the emulator shows it: a plain
// stretch, then (unless --plain) the smart enlarge scaler over the whole
// picture. FLASH cells are shown in their normal phase.
//
//   scr2png [--scale N] [--plain] [--fine-dither 0|1] in.scr out.png
//
// Defaults: scale 3, smart enlarge on, fine dither on.
#include <allegro.h>
#include <loadpng.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "enlarge/enlarge.h"
#include "ula/ula.h"

namespace {

constexpr int screen_bytes = 6912;
constexpr int attribute_offset = 6144;

void usage() {
    std::fprintf(stderr, "usage: scr2png [--scale N] [--plain] [--fine-dither 0|1] in.scr out.png\n"
                         "  --scale N          enlargement 1..5 (default 3)\n"
                         "  --plain            plain enlargement, no smart enlarge\n"
                         "  --fine-dither 0|1  one-pixel dithers as a fine checkerboard (default 1)\n");
}

// Decodes the screen into the top-left corner of a picture bitmap, eight
// pixels of value 2 x attribute + bit per display-file byte, written as two
// 32-bit words from the pattern and attribute tables.
void decode(const std::vector<uint8_t> &scr, BITMAP *picture) {
    for (int y = 0; y < 192; ++y) {
        for (int c = 0; c < 32; ++c) {
            const int offset = ((y & 0xC0) << 5) | ((y & 7) << 8) | ((y & 0x38) << 2) | c;
            const uint8_t pix = scr[offset];
            const uint8_t a = scr[attribute_offset + (y >> 3) * 32 + c] & 0x7F;
            const uint32_t left = table[pix >> 4] | attrtable[a];
            const uint32_t right = table[pix & 0x0F] | attrtable[a];
            std::memcpy(picture->line[y] + 8 * c, &left, 4);
            std::memcpy(picture->line[y] + 8 * c + 4, &right, 4);
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
    int scale = 3;
    bool smart = true;
    int fine = 1;
    const char *paths[2] = {nullptr, nullptr};
    int npaths = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--scale") && i + 1 < argc) {
            scale = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--plain")) {
            smart = false;
        } else if (!std::strcmp(argv[i], "--fine-dither") && i + 1 < argc) {
            fine = std::atoi(argv[++i]) != 0;
        } else if (argv[i][0] != '-' && npaths < 2) {
            paths[npaths++] = argv[i];
        } else {
            usage();
            return 2;
        }
    }
    if (npaths != 2 || scale < 1 || scale > 5) {
        usage();
        return 2;
    }

    std::vector<uint8_t> scr(screen_bytes);
    FILE *f = std::fopen(paths[0], "rb");
    if (!f) {
        std::fprintf(stderr, "scr2png: cannot open %s\n", paths[0]);
        return 1;
    }
    const size_t got = std::fread(scr.data(), 1, scr.size(), f);
    std::fclose(f);
    if (got != scr.size()) {
        std::fprintf(stderr, "scr2png: %s is not a %d-byte screen dump\n", paths[0], screen_bytes);
        return 1;
    }

    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) {
        std::fprintf(stderr, "scr2png: cannot start Allegro\n");
        return 1;
    }
    set_color_depth(8);
    loadpng_init();
    setup_colour_priorities();
    build_colour_tables();
    display.fine_dither = fine;

    // Both bitmaps are as large as the emulator's: right of and below the
    // picture the source holds pixel value 0, as the emulator's does.
    BITMAP *picture = create_bitmap(buffer_width, buffer_height);
    BITMAP *enlarged = create_bitmap(buffer_width, buffer_height);
    BITMAP *out = create_bitmap(256 * scale, 192 * scale);
    if (!picture || !enlarged || !out) {
        std::fprintf(stderr, "scr2png: out of memory\n");
        return 1;
    }
    clear_bitmap(picture);
    clear_bitmap(enlarged);
    decode(scr, picture);

    if (scale == 1) {
        blit(picture, out, 0, 0, 0, 0, 256, 192);
    } else {
        stretch_blit(picture, enlarged, 0, 0, 256, 192, 0, 0, 256 * scale, 192 * scale);
        if (smart)
            do_smart_enlarge(picture, enlarged, 0, 0, 256, 192, 0, 0, 256 * scale, 192 * scale);
        blit(enlarged, out, 0, 0, 0, 0, 256 * scale, 192 * scale);
    }

    if (save_png(paths[1], out, pal) != 0) {
        std::fprintf(stderr, "scr2png: cannot write %s\n", paths[1]);
        return 1;
    }
    return 0;
}
END_OF_MAIN()
