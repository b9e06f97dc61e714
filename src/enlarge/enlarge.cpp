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
// Whether a change point draws depends only on its neighbourhood and on the
// pixel read just before it: the run behind it is one pixel long exactly when
// that pixel was a change point too, and that pixel is the run's colour. So
// each line is first marked position by position without branches, and only
// the marked positions are examined closely. The priorities are looked up
// once per call into two grids, one along the source rows and one along its
// columns, so that every pass walks contiguous memory.
//
// The scaler reads only the source and writes only the destination; it never
// reads back what it or the stretch drew. The source area may lie partly
// outside the source bitmap; positions outside are skipped and neighbours
// outside match no priority. Every write is clipped to the destination.
#include "enlarge/enlarge.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ula/ula.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int back_search = 16;    // how far a diagonal streak is followed
constexpr int forward_search = 8;  // how far the run ahead of the pixel is followed
static_assert(smart_enlarge_reach_along == forward_search + back_search,
              "a change point reads forward_search ahead and draws back_search behind");
constexpr int no_priority = -1;    // a neighbour outside the source bitmap
constexpr int block = 16;          // positions marked at once (see scan_pass)
// Cells around the scanned area in every grid: the back search, and the
// neighbours of the positions marked beyond the area's end to fill a block.
constexpr int frame = std::max(back_search, block + 2);

// Passes: 0 rows left to right, 1 rows right to left, 2 columns top to
// bottom, 3 columns bottom to top.
constexpr bool along_columns(int pass) { return pass >= 2; }
constexpr int direction(int pass) { return (pass & 1) ? -1 : 1; }

// The priorities of the source around the scanned area, one byte per pixel,
// laid out so that the scan lines of a pass are contiguous: position u along
// a line, line v across. The rows grid (u = x, v = y) serves passes 0 and 1,
// its transpose, the columns grid (u = y, v = x), passes 2 and 3. The frame
// on every side lets every neighbour be read without a bounds check; cells
// outside the source bitmap hold no_priority. Both are built once per call;
// the buffers are kept between calls.
struct Grid {
    std::vector<int8_t> cells;
    int u0 = 0, v0 = 0;          // coordinates of the first cell
    int stride = 0, lines = 0;   // cells per line, and lines
    const int8_t *at(int u, int v) const {
        return &cells[static_cast<size_t>(v - v0) * stride + static_cast<size_t>(u - u0)];
    }
};

Grid rows_grid, columns_grid;

// Transposes the 8 x 8 cells at in (rows in_stride apart) into out (rows
// out_stride apart).
inline void transpose8(const int8_t *in, ptrdiff_t in_stride, int8_t *out, ptrdiff_t out_stride) {
#if defined(__SSE2__)
    __m128i r[8];
    for (int k = 0; k < 8; ++k) r[k] = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(in + k * in_stride));
    // Interleave bytes, then pairs, then fours: each step doubles the run of
    // one column's cells that lie together.
    const __m128i b0 = _mm_unpacklo_epi8(r[0], r[1]), b1 = _mm_unpacklo_epi8(r[2], r[3]);
    const __m128i b2 = _mm_unpacklo_epi8(r[4], r[5]), b3 = _mm_unpacklo_epi8(r[6], r[7]);
    const __m128i w0 = _mm_unpacklo_epi16(b0, b1), w1 = _mm_unpackhi_epi16(b0, b1);
    const __m128i w2 = _mm_unpacklo_epi16(b2, b3), w3 = _mm_unpackhi_epi16(b2, b3);
    const __m128i col[4] = {_mm_unpacklo_epi32(w0, w2), _mm_unpackhi_epi32(w0, w2), _mm_unpacklo_epi32(w1, w3),
                            _mm_unpackhi_epi32(w1, w3)};
    for (int k = 0; k < 4; ++k) {
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + (2 * k) * out_stride), col[k]);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + (2 * k + 1) * out_stride), _mm_unpackhi_epi64(col[k], col[k]));
    }
#else
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y) out[x * out_stride + y] = in[y * in_stride + x];
#endif
}

