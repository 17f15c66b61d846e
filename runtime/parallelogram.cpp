#include "runtime/parallelogram.h"
#include "runtime/forms/limits.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace qm {

namespace {

// A top-down 32-bit bitmap selected into a memory device context.
class DibSurface {
public:
    DibSurface() = default;
    DibSurface(int w, int h) : w_(w), h_(h) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        if (!forms::image_fits(w, h)) return;
        bmp_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        dc_ = CreateCompatibleDC(nullptr);
        if (bmp_ && dc_) {
            old_ = SelectObject(dc_, bmp_);
            bits_ = static_cast<uint32_t*>(bits);
        }
    }
    ~DibSurface() { release(); }
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;
    DibSurface& operator=(DibSurface&& o) noexcept {
        release();
        std::swap(w_, o.w_), std::swap(h_, o.h_), std::swap(bmp_, o.bmp_), std::swap(dc_, o.dc_);
        std::swap(old_, o.old_), std::swap(bits_, o.bits_);
        return *this;
    }

    bool ok() const noexcept { return bits_ != nullptr; }
    bool holds(int w, int h) const noexcept { return ok() && w_ >= w && h_ >= h; }
    HDC dc() const noexcept { return dc_; }
    // Row y of the top-left w-pixel-wide part (the bitmap may be wider).
    uint32_t* row(int y) const noexcept { return bits_ + static_cast<size_t>(y) * stride(); }
    size_t stride() const noexcept { return static_cast<size_t>(w_); }  // pixels per row

private:
    void release() noexcept {
        if (dc_) {
            if (old_) SelectObject(dc_, old_);
            DeleteDC(dc_);
        }
        if (bmp_) DeleteObject(bmp_);
        bmp_ = nullptr, dc_ = nullptr, old_ = nullptr, bits_ = nullptr, w_ = h_ = 0;
    }
    int w_ = 0, h_ = 0;
    HBITMAP bmp_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// Fresh memory of a large bitmap is slow to touch the first time: the two work
// bitmaps are kept for the next copy, up to this many pixels each. A copy that
// finds them in use (another thread) works on bitmaps of its own.
constexpr long long kKeptPixels = 2048LL * 2048;

struct Kept {
    std::mutex busy;
    DibSurface from, to;
};

Kept& kept() {
    static Kept surfaces;
    return surfaces;
}

DibSurface& work_surface(DibSurface& kept, DibSurface& temporary, int w, int h) {
    if (kept.holds(w, h)) return kept;
    if (static_cast<long long>(w) * h > kKeptPixels) {
        temporary = DibSurface(w, h);
        return temporary;
    }
    kept = DibSurface(w, h);
    return kept;
}

// Tiles and bands of the pixel pass, in pixels a side.
constexpr int kTile = 64;

// From this many destination pixels on, threads of the process's thread pool
// draw bands alongside the caller.
constexpr long long kParallelPixels = 1024LL * 1024;

template <class Draw>
struct Bands {
    std::atomic<int> next{0};
    int count;
    const Draw& draw;

    void run() noexcept {
        for (int band; (band = next.fetch_add(1, std::memory_order_relaxed)) < count;) draw(band);
    }
    static void CALLBACK help(PTP_CALLBACK_INSTANCE, void* bands, PTP_WORK) { static_cast<Bands*>(bands)->run(); }
};

// Calls draw(band) once for each band 0..count-1. The bands are claimed one at
// a time; the caller claims them too and then waits only for bands already
// being drawn: help that has not started by then is called off.
template <class Draw>
void draw_bands(int count, long long pixels, const Draw& draw) {
    Bands<Draw> bands{{}, count, draw};
    PTP_WORK work = nullptr;
    if (pixels >= kParallelPixels && count > 1) {
        // The caller and up to seven helpers: the pass waits on memory more than
        // it computes, and gains from each processor.
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        const unsigned processors = system.dwNumberOfProcessors;
        const unsigned threads = std::min({processors, 8u, static_cast<unsigned>(count)});
        if (threads > 1 && (work = CreateThreadpoolWork(&Bands<Draw>::help, &bands, nullptr)))
            for (unsigned i = 1; i < threads; ++i) SubmitThreadpoolWork(work);
    }
    bands.run();
    if (work) {
        WaitForThreadpoolWorkCallbacks(work, TRUE);
        CloseThreadpoolWork(work);
    }
}

// Whether dc's logical units are the pixels of its bitmap: MM_TEXT, no moved
// origin, no world transform.
bool pixel_units(HDC dc) {
    if (GetMapMode(dc) != MM_TEXT) return false;
    POINT window{}, viewport{};
    if (!GetWindowOrgEx(dc, &window) || !GetViewportOrgEx(dc, &viewport) || window.x || window.y || viewport.x ||
        viewport.y)
        return false;
    XFORM world{};
    return GetGraphicsMode(dc) != GM_ADVANCED ||
           (GetWorldTransform(dc, &world) && world.eM11 == 1 && world.eM12 == 0 && world.eM21 == 0 &&
            world.eM22 == 1 && world.eDx == 0 && world.eDy == 0);
}

// Whether drawing on dc reaches every pixel of its bitmap: no clip region.
bool unclipped(HDC dc) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (!region) return false;
    const int clipped = GetClipRgn(dc, region);
    DeleteObject(region);
    return clipped == 0;
}

}  // namespace

