// Smart enlarge: after a plain n-fold stretch, the staircase edges of the
// Spectrum picture are redrawn as sloped lines at the output resolution.
//
// The area is scanned four times: along rows left to right and right to left,
// then along columns top to bottom and bottom to top. In each pass a pixel is
// addressed by its position u along the scan line and the line's coordinate v.
// Wherever the colour priority changes along a line (a change point), the
// pixel's neighbours on the lines beside it are examined: a diagonal streak of
// the pixel's colour behind it, on one side only, is the staircase of an edge,
// and a fan of n - 1 shortening lines of the new colour is drawn behind the
// pixel's enlarged block, so the colour ends along the staircase's slope.
// Which colour may spread over which is decided by colour_table: the higher
// priority spreads over the lower, and a lower one only when it is a feature
// one line thick lying between two lines of the other colour.
//
// A one-pixel checkerboard of two colours, found in the row passes, can
// instead be redrawn as a checkerboard of single output pixels
// (display.fine_dither).
//
// The scaler reads only the source and writes only the destination; it never
// reads back what it or the stretch drew. The source area may lie partly
// outside the source bitmap; positions outside are skipped and neighbours
// outside match no priority. Every write is clipped to the destination.
#include "enlarge/enlarge.h"

#include <algorithm>
#include <cstdint>

#include "ula/ula.h"

namespace {

constexpr int back_search = 16;    // how far a diagonal streak is followed
constexpr int forward_search = 8;  // how far the run ahead of the pixel is followed
constexpr int no_priority = -1;    // a neighbour outside the source bitmap

// Passes: 0 rows left to right, 1 rows right to left, 2 columns top to
// bottom, 3 columns bottom to top.
constexpr bool along_columns(int pass) { return pass >= 2; }
constexpr int direction(int pass) { return (pass & 1) ? -1 : 1; }

struct Scan {
    const BITMAP *src;
    BITMAP *dest;
    int n;                    // scale
    int x1, x2;               // the area's left and right corners, for the fill
    int cl, cr, ct, cb;       // destination bounds: columns cl..cr-1, rows ct..cb-1
    bool fine_dither;

    // Carried through the whole call, across lines and passes.
    bool started = false;     // false until the first pixel has been read
    int q = 0;                // priority of the last pixel read
    int last = 0;             // value of the last pixel read

