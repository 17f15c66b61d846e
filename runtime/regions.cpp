// Regions of pixels. A noisy picture has about 100,000 runs, and both the read
// and the region must stay cheap for it:
// - The pixels come through one small copy, a band of rows at a time: a copy of
//   the whole picture in fresh memory costs more than everything else together.
// - A system may add the rectangles of one ExtCreateRegion call one at a time,
//   each at the cost of the region built so far, and a union costs the size of
//   both regions: regions of 16 runs merged like a merge sort keep the work
//   near n log n (256 runs a region were four times slower).
#include "runtime/regions.h"
#include "runtime/forms/limits.h"

#include <algorithm>
#include <vector>

namespace qm {

namespace {

constexpr size_t kBatch = 16;
constexpr long kBandBytes = 256 * 1024;
constexpr int kRegionError = 0;  // CombineRgn's failure

// A top-down 32-bit copy of width x rows pixels, refilled band by band.
class BandCopy {
public:
    BandCopy(HDC source, long width, long rows) : source_(source) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -rows, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        memory_ = bitmap_ && bits ? CreateCompatibleDC(source) : nullptr;
        if (!memory_) return;
        previous_ = SelectObject(memory_, bitmap_);
        bits_ = static_cast<const DWORD*>(bits);
    }
    ~BandCopy() {
        if (memory_) {
            SelectObject(memory_, previous_);
            DeleteDC(memory_);
        }
        if (bitmap_) DeleteObject(bitmap_);
    }
    BandCopy(const BandCopy&) = delete;
    BandCopy& operator=(const BandCopy&) = delete;

    // The rows from top on; pixels the source cannot give stay black.
    const DWORD* read(long top, long width, long rows) {
        if (!bits_) return nullptr;
        BitBlt(memory_, 0, 0, width, rows, source_, 0, top, SRCCOPY);
        GdiFlush();
        return bits_;
    }

private:
    HDC source_;
    HBITMAP bitmap_ = nullptr;
    HDC memory_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    const DWORD* bits_ = nullptr;
};

HRGN batch_region(const RECT* rects, size_t n) {
    struct {
        RGNDATAHEADER header;
        RECT rects[kBatch];
    } data;
    RECT bounds = rects[0];
    for (size_t i = 1; i < n; ++i) UnionRect(&bounds, &bounds, &rects[i]);
    data.header = {sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(n), static_cast<DWORD>(n * sizeof(RECT)),
                   bounds};
    std::copy_n(rects, n, data.rects);
    return ExtCreateRegion(nullptr, static_cast<DWORD>(sizeof(RGNDATAHEADER) + n * sizeof(RECT)),
                           reinterpret_cast<RGNDATA*>(&data));
}

// Regions waiting to be merged, each covering 2^level batches: a new one is
// merged with the last while their levels match, so only about log n regions
// are alive at once and each merge joins two of like size.
class MergeStack {
public:
    ~MergeStack() {
        for (const Entry& e : entries_) DeleteObject(e.region);
    }
    // Adds a region of the rectangles (at most kBatch).
    bool add(const RECT* rects, size_t n) {
        HRGN region = batch_region(rects, n);
        if (!region) return false;
        int level = 0;
        while (!entries_.empty() && entries_.back().level == level) {
            if (!merge_into_last(region)) return false;
            region = entries_.back().region;
            entries_.pop_back();
            ++level;
        }
        entries_.push_back({region, level});
        return true;
    }
    // The union of all, handed to the caller.
    HRGN finish() {
        if (entries_.empty()) return CreateRectRgn(0, 0, 0, 0);
        while (entries_.size() > 1) {
            const HRGN last = entries_.back().region;
            entries_.pop_back();
            if (!merge_into_last(last)) return nullptr;
        }
        const HRGN result = entries_.back().region;
        entries_.clear();
        return result;
    }

private:
    struct Entry {
        HRGN region;
        int level;
    };
    // Adds region to the last entry and deletes it.
    bool merge_into_last(HRGN region) {
        const bool merged = CombineRgn(entries_.back().region, entries_.back().region, region, RGN_OR) != kRegionError;
        DeleteObject(region);
        return merged;
    }
    std::vector<Entry> entries_;
};

}  // namespace

HRGN region_of_pixels(HDC source, long width, long height, DWORD key) {
    if (width <= 0 || height <= 0) return CreateRectRgn(0, 0, 0, 0);
    if (static_cast<long long>(width) * height * 4 > forms::kMaxImageBytes) return nullptr;  // far too long a read
    const long band = std::clamp(kBandBytes / (width * 4), 1L, height);
    BandCopy copy(source, width, band);
    MergeStack merged;
    std::vector<RECT> runs;
    for (long top = 0; top < height; top += band) {
        const long rows = std::min(band, height - top);
        const DWORD* pixels = copy.read(top, width, rows);
        if (!pixels) return nullptr;
        if (key == kKeyOfFirstPixel) key = pixels[0] & 0xFFFFFF;
        for (long y = 0; y < rows; ++y) {
            const DWORD* row = pixels + static_cast<ptrdiff_t>(y) * width;
            long x = 0;
            while (x < width) {
                while (x < width && (row[x] & 0xFFFFFF) == key) ++x;
                if (x >= width) break;
                const long start = x;
                while (x < width && (row[x] & 0xFFFFFF) != key) ++x;
                runs.push_back({start, top + y, x, top + y + 1});
            }
        }
        // Whole batches go now; the rest waits for the next band.
        const size_t whole = runs.size() - runs.size() % kBatch;
        for (size_t first = 0; first < whole; first += kBatch)
            if (!merged.add(&runs[first], kBatch)) return nullptr;
        runs.erase(runs.begin(), runs.begin() + static_cast<ptrdiff_t>(whole));
    }
    if (!runs.empty() && !merged.add(runs.data(), runs.size())) return nullptr;
    return merged.finish();
}

}  // namespace qm