// Both grids cover the area's positions inside the bitmap, xa..xb by ya..yb,
// with the frame around them; their sides are rounded up to whole blocks of
// 8 for the transpose.
void build_grids(const BITMAP *src, int xa, int ya, int xb, int yb) {
    Grid &g = rows_grid;
    g.u0 = xa - frame;
    g.v0 = ya - frame;
    g.stride = (xb - xa + 1 + 2 * frame + 7) & ~7;
    g.lines = (yb - ya + 1 + 2 * frame + 7) & ~7;
    g.cells.resize(static_cast<size_t>(g.stride) * g.lines);
    // Only rows and columns inside the bitmap hold priorities.
    const int cx0 = std::max(g.u0, 0), cx1 = std::max(std::min(g.u0 + g.stride, src->w), cx0);
    for (int y = g.v0; y < g.v0 + g.lines; ++y) {
        int8_t *row = &g.cells[static_cast<size_t>(y - g.v0) * g.stride];
        if (y < 0 || y >= src->h) {
            std::fill(row, row + g.stride, no_priority);
            continue;
        }
        std::fill(row, row + (cx0 - g.u0), no_priority);
        const uint8_t *in = src->line[y];
        for (int x = cx0; x < cx1; ++x) row[x - g.u0] = colour_table[in[x]];
        std::fill(row + (cx1 - g.u0), row + g.stride, no_priority);
    }

    Grid &t = columns_grid;
    t.u0 = g.v0;
    t.v0 = g.u0;
    t.stride = g.lines;
    t.lines = g.stride;
    t.cells.resize(g.cells.size());
    for (int y = 0; y < g.lines; y += 8)
        for (int x = 0; x < g.stride; x += 8)
            transpose8(&g.cells[static_cast<size_t>(y) * g.stride + x], g.stride,
                       &t.cells[static_cast<size_t>(x) * t.stride + y], t.stride);
}

// Where one pass reads, in its own coordinates: positions ulo..uhi (both
// ends) along the scan lines vlo..vhi-1.
struct Span {
    int ulo, uhi, vlo, vhi;
};

struct Scan {
    const BITMAP *src;
    BITMAP *dest;
    int n;                    // scale
    int x1, x2;               // the area's left and right corners, for the fill
    int cl, cr, ct, cb;       // destination bounds: columns cl..cr-1, rows ct..cb-1
    bool fine_dither;
    Span area[2];             // the whole area, along rows (0) and along columns (1)
    Span window[2];           // the part of it scanned now (the whole area, or less)
};

// The part of a span inside the bitmap: positions ua..ub, lines va..vb-1.
struct Inside {
    int ua, ub, va, vb;
    bool empty() const { return ua > ub || va >= vb; }
};

Inside inside(const Span &a, int uext, int vext) {
    return {std::max(a.ulo, 0), std::min(a.uhi, uext - 1), std::max(a.vlo, 0), std::min(a.vhi, vext)};
}

// The pixel a scan of the whole area reads just before the first position
// of line v in pass Pass: the last pixel of the line before, or at the first
// line the last pixel of the pass before (none before the first pixel of
// all). A scan of the whole area carries it over from there; a scan of a
// window finds it here, so both judge a line's first positions alike.
struct Carried {
    bool started;             // false before the first pixel of all
    int q;                    // its priority
    int last;                 // its value
};

template <int Pass>
Carried carried(const Scan &s, int v) {
    const BITMAP *b = s.src;
    const Inside r = inside(s.area[0], b->w, b->h), c = inside(s.area[1], b->h, b->w);
    int x = 0, y = 0;
    auto at = [&](int px, int py) { x = px, y = py; };
    switch (Pass) {
        case 0:
            if (v == r.va) return {false, 0, 0};
            at(r.ub, v - 1);
            break;
        case 1:
            if (v > r.va) at(r.ua, v - 1);
            else at(r.ub, r.vb - 1);
            break;
        case 2:
            if (v > c.va) at(v - 1, c.ub);
            else if (!r.empty()) at(r.ua, r.vb - 1);
            else return {false, 0, 0};
            break;
        default:
            if (v > c.va) at(v - 1, c.ua);
            else at(c.vb - 1, c.ub);
            break;
    }
    const int value = b->line[y][x];
    return {true, colour_table[value], value};
}

// Source pixel value at position u of scan line v, in bounds.
template <int Pass>
inline int source_at(const Scan &s, int u, int v) {
    return along_columns(Pass) ? s.src->line[u][v] : s.src->line[v][u];
}

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

