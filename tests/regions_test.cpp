// Regions of pixels: the runs of pixels other than a key colour, read in bands
// and merged in batches, against one CombineRgn per run.
#include <windows.h>
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "runtime/regions.h"

using namespace qm;

namespace {

// A top-down 32-bit picture in a memory device context.
struct Picture {
    Picture(long w, long h) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels = static_cast<DWORD*>(bits);
        dc = CreateCompatibleDC(nullptr);
        previous = SelectObject(dc, bitmap);
    }
    ~Picture() {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    long width, height;
    HBITMAP bitmap;
    DWORD* pixels;
    HDC dc;
    HGDIOBJ previous;
};

HRGN one_combine_per_run(const Picture& p, DWORD key) {
    HRGN total = CreateRectRgn(0, 0, 0, 0);
    for (long y = 0; y < p.height; ++y)
        for (long x = 0; x < p.width;) {
            if ((p.pixels[y * p.width + x] & 0xFFFFFF) == key) {
                ++x;
                continue;
            }
            long end = x;
            while (end < p.width && (p.pixels[y * p.width + end] & 0xFFFFFF) != key) ++end;
            HRGN run = CreateRectRgn(x, y, end, y + 1);
            CombineRgn(total, total, run, RGN_OR);
            DeleteObject(run);
            x = end;
        }
    return total;
}

}  // namespace

TEST(Regions, RunsOfManyBandsAndBatchesMakeTheSameRegion) {
    struct Case {
        long width, height;
        int percent;       // pixels other than the background
        DWORD back;        // 0x00RRGGBB
        bool first_pixel;  // key: the first pixel's colour instead of back
        int region_type;   // GetRgnBox
    } cases[] = {
        {2000, 70, 2, 0xFFFFFF, false, COMPLEXREGION},  // three bands; batches straddle them
        {70000, 3, 1, 0x00FF00, false, COMPLEXREGION},  // a row wider than a band
        {300, 40, 40, 0xFF0000, true, COMPLEXREGION},
        {9, 4, 0, 0xFFFFFF, false, NULLREGION},
        {7, 3, 100, 0xFFFFFF, false, SIMPLEREGION},     // runs closed at the right edge
    };
    std::mt19937 random(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.percent << "%");
        Picture p(c.width, c.height);
        ASSERT_TRUE(p.pixels);
        for (long i = 0; i < c.width * c.height; ++i) {
            // The unused top byte is not part of the colour.
            const DWORD top = (random() % 2) << 24;
            p.pixels[i] = top | (static_cast<int>(random() % 100) < c.percent ? 0x102030 : c.back);
        }
        if (c.first_pixel) p.pixels[0] = 0x01000000 | c.back;
        GdiFlush();
        HRGN got = region_of_pixels(p.dc, c.width, c.height, c.first_pixel ? kKeyOfFirstPixel : c.back);
        ASSERT_TRUE(got);
        HRGN expected = one_combine_per_run(p, c.back);
        RECT box{};
        EXPECT_EQ(GetRgnBox(got, &box), c.region_type);
        EXPECT_TRUE(EqualRgn(got, expected));
        DeleteObject(got);
        DeleteObject(expected);
    }
}