bool parallelogram_copy(HDC dest, const POINT corners[3], HDC src, int x, int y, int w, int h,
                        const PixelRows* dest_pixels, const PixelRows* src_pixels, const uint32_t* clear) {
    if (!dest_pixels) clear = nullptr;
    if (clear) GdiFlush();
    // Clears what the parallelogram does not cover, or all of it.
    const auto clear_rows = [&](int from, int to) {
        for (int j = from; j < to; ++j) std::fill_n(dest_pixels->row(j), dest_pixels->width, *clear);
    };
    const auto nothing_to_copy = [&] {
        if (clear) clear_rows(0, dest_pixels->height);
        return true;
    };
    if (w <= 0 || h <= 0) return nothing_to_copy();
    const double ox = corners[0].x, oy = corners[0].y;
    // One source pixel to the right moves (ex, ey) in the destination, one down (fx, fy).
    const double ex = (corners[1].x - ox) / w, ey = (corners[1].y - oy) / w;
    const double fx = (corners[2].x - ox) / h, fy = (corners[2].y - oy) / h;
    const double det = ex * fy - ey * fx;
    if (std::fabs(det) < 1e-9) return nothing_to_copy();

    // The parallelogram's bounding box, within what dest can show.
    const double xs[4] = {ox, double(corners[1].x), double(corners[2].x), corners[1].x + corners[2].x - ox};
    const double ys[4] = {oy, double(corners[1].y), double(corners[2].y), corners[1].y + corners[2].y - oy};
    RECT box{static_cast<LONG>(std::floor(*std::min_element(xs, xs + 4))),
             static_cast<LONG>(std::floor(*std::min_element(ys, ys + 4))),
             static_cast<LONG>(std::ceil(*std::max_element(xs, xs + 4))),
             static_cast<LONG>(std::ceil(*std::max_element(ys, ys + 4)))};
    RECT clip{};
    if (GetClipBox(dest, &clip) == ERROR) return false;
    RECT area{};
    if (!IntersectRect(&area, &box, &clip)) return nothing_to_copy();
    const int bw = area.right - area.left, bh = area.bottom - area.top;

    // The pixels are read from the source bitmap and written to the destination
    // bitmap where the caller gives them and the DCs draw on them one to one;
    // otherwise through copies.
    const bool read_direct = src_pixels && src_pixels->top != (dest_pixels ? dest_pixels->top : nullptr) &&
                             pixel_units(src) && x >= 0 && y >= 0 && x <= src_pixels->width - w &&
                             y <= src_pixels->height - h;
    const bool write_direct = dest_pixels && pixel_units(dest) && unclipped(dest) &&
                              area.right <= dest_pixels->width && area.bottom <= dest_pixels->height &&
                              area.left >= 0 && area.top >= 0;
    // Cleared in the pass where it writes in place, else before it.
    if (clear && !write_direct) clear_rows(0, dest_pixels->height), clear = nullptr;
    if (clear) clear_rows(0, area.top), clear_rows(area.bottom, dest_pixels->height);
    PixelRows in{}, out{};
    std::unique_lock<std::mutex> owned(kept().busy, std::defer_lock);
    if (!read_direct || !write_direct) owned.try_lock();
    DibSurface unused_from, unused_to, temporary_from, temporary_to;
    if (read_direct) {
        in = *src_pixels;
        in.top = in.row(y) + x;
    } else {
        DibSurface& from = work_surface(owned ? kept().from : unused_from, temporary_from, w, h);
        if (!from.ok() || !BitBlt(from.dc(), 0, 0, w, h, src, x, y, SRCCOPY)) return false;
        in = PixelRows{from.row(0), static_cast<ptrdiff_t>(from.stride()), w, h};
    }
    DibSurface* to = nullptr;
    if (write_direct) {
        out = *dest_pixels;
        out.top = out.row(area.top) + area.left;
    } else {
        to = &work_surface(owned ? kept().to : unused_to, temporary_to, bw, bh);
        if (!to->ok() || !BitBlt(to->dc(), 0, 0, bw, bh, dest, area.left, area.top, SRCCOPY)) return false;
        out = PixelRows{to->row(0), static_cast<ptrdiff_t>(to->stride()), bw, bh};
    }
    GdiFlush();

    // The inverse map: destination point (X, Y) -> source point (u, v), stepped
    // along each row in fixed point (32 fraction bits). First each row's start
    // and the columns that land inside the source.
    const double du = fy / det, dv = -ey / det;  // per destination pixel to the right
    constexpr double kOne = 4294967296.0;
    const long long step_u = std::llround(du * kOne), step_v = std::llround(dv * kOne);
    const long long max_u = static_cast<long long>(w) << 32, max_v = static_cast<long long>(h) << 32;
    struct Row {
        long long u, v;  // at column 0
        int first, last;
    };
    std::vector<Row> rows(static_cast<size_t>(bh));
    for (int j = 0; j < bh; ++j) {
        Row& row = rows[static_cast<size_t>(j)];
        row.first = 0, row.last = -1;
        const double dx = area.left + 0.5 - ox, dy = area.top + j + 0.5 - oy;
        const double u0 = (dx * fy - dy * fx) / det, v0 = (ex * dy - ey * dx) / det;
        // The columns whose u and v lie inside: estimated, then made exact at both ends.
        double lo = 0, hi = bw - 1;
        auto limit = [&](double start, double step, double size) {
            if (step == 0) {
                if (start < 0 || start >= size) hi = -1;
                return;
            }
            double a = (0 - start) / step, b = (size - start) / step;
            if (a > b) std::swap(a, b);
            lo = std::max(lo, std::floor(a) - 1);
            hi = std::min(hi, std::ceil(b) + 1);
        };
        limit(u0, du, w);
        limit(v0, dv, h);
        if (hi < lo) continue;
        row.u = std::llround(u0 * kOne), row.v = std::llround(v0 * kOne);
        auto inside = [&](int i) {
            const long long u = row.u + step_u * i, v = row.v + step_v * i;
            return u >= 0 && v >= 0 && u < max_u && v < max_v;
        };
        int first = static_cast<int>(lo), last = static_cast<int>(hi);
        while (first <= last && !inside(first)) ++first;
        while (last >= first && !inside(last)) --last;
        row.first = first, row.last = last;
    }

    // Then the pixels, one band of rows at a time, each band in square tiles: a
    // tile's source pixels lie close together, where a whole row of a turned
    // picture would touch a new source row every few pixels.
    const auto draw_band = [&](int band) {
        const int j0 = band * kTile, j1 = std::min(bh, j0 + kTile);
        for (int j = j0; clear && j < j1; ++j) {  // each row's pixels left and right of the parallelogram
            const Row& row = rows[static_cast<size_t>(j)];
            uint32_t* const whole = dest_pixels->row(area.top + j);
            const int first = area.left + (row.first <= row.last ? row.first : bw);
            const int after = row.first <= row.last ? area.left + row.last + 1 : first;
            std::fill(whole, whole + first, *clear);
            std::fill(whole + after, whole + dest_pixels->width, *clear);
        }
        for (int i0 = 0; i0 < bw; i0 += kTile) {
            const int i1 = std::min(bw, i0 + kTile);
            for (int j = j0; j < j1; ++j) {
                const Row& row = rows[static_cast<size_t>(j)];
                const int first = std::max(row.first, i0), last = std::min(row.last, i1 - 1);
                if (first > last) continue;
                uint32_t* const line = out.row(j);
                long long u = row.u + step_u * first, v = row.v + step_v * first;
                for (int i = first; i <= last; ++i, u += step_u, v += step_v)
                    line[i] = in.row(static_cast<int>(v >> 32))[u >> 32];
            }
        }
    };
    draw_bands((bh + kTile - 1) / kTile, static_cast<long long>(bw) * bh, draw_band);
    return !to || BitBlt(dest, area.left, area.top, bw, bh, to->dc(), 0, 0, SRCCOPY) != FALSE;
}

}  // namespace qm