// One line of the fan, from..to along the scan on destination line `line`,
// clipped to the destination and stored straight into its rows (the
// destination is a memory bitmap, drawn in solid colour).
template <int Pass>
void fan_line(const Scan &s, int line, int from, int to, int c) {
    constexpr bool columns = along_columns(Pass);
    const int lo = columns ? s.ct : s.cl, hi = columns ? s.cb : s.cr;
    const int across_lo = columns ? s.cl : s.ct, across_hi = columns ? s.cr : s.cb;
    if (line < across_lo || line >= across_hi) return;
    from = std::max(from, lo);
    to = std::min(to, hi - 1);
    if (from > to) return;
    if (columns) {
        for (int Y = from; Y <= to; ++Y) s.dest->line[Y][line] = static_cast<uint8_t>(c);
    } else {
        std::memset(s.dest->line[line] + from, c, static_cast<size_t>(to - from + 1));
    }
}

// Eight cells at a time, as one little-endian word: byte k holds cell k.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "cell words are read lowest byte first");
constexpr uint64_t ones = 0x0101010101010101u;
constexpr uint64_t low7 = 0x7F7F7F7F7F7F7F7Fu;

inline uint64_t load8(const int8_t *cells) {
    uint64_t w;
    std::memcpy(&w, cells, 8);
    return w;
}

// 0x80 in every byte of w that is zero, 0 in the others.
constexpr uint64_t zero_bytes(uint64_t w) { return ~(((w & low7) + low7) | w | low7); }

// Of the eight cells at cells[0..7], how many in a row hold priority p,
// counted from cells[0] up (Up) or from cells[7] down.
template <bool Up>
inline int run_of(const int8_t *cells, int p) {
    const uint64_t differs = load8(cells) ^ (ones * static_cast<uint8_t>(p));
    if (!differs) return 8;
    return (Up ? __builtin_ctzll(differs) : __builtin_clzll(differs)) >> 3;
}

// How many cells behind the position just after `from` (from - F, from - 2F,
// ...) hold priority p without a gap, up to the back search limit.
template <int F>
inline int streak(const int8_t *from, int p) {
    static_assert(back_search == 16, "two words of eight cells");
    const int8_t *near = F > 0 ? from - 8 : from + 1;
    const int first = run_of<(F < 0)>(near, p);
    if (first < 8) return first;
    return 8 + run_of<(F < 0)>(F > 0 ? near - 8 : near + 8, p);
}

// The first j in 1..8 for which the cell j positions ahead of the pixel does
// not hold priority p, cells outside the bitmap counting as pixel value 0,
// or 9 if all eight do.
template <int F>
inline int forward_run_end(const int8_t *pr, int p) {
    static_assert(forward_search == 8, "one word of eight cells");
    const uint64_t w = load8(F > 0 ? pr + 1 : pr - 8);
    uint64_t same = zero_bytes(w ^ (ones * static_cast<uint8_t>(p)));
    if (colour_table[0] == p) same |= zero_bytes(w ^ (ones * static_cast<uint8_t>(no_priority)));
    const uint64_t differs = ~same & (ones << 7);
    if (!differs) return forward_search + 1;
    return 1 + ((F > 0 ? __builtin_ctzll(differs) : __builtin_clzll(differs)) >> 3);
}

// Marks, for the count positions of one line from pr on (in memory order),
// the pixels that can draw something: change points (the priority differs
// from the previous position's) that pass the priority gate and have a
// streak behind them on one side only, with the other side free of their
// priority, after a run of two or more (a staircase edge); or, with
// Checkers, lone pixels after a one-pixel run with single diagonal
// neighbours of their priority behind them on both sides (a dither). The
// previous position is taken from the line itself, which is wrong for the
// first two positions of the scan; the caller looks at those anyway. No
// branches, so the compiler can work on many positions at once.
template <int F, bool Checkers>
void mark_candidates(const int8_t *pr, ptrdiff_t stride, int count, uint8_t *flags) {
    const int8_t *prev = pr - stride, *next = pr + stride;
    for (int k = 0; k < count; ++k) {
        const int8_t p = pr[k], q0 = pr[k - F], a = prev[k], b = next[k];
        const bool change = p != q0;
        const bool spreads = (p > q0) | ((a == q0) & (b == q0));
        const bool sn = next[k - F] == p, sp = prev[k - F] == p;
        const bool long_run = q0 == pr[k - 2 * F];
        bool draws = long_run & (sn != sp) & ((sn & (a != p)) | (sp & (b != p)));
        if (Checkers) {
            const int8_t ahead = pr[k + F];
            draws |= !long_run & (p < q0) & sn & sp & (next[k - 2 * F] != p) & (prev[k - 2 * F] != p) &
                     ((ahead == q0) | (ahead == no_priority));
        }
        flags[k] = static_cast<uint8_t>(change & spreads & draws);
    }
}

