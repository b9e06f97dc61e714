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
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ula/ula.h"

namespace {

constexpr int back_search = 16;    // how far a diagonal streak is followed
constexpr int forward_search = 8;  // how far the run ahead of the pixel is followed
constexpr int no_priority = -1;    // a neighbour outside the source bitmap

// Passes: 0 rows left to right, 1 rows right to left, 2 columns top to
// bottom, 3 columns bottom to top.
constexpr bool along_columns(int pass) { return pass >= 2; }
constexpr int direction(int pass) { return (pass & 1) ? -1 : 1; }

// The priorities of the source around the scanned area, one byte per pixel,
// with a frame of back_search pixels on every side so that no neighbour read
// needs a bounds check; pixels outside the source bitmap hold no_priority.
// Built once per call and shared by the four passes; the buffer is kept
// between calls.
struct Plane {
    std::vector<int8_t> cells;
    int x0 = 0, y0 = 0;   // source coordinates of the first cell
    int width = 0, height = 0;

    void build(const BITMAP *src, int xa, int ya, int xb, int yb) {
        x0 = xa - back_search;
        y0 = ya - back_search;
        width = xb - xa + 1 + 2 * back_search;
        height = yb - ya + 1 + 2 * back_search;
        cells.resize(static_cast<size_t>(width) * height);
        // Only rows and columns inside the bitmap hold priorities.
        const int cx0 = std::max(x0, 0), cx1 = std::max(std::min(x0 + width, src->w), cx0);
        for (int y = y0; y < y0 + height; ++y) {
            int8_t *row = &cells[static_cast<size_t>(y - y0) * width];
            if (y < 0 || y >= src->h) {
                std::fill(row, row + width, no_priority);
                continue;
            }
            std::fill(row, row + (cx0 - x0), no_priority);
            const uint8_t *in = src->line[y];
            for (int x = cx0; x < cx1; ++x) row[x - x0] = colour_table[in[x]];
            std::fill(row + (cx1 - x0), row + width, no_priority);
        }
    }
    const int8_t *at(int x, int y) const { return &cells[static_cast<size_t>(y - y0) * width + (x - x0)]; }
};

Plane plane;

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
inline const uint8_t *source_at(const Scan &s, int u, int v) {
    return along_columns(Pass) ? &s.src->line[u][v] : &s.src->line[v][u];
}

// R only ever serves the fine checkerboard, which only the row passes draw;
// the column passes neither keep it nor read the pixels it would need.
constexpr bool keeps_run_pixel(int pass) { return !along_columns(pass); }

// Every pixel of one n x n destination block, cell (t, r) of the source,
// that lies on a square of the given parity (X + Y even: 0, odd: 1) gets
// the colour. N is the scale when known at compile time (0: s.n), for
// blocks that need no clipping.
template <int N>
void paint_block(const Scan &s, int t, int r, int colour, int parity) {
    const int n = N ? N : s.n;
    int X0 = t * n, X1 = X0 + n, Y0 = r * n, Y1 = Y0 + n;
    if (!N) {
        X0 = std::max(X0, s.cl);
        X1 = std::min(X1, s.cr);
        Y0 = std::max(Y0, s.ct);
        Y1 = std::min(Y1, s.cb);
    }
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
template <int N>
void fill_neighbourhood(const Scan &s, int x, int y, int c, int R) {
    const int r0 = std::max(y - 1, 0), r1 = std::min(y + 1, s.src->h - 1);
    const int t0 = std::max(x - 1, s.x1), t1 = std::min(x + 1, s.x2);
    for (int r = r0; r <= r1; ++r) {
        for (int t = t0; t <= t1; ++t) {
            const bool on_row = r == y, on_column = t == x;
            if (on_row != on_column) {
                paint_block<N>(s, t, r, c, 0);
                continue;
            }
            // A corner ahead (column x + 1) that already shows R keeps its block.
            if (!on_row && t == x + 1 && t >= 0 && t < s.src->w &&
                s.src->line[r][t] == R)
                continue;
            paint_block<N>(s, t, r, R, 1);
        }
    }
}

void fine_checkerboard(const Scan &s, int x, int y, int c, int R) {
    // Away from the destination's edges the blocks need no clipping, and at
    // the emulator's scales the block loops unroll.
    const int n = s.n;
    const bool inside = (x - 1) * n >= s.cl && (x + 2) * n <= s.cr && (y - 1) * n >= s.ct && (y + 2) * n <= s.cb;
    if (inside) {
        switch (n) {
            case 2: return fill_neighbourhood<2>(s, x, y, c, R);
            case 3: return fill_neighbourhood<3>(s, x, y, c, R);
            case 4: return fill_neighbourhood<4>(s, x, y, c, R);
            case 5: return fill_neighbourhood<5>(s, x, y, c, R);
            default: break;
        }
    }
    fill_neighbourhood<0>(s, x, y, c, R);
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

// How many cells from start + step on, one step apart, hold priority p,
// up to the back search limit.
inline int streak(const int8_t *start, ptrdiff_t step, int p) {
    int count = 0;
    while (count < back_search && start[(count + 1) * step] == p) ++count;
    return count;
}

// A pixel at index i of the line where the priority differs from the run
// before it. cp points at its value c in the source, pr at its priority p in
// the plane; ahead is the step to the next position of the scan (u + f),
// next the step to the same position on the next line (v + 1).
template <int Pass>
void change_point(Scan &s, int i, int u, int v, const uint8_t *cp, const int8_t *pr, ptrdiff_t ahead,
                  ptrdiff_t next) {
    const int p = *pr;
    const int q0 = s.q;
    s.q = p;
    const int L0 = s.L;
    s.L = i;
    const int run = i - L0;  // length of the previous run, of priority q0
    const int R = s.R;
    if (keeps_run_pixel(Pass)) s.R = *cp;

    // A colour spreads over one of higher priority only as a feature one line
    // thick between two lines of that colour. And without a pixel of its
    // priority diagonally behind it there is no streak (M = 0). Both are
    // tested together, as most change points fail one or the other.
    const int above = pr[-next], below = pr[next];
    const bool spreads = (p > q0) | ((above == q0) & (below == q0));
    const bool diagonal = (pr[next - ahead] == p) | (pr[-next - ahead] == p);
    if (!(spreads & diagonal)) return;

    // Diagonal streaks of the pixel's priority behind it, on the next line
    // (sn) and on the previous line (sp), each counted from the first
    // position behind without a gap.
    const int sn = streak(pr + next, -ahead, p);
    const int sp = streak(pr - next, -ahead, p);
    int m = std::max(sn, sp);

    if (run <= 1) {
        // A one-pixel run behind: the pixel may be the centre of a
        // checkerboard, if it stands alone (followed again by the previous
        // run's colour, or by the bitmap's edge).
        if (!along_columns(Pass) && s.fine_dither && sn == 1 && sp == 1 && p < q0 &&
            (pr[ahead] == q0 || pr[ahead] == no_priority))
            fine_checkerboard(s, u, v, *cp, R);
        return;
    }

    // A staircase edge: a streak on one side only, and on the other side the
    // pixel's own neighbour must not share its colour.
    if (sn != 0 && sp != 0) return;
    if ((sn == 0 ? below : above) == p) return;

    // A short run ahead limits the slope. Outside the bitmap counts as pixel 0.
    int jf = forward_search + 1;
    for (int j = 1; j <= forward_search; ++j) {
        const int pa = pr[j * ahead];
        if ((pa == no_priority ? colour_table[0] : pa) != p) {
            jf = j;
            break;
        }
    }
    if (jf < m && jf != forward_search) m = jf;

    // The fan: n - 1 destination lines behind the pixel's block, the longest
    // next to the streak, each shorter by m away from it.
    const int c = *cp;
    const int n = s.n;
    const int D = u * n;
    for (int k = 0; k <= n - 2; ++k) {
        const int len = m * (n - 1 - k);
        const int line = v * n + (sp != 0 ? k : n - 1 - k);
        if (direction(Pass) > 0)
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
    if (ia >= ib) return;

    // Steps through the plane: along the scan, and across to the next line.
    const ptrdiff_t ahead = along_columns(Pass) ? f * static_cast<ptrdiff_t>(plane.width) : f;
    const ptrdiff_t next = along_columns(Pass) ? 1 : plane.width;

    for (int v = std::max(vlo, 0); v < std::min(vhi, vext); ++v) {
        // The run of priority q goes on from the previous line, so R starts
        // as the last pixel read, which belongs to it (and positions skipped
        // before the first one inside leave it so).
        s.L = 0;
        if (keeps_run_pixel(Pass)) s.R = s.last;

        int i = ia;
        int u = ustart + i * f;
        const int8_t *pr = along_columns(Pass) ? plane.at(v, u) : plane.at(u, v);
        if (!s.started) {
            // The first pixel of the call opens the first run.
            s.started = true;
            s.q = *pr;
            if (keeps_run_pixel(Pass)) s.R = *source_at<Pass>(s, u, v);
        } else if (*pr == s.q) {
            // The run goes on from the previous line; this pixel is its colour.
            if (keeps_run_pixel(Pass)) s.R = *source_at<Pass>(s, u, v);
        } else {
            change_point<Pass>(s, i, u, v, source_at<Pass>(s, u, v), pr, ahead, next);
        }

        // Along a run: one read and one comparison per position.
        for (++i, pr += ahead; i < ib; ++i, pr += ahead) {
            const int q = s.q;
            while (*pr == q) {
                if (++i == ib) break;
                pr += ahead;
            }
            if (i == ib) break;
            u = ustart + i * f;
            change_point<Pass>(s, i, u, v, source_at<Pass>(s, u, v), pr, ahead, next);
        }
        if (keeps_run_pixel(Pass)) s.last = *source_at<Pass>(s, ustart + (ib - 1) * f, v);
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

    // The positions any pass visits inside the bitmap: columns x1..x2 and
    // rows y1..y2, both ends included.
    const int xa = std::max(x1, 0), xb = std::min(x2, source->w - 1);
    const int ya = std::max(y1, 0), yb = std::min(y2, source->h - 1);
    if (xa > xb || ya > yb) return;
    plane.build(source, xa, ya, xb, yb);

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