    // Per line.
    int R = 0;                // a pixel of the current run (priority q)
    int L = 0;                // index of the last change point
};

// Source pixel at position u of scan line v, in bounds.
template <int Pass>
inline int pixel(const Scan &s, int u, int v) {
    return along_columns(Pass) ? s.src->line[u][v] : s.src->line[v][u];
}

template <int Pass>
inline bool inside(const Scan &s, int u, int v) {
    const int uext = along_columns(Pass) ? s.src->h : s.src->w;
    const int vext = along_columns(Pass) ? s.src->w : s.src->h;
    return u >= 0 && u < uext && v >= 0 && v < vext;
}

// Priority of a neighbour, or no_priority outside the source bitmap.
template <int Pass>
inline int priority(const Scan &s, int u, int v) {
    return inside<Pass>(s, u, v) ? colour_table[pixel<Pass>(s, u, v)] : no_priority;
}

// Every pixel of one n x n destination block, cell (t, r) of the source,
// that lies on a square of the given parity (X + Y even: 0, odd: 1) gets
// the colour.
void paint_block(const Scan &s, int t, int r, int colour, int parity) {
    const int X0 = std::max(t * s.n, s.cl), X1 = std::min(t * s.n + s.n, s.cr);
    const int Y0 = std::max(r * s.n, s.ct), Y1 = std::min(r * s.n + s.n, s.cb);
    for (int Y = Y0; Y < Y1; ++Y) {
        uint8_t *row = s.dest->line[Y];
        for (int X = X0 + ((X0 + Y + parity) & 1); X < X1; X += 2)
            row[X] = static_cast<uint8_t>(colour);
    }
}

// The 3 x 3 neighbourhood of a checkerboard pixel (x, y) of colour c, whose
// row neighbours belong to the run of colour R, becomes one checkerboard of
// single destination pixels: the plus-shaped arms get c on the even squares,
// the pixel's own block and the corners get R on the odd squares.
void fine_checkerboard(const Scan &s, int x, int y, int c, int R) {
    const int r0 = std::max(y - 1, 0), r1 = std::min(y + 1, s.src->h - 1);
    const int t0 = std::max(x - 1, s.x1), t1 = std::min(x + 1, s.x2);
    for (int r = r0; r <= r1; ++r) {
        for (int t = t0; t <= t1; ++t) {
            const bool on_row = r == y, on_column = t == x;
            if (on_row != on_column) {
                paint_block(s, t, r, c, 0);
                continue;
            }
            // A corner ahead (column x + 1) that already shows R keeps its block.
            if (!on_row && t == x + 1 && t >= 0 && t < s.src->w &&
                s.src->line[r][t] == R)
                continue;
            paint_block(s, t, r, R, 1);
        }
    }
}

// One line of the fan, clipped to the destination before it is drawn.
template <int Pass>
void fan_line(const Scan &s, int line, int from, int to, int c) {
    if (from > to) std::swap(from, to);
    const int lo = along_columns(Pass) ? s.ct : s.cl, hi = along_columns(Pass) ? s.cb : s.cr;
    const int across_lo = along_columns(Pass) ? s.cl : s.ct;
    const int across_hi = along_columns(Pass) ? s.cr : s.cb;
    if (line < across_lo || line >= across_hi) return;
    from = std::max(from, lo);
    to = std::min(to, hi - 1);
    if (from > to) return;
    if (along_columns(Pass))
        vline(s.dest, line, from, to, c);
    else
        hline(s.dest, from, line, to, c);
}

// A pixel of value c and priority p at index i of the line, where the
// priority differs from the run before it.
template <int Pass>
void change_point(Scan &s, int i, int u, int v, int c, int p) {
    constexpr int f = direction(Pass);
    const int q0 = s.q;
    s.q = p;
    const int L0 = s.L;
    s.L = i;
    const int run = i - L0;  // length of the previous run, of priority q0
    const int R = s.R;
    s.R = c;

    // A colour spreads over one of higher priority only as a feature one line
    // thick between two lines of that colour.
    if (!(p > q0 ||
          (priority<Pass>(s, u, v - 1) == q0 && priority<Pass>(s, u, v + 1) == q0)))
        return;

    // A single pixel, followed again by the previous run's colour.
    const bool lone = !(inside<Pass>(s, u + f, v) && priority<Pass>(s, u + f, v) != q0);

    // Diagonal streaks of the pixel's priority behind it, on the next line
    // (sn) and on the previous line (sp), without gaps.
    int sn = 0, sp = 0;
    for (int j = 1; j <= back_search; ++j) {
        const int ub = u - j * f;
        if (sn == j - 1 && priority<Pass>(s, ub, v + 1) == p) sn = j;
        if (sp == j - 1 && priority<Pass>(s, ub, v - 1) == p) sp = j;
        if (sn < j && sp < j) break;
    }
    int m = std::max(sn, sp);
    if (m == 0) return;

    if (run <= 1) {
        // A one-pixel run behind: the pixel may be the centre of a checkerboard.
        if (!along_columns(Pass) && s.fine_dither && lone && sn == 1 && sp == 1 && p < q0)
            fine_checkerboard(s, u, v, c, R);
        return;
    }

    // A staircase edge: a streak on one side only, and on the other side the
    // pixel's own neighbour must not share its colour.
    if (sn != 0 && sp != 0) return;
    if (priority<Pass>(s, u, sn == 0 ? v + 1 : v - 1) == p) return;

    // A short run ahead limits the slope. Outside the bitmap counts as pixel 0.
    int jf = forward_search + 1;
    for (int j = 1; j <= forward_search; ++j) {
        const int ua = u + j * f;
        const int pa = inside<Pass>(s, ua, v) ? colour_table[pixel<Pass>(s, ua, v)] : colour_table[0];
        if (pa != p) {
            jf = j;
            break;
        }
    }
    if (jf < m && jf != forward_search) m = jf;

    // The fan: n - 1 destination lines behind the pixel's block, the longest
    // next to the streak, each shorter by m away from it.
    const int n = s.n;
    const int D = u * n;
    for (int k = 0; k <= n - 2; ++k) {
        const int len = m * (n - 1 - k);
        const int line = v * n + (sp != 0 ? k : n - 1 - k);
        if (f > 0)
            fan_line<Pass>(s, line, D - len, D - 1, c);
        else
            fan_line<Pass>(s, line, D + n - 1 + len, D + n, c);
    }
}

template <int Pass>
void scan_pass(Scan &s, int x1, int y1, int x2, int y2) {
    constexpr int f = direction(Pass);
    const int uext = along_columns(Pass) ? s.src->h : s.src->w;
    const int vext = along_columns(Pass) ? s.src->w : s.src->h;
    const int ulo = along_columns(Pass) ? y1 : x1, uhi = along_columns(Pass) ? y2 : x2;
    const int vlo = along_columns(Pass) ? x1 : y1, vhi = along_columns(Pass) ? x2 : y2;
    const int count = uhi - ulo + 1;  // both ends are visited
    if (count <= 0) return;
    const int ustart = f > 0 ? ulo : uhi;

    // The indices whose position lies inside the bitmap form one interval.
    int ia, ib;
    if (f > 0) {
        ia = std::max(0, -ustart);
        ib = std::min(count, uext - ustart);
    } else {
        ia = std::max(0, ustart - uext + 1);
        ib = std::min(count, ustart + 1);
    }

    for (int v = std::max(vlo, 0); v < std::min(vhi, vext); ++v) {
        if (ia >= ib) break;
        // The run of priority q goes on from the previous line, so R starts
        // as the last pixel read, which belongs to it (and positions skipped
        // before the first one inside leave it so).
        s.L = 0;
        s.R = s.last;

        int i = ia;
        int u = ustart + i * f;
        int c = pixel<Pass>(s, u, v);
        int p = colour_table[c];
        if (!s.started) {
            // The first pixel of the call opens the first run.
            s.started = true;
            s.q = p;
            s.R = c;
        } else if (p == s.q) {
            // The run goes on from the previous line; this pixel is its colour.
            s.R = c;
        } else {
            change_point<Pass>(s, i, u, v, c, p);
        }

        for (++i, u += f; i < ib; ++i, u += f) {
            c = pixel<Pass>(s, u, v);
            p = colour_table[c];
            if (p != s.q) change_point<Pass>(s, i, u, v, c, p);
        }
        s.last = pixel<Pass>(s, ustart + (ib - 1) * f, v);
    }
}

}  // namespace

void do_smart_enlarge(BITMAP *source, BITMAP *dest, int x1, int y1, int x2, int y2,
                      int dx1, int dy1, int dx2, int dy2) {
    (void)dx1;
    (void)dy1;
    (void)dy2;
    if (x2 == 0) return;
    const int n = dx2 / x2;
    // At 1:1 there is nothing to smooth.
    if (n < 2) return;

    Scan s{};
    s.src = source;
    s.dest = dest;
    s.n = n;
    s.x1 = x1;
    s.x2 = x2;
    s.cl = 0;
    s.cr = dest->w;
    s.ct = 0;
    s.cb = dest->h;
    if (dest->clip) {
        s.cl = std::max(s.cl, dest->cl);
        s.cr = std::min(s.cr, dest->cr);
        s.ct = std::max(s.ct, dest->ct);
        s.cb = std::min(s.cb, dest->cb);
    }
    s.fine_dither = display.fine_dither != 0;

    scan_pass<0>(s, x1, y1, x2, y2);
    scan_pass<1>(s, x1, y1, x2, y2);
    scan_pass<2>(s, x1, y1, x2, y2);
    scan_pass<3>(s, x1, y1, x2, y2);
}