// The pixel at position u of line v, whose priority p differs from q0, the
// priority of the pixel read before it: a change point. pr points at p in
// the grid. `after_one` says the run behind it is at most one pixel long
// (the pixel before was a change point too, or fewer than two positions of
// the line lie behind it); prev_value is the value of the pixel read before,
// the colour of that run (only the row passes need it).
template <int Pass>
void change_point(const Scan &s, int u, int v, const int8_t *pr, ptrdiff_t stride, int q0, bool after_one,
                  int prev_value) {
    constexpr int F = direction(Pass);
    const int p = *pr;

    // A colour spreads over one of higher priority only as a feature one line
    // thick between two lines of that colour.
    const int above = pr[-stride], below = pr[stride];
    if (!((p > q0) | ((above == q0) & (below == q0)))) return;

    // Diagonal streaks of the pixel's priority behind it, on the next line
    // (sn) and on the previous line (sp), each counted from the first
    // position behind without a gap.
    const int sn = streak<F>(pr + stride, p);
    const int sp = streak<F>(pr - stride, p);
    int m = std::max(sn, sp);
    if (m == 0) return;

    if (after_one) {
        // A one-pixel run behind: the pixel may be the centre of a
        // checkerboard, if it stands alone (followed again by the previous
        // run's colour, or by the bitmap's edge).
        if (!along_columns(Pass) && s.fine_dither && sn == 1 && sp == 1 && p < q0 &&
            (pr[F] == q0 || pr[F] == no_priority))
            fine_checkerboard(s, u, v, source_at<Pass>(s, u, v), prev_value);
        return;
    }

    // A staircase edge: a streak on one side only, and on the other side the
    // pixel's own neighbour must not share its colour.
    if (sn != 0 && sp != 0) return;
    if ((sn == 0 ? below : above) == p) return;

    // A short run ahead limits the slope. Outside the bitmap counts as pixel 0.
    const int jf = forward_run_end<F>(pr, p);
    if (jf < m && jf != forward_search) m = jf;

    // The fan: n - 1 destination lines behind the pixel's block, the longest
    // next to the streak, each shorter by m away from it.
    const int c = source_at<Pass>(s, u, v);
    const int n = s.n;
    const int D = u * n;
    for (int k = 0; k <= n - 2; ++k) {
        const int len = m * (n - 1 - k);
        const int line = v * n + (sp != 0 ? k : n - 1 - k);
        if (F > 0)
            fan_line<Pass>(s, line, D - len, D - 1, c);
        else
            fan_line<Pass>(s, line, D + n, D + n - 1 + len, c);
    }
}

// Positions of one line, in memory order, that need a closer look.
std::vector<uint8_t> flags;

// Visits the set bytes of flags[0..count) in the scan's order; flags holds
// zeros up to the next multiple of 8.
template <int F, typename Visit>
inline void for_each_flag(const uint8_t *fl, int count, Visit visit) {
    const int words = (count + 7) / 8;
    for (int w = 0; w < words; ++w) {
        const int base = F > 0 ? 8 * w : 8 * (words - 1 - w);
        uint64_t bits;
        std::memcpy(&bits, fl + base, 8);
        while (bits) {
            if (F > 0) {
                visit(base + (__builtin_ctzll(bits) >> 3));
                bits &= bits - 1;
            } else {
                const int top = 63 - __builtin_clzll(bits);
                visit(base + (top >> 3));
                bits &= ~(uint64_t{1} << top);
            }
        }
    }
}

