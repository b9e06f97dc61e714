// Writes the test screen for the smart enlarge scaler as a Spectrum screen
// dump (.scr: 6144 bytes of display file, then 768 attributes): one-pixel
// lines at several slopes crossing three colour pairs, a circle around a
// filled disc, a one-pixel checkerboard dither, a wedge with shallow edges,
// and text in the ROM's character set.
//
//   make_testscreen [out.scr] [rom]
//
// Defaults: tests/data/testscreen.scr and /usr/share/spectrum-roms/opense.rom.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int width = 256, height = 192;
constexpr int font_offset = 0x3D00;  // the ROM's characters 32..127, 8 bytes each

bool pixels[height][width];
uint8_t attributes[24][32];

void plot(int x, int y) {
    if (x >= 0 && x < width && y >= 0 && y < height) pixels[y][x] = true;
}

void line(int x0, int y0, int x1, int y1) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        plot(x0, y0);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x0 += sx; }
        if (e2 <= dx) { err += dx; y0 += sy; }
    }
}

void circle(int cx, int cy, int r) {
    int x = r, y = 0, err = 1 - r;
    while (x >= y) {
        const int pts[8][2] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (const auto &p : pts) plot(cx + p[0], cy + p[1]);
        ++y;
        if (err < 0) {
            err += 2 * y + 1;
        } else {
            --x;
            err += 2 * (y - x) + 1;
        }
    }
}

void disc(int cx, int cy, int r) {
    for (int y = -r; y <= r; ++y)
        for (int x = -r; x <= r; ++x)
            if (x * x + y * y <= r * r + r) plot(cx + x, cy + y);
}

// Checkerboard inside an ellipse: every pixel with x + y odd.
void dithered_ellipse(int cx, int cy, int rx, int ry) {
    for (int y = -ry; y <= ry; ++y)
        for (int x = -rx; x <= rx; ++x)
            if (x * x * ry * ry + y * y * rx * rx <= rx * rx * ry * ry && ((cx + x + cy + y) & 1))
                plot(cx + x, cy + y);
}

// A filled triangle standing on its base, edges rising one row per two pixels.
void wedge(int apex_x, int apex_y, int base_y) {
    for (int y = apex_y; y <= base_y; ++y) {
        const int half = 2 * (y - apex_y);
        for (int x = apex_x - half; x <= apex_x + half; ++x) plot(x, y);
    }
}

void set_attributes(int col0, int row0, int col1, int row1, uint8_t attr) {
    for (int r = row0; r <= row1; ++r)
        for (int c = col0; c <= col1; ++c) attributes[r][c] = attr;
}

void text(const std::vector<uint8_t> &rom, int col, int row, const char *s, uint8_t attr) {
    for (; *s && col < 32; ++s, ++col) {
        const int ch = static_cast<unsigned char>(*s);
        attributes[row][col] = attr;
        if (ch < 32 || ch > 127) continue;
        for (int j = 0; j < 8; ++j) {
            const uint8_t bits = rom[font_offset + (ch - 32) * 8 + j];
            for (int b = 0; b < 8; ++b)
                if (bits & (0x80 >> b)) plot(col * 8 + b, row * 8 + j);
        }
    }
}

// Attribute bytes: FLASH, BRIGHT, PAPER (3 bits), INK (3 bits).
constexpr uint8_t attr(int ink, int paper, bool bright = false) {
    return static_cast<uint8_t>((bright ? 0x40 : 0) | (paper << 3) | ink);
}
enum { black, blue, red, magenta, green, cyan, yellow, white };

}  // namespace

int main(int argc, char **argv) {
    const char *out = argc > 1 ? argv[1] : "tests/data/testscreen.scr";
    const char *rom_path = argc > 2 ? argv[2] : "/usr/share/spectrum-roms/opense.rom";

    std::vector<uint8_t> rom(16384);
    FILE *rf = std::fopen(rom_path, "rb");
    if (!rf || std::fread(rom.data(), 1, rom.size(), rf) != rom.size()) {
        std::fprintf(stderr, "make_testscreen: cannot read the ROM %s\n", rom_path);
        return 1;
    }
    std::fclose(rf);

    set_attributes(0, 0, 31, 23, attr(black, white));

    // Title.
    text(rom, 0, 0, "  BRENVIK  SMART ENLARGE TEST   ", attr(white, blue, true));

    // A fan of one-pixel lines from the lower left corner of the left half, at
    // slopes 1:4, 1:2, 1:1, 2:1, 4:1 and 8:1, through three colour pairs.
    set_attributes(0, 1, 15, 5, attr(black, white));
    set_attributes(0, 6, 15, 10, attr(yellow, blue, true));
    set_attributes(0, 11, 15, 15, attr(red, yellow));
    const int ox = 3, oy = 126;
    line(ox, oy, ox + 28, oy - 112);
    line(ox, oy, ox + 56, oy - 112);
    line(ox, oy, ox + 112, oy - 112);
    line(ox, oy, ox + 120, oy - 60);
    line(ox, oy, ox + 120, oy - 30);
    line(ox, oy, ox + 120, oy - 15);
    line(ox, oy, ox + 120, oy);

    // A circle around a filled disc.
    set_attributes(16, 1, 31, 15, attr(red, white));
    circle(192, 68, 54);
    disc(192, 68, 24);

    // A one-pixel checkerboard dither of blue and white.
    set_attributes(0, 16, 15, 19, attr(blue, white));
    dithered_ellipse(64, 143, 58, 14);

    // A wedge whose edges step two pixels per row.
    set_attributes(16, 16, 31, 19, attr(green, black, true));
    wedge(192, 130, 157);

    // Text in four colour pairs.
    text(rom, 0, 20, "Spectrum 48K pictures, enlarged", attr(black, white));
    text(rom, 0, 21, "The quick brown fox jumps over ", attr(white, red, true));
    text(rom, 0, 22, "the lazy dog. 0123456789 !?#&@%", attr(yellow, black, true));
    text(rom, 0, 23, "ABCDEFGHIJKLMNOPQRSTUVWXYZ ()[]", attr(cyan, blue));

    // Display file: third, pixel line, character row, byte column.
    std::vector<uint8_t> scr(6912, 0);
    for (int y = 0; y < height; ++y) {
        for (int c = 0; c < 32; ++c) {
            uint8_t byte = 0;
            for (int b = 0; b < 8; ++b)
                if (pixels[y][c * 8 + b]) byte |= 0x80 >> b;
            const int offset = ((y & 0xC0) << 5) | ((y & 7) << 8) | ((y & 0x38) << 2) | c;
            scr[offset] = byte;
        }
    }
    std::memcpy(scr.data() + 6144, attributes, 768);

    FILE *f = std::fopen(out, "wb");
    if (!f || std::fwrite(scr.data(), 1, scr.size(), f) != scr.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "make_testscreen: cannot write %s\n", out);
        return 1;
    }
    return 0;
}