template <int Pass>
void scan_pass(Scan &s) {
    constexpr int F = direction(Pass);
    constexpr bool columns = along_columns(Pass);
    const Grid &g = columns ? columns_grid : rows_grid;
    const int uext = columns ? s.src->h : s.src->w;
    const int vext = columns ? s.src->w : s.src->h;
    const Span &area = s.area[columns], &window = s.window[columns];

    // The positions of the whole area inside the bitmap are the ones a scan
    // of it reads, from its first position on; the index of a position counts
    // from the area's first, inside or not. The window's positions are read.
    const Inside whole = inside(area, uext, vext);
    if (whole.empty()) return;
    const int area_first = F > 0 ? whole.ua : whole.ub;
    const int ua = std::max(window.ulo, whole.ua), ub = std::min(window.uhi, whole.ub);
    if (ua > ub) return;
    const int count = ub - ua + 1;
    auto index = [&](int u) { return F > 0 ? u - area.ulo : area.uhi - u; };

    // Lines are marked in whole blocks, which the compiler's wide compares
    // handle without a position-by-position tail; marks past the line's end
    // are cleared again.
    const int marked = (count + block - 1) / block * block;
    flags.assign(static_cast<size_t>(marked), 0);
    const bool checkers = !columns && s.fine_dither;
    const ptrdiff_t stride = g.stride;

    for (int v = std::max(window.vlo, whole.va); v < std::min(window.vhi, whole.vb); ++v) {
        const int8_t *line = g.at(ua, v);  // position ua
        if (checkers)
            mark_candidates<F, true>(line, stride, marked, flags.data());
        else
            mark_candidates<F, false>(line, stride, marked, flags.data());
        std::fill(flags.begin() + count, flags.end(), 0);

        // The area's first position compares with the pixel read before the
        // line (none before the first pixel of all, which opens the first
        // run), and its second with the first: both are always looked at.
        const Carried before = carried<Pass>(s, v);
        const bool first_changes =
            before.started && colour_table[source_at<Pass>(s, area_first, v)] != before.q;
        for (int u : {area_first, area_first + F})
            if (u >= ua && u <= ub) flags[u - ua] = 1;

        for_each_flag<F>(flags.data(), count, [&](int k) {
            const int u = ua + k;
            const int8_t *pr = line + k;
            const int i = index(u);
            if (u == area_first) {
                if (first_changes) change_point<Pass>(s, u, v, pr, stride, before.q, i <= 1, before.last);
                return;
            }
            const int q0 = pr[-F];
            if (*pr == q0) return;
            // The run before is one pixel long if the position before was a
            // change point; at the line's start the run goes on from the line before.
            const bool prev_changes = u - F == area_first ? first_changes : q0 != pr[-2 * F];
            change_point<Pass>(s, u, v, pr, stride, q0, i <= 1 || prev_changes,
                               columns ? 0 : source_at<Pass>(s, u - F, v));
        });
    }
}

// Runs the four passes over the windows of s, with the grids built around
// them, drawing into the destination bounds of s.
void scan_all(Scan &s) {
    const Span &r = s.window[0], &c = s.window[1];
    // The positions any pass visits inside the bitmap, both ends included.
    const int xa = std::max(std::min(r.ulo, c.vlo), 0), xb = std::min(std::max(r.uhi, c.vhi - 1), s.src->w - 1);
    const int ya = std::max(std::min(r.vlo, c.ulo), 0), yb = std::min(std::max(r.vhi - 1, c.uhi), s.src->h - 1);
    if (xa > xb || ya > yb || s.cl >= s.cr || s.ct >= s.cb) return;
    build_grids(s.src, xa, ya, xb, yb);
    scan_pass<0>(s);
    scan_pass<1>(s);
    scan_pass<2>(s);
    scan_pass<3>(s);
}

// The scan of the area x1..x2 by y1..y2 at scale n into dest, bounded by
// dest's size and clip rectangle; the window is the whole area.
Scan scan_of(BITMAP *source, BITMAP *dest, int x1, int y1, int x2, int y2, int n) {
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
    s.area[0] = s.window[0] = {x1, x2, y1, y2};
    s.area[1] = s.window[1] = {y1, y2, x1, x2};
    return s;
}

// Floor and ceiling of a / n for n > 0.
int floor_div(int a, int n) { return a >= 0 ? a / n : -((-a + n - 1) / n); }
int ceil_div(int a, int n) { return -floor_div(-a, n); }

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
    Scan s = scan_of(source, dest, x1, y1, x2, y2, n);
    scan_all(s);
}

void smart_enlarge_part(BITMAP *source, BITMAP *dest, int w, int h, int n, int X1, int Y1, int X2, int Y2) {
    if (n < 2) return;
    Scan s = scan_of(source, dest, 0, 0, w, h, n);
    s.cl = std::max(s.cl, X1);
    s.cr = std::min(s.cr, X2);
    s.ct = std::max(s.ct, Y1);
    s.cb = std::min(s.cb, Y2);
    // The source pixels under the part, and the change points whose drawing
    // can reach them: a fan reaches less than back_search pixels behind its
    // change point along the line, a fine checkerboard one pixel around it.
    const int x0 = floor_div(s.cl, n), x1 = ceil_div(s.cr, n), y0 = floor_div(s.ct, n), y1 = ceil_div(s.cb, n);
    s.window[0] = {x0 - back_search, x1 - 1 + back_search, y0 - 1, y1 + 1};
    s.window[1] = {y0 - back_search, y1 - 1 + back_search, x0, x1};
    scan_all(s);
}
