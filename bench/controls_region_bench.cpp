// Controls.Control_MakeTransparent on a 1024 x 768 picture box with a noisy
// picture (about 100,000 runs): the member's region against a plain reference
// on the same window, GetDIBits of a copy of its pixels and the fastest way to
// make a region of the runs here (regions of 16 runs merged pairwise: Wine's
// ExtCreateRegion adds the rectangles of one call one by one, each at the cost
// of the region so far). Handing the region to the window is timed on its own:
// Wine repaints a window with such a region slowly, growing with the square of
// its rectangles, so the whole member runs only on bands of the top rows. For
// scale, on the top 64 rows: one CombineRgn per run, and one ExtCreateRegion
// call for all of their runs.
// Goal: ratio <= 1.5 for the region.
#include <windows.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bench.h"
#include "controls/controls.h"
#include "controls/controls_region.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"

using qmbench::Best;
using qmbench::report;
using qmbench::sink;

namespace {

constexpr int kW = 1024, kH = 768;
constexpr COLORREF kBack = RGB(255, 255, 255);

// Noise: about one pixel in seven differs from the background.
HBITMAP noisy_bitmap() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kW, -kH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::mt19937 random(7);
    auto* p = static_cast<DWORD*>(bits);
    for (int i = 0; i < kW * kH; ++i) p[i] = random() % 100 < 15 ? 0x00102030 : 0x00FFFFFF;
    return bmp;
}

// The window's pixels, bottom-up 24-bit rows as GetDIBits gives them.
std::vector<BYTE> window_pixels(HWND h, int& stride) {
    HDC dc = GetWindowDC(h);
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, kW, kH);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, kW, kH, dc, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kW, kH, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    stride = (kW * 3 + 3) & ~3;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * kH);
    GetDIBits(mem, bmp, 0, kH, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(h, dc);
    return pixels;
}

std::vector<RECT> runs_of(const std::vector<BYTE>& pixels, int stride) {
    std::vector<RECT> runs;
    for (int y = 0; y < kH; ++y) {
        const BYTE* row = pixels.data() + static_cast<size_t>(kH - 1 - y) * stride;
        auto back = [&](int x) { return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]) == kBack; };
        for (int x = 0; x < kW;) {
            while (x < kW && back(x)) ++x;
            if (x >= kW) break;
            const int start = x;
            while (x < kW && !back(x)) ++x;
            runs.push_back({start, y, x, y + 1});
        }
    }
    return runs;
}

HRGN one_call(const RECT* runs, size_t n) {
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + n * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    *header = {sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(n), static_cast<DWORD>(n * sizeof(RECT)),
               {0, 0, kW, kH}};
    memcpy(data.data() + sizeof(RGNDATAHEADER), runs, n * sizeof(RECT));
    return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data()));
}

HRGN merged_region(const std::vector<RECT>& runs) {
    std::vector<HRGN> parts;
    for (size_t i = 0; i < runs.size(); i += 16) parts.push_back(one_call(&runs[i], std::min<size_t>(16, runs.size() - i)));
    while (parts.size() > 1) {
        std::vector<HRGN> next;
        for (size_t i = 0; i + 1 < parts.size(); i += 2) {
            CombineRgn(parts[i], parts[i], parts[i + 1], RGN_OR);
            DeleteObject(parts[i + 1]);
            next.push_back(parts[i]);
        }
        if (parts.size() % 2) next.push_back(parts.back());
        parts.swap(next);
    }
    return parts.empty() ? CreateRectRgn(0, 0, 0, 0) : parts.front();
}

}  // namespace

int main() {
    using namespace qm;
    ComPtr<forms::Form> form = forms::make<forms::Form>();
    form->set_border_style(0);
    form->show();
    SetWindowPos(form->hwnd(), HWND_TOPMOST, 0, 0, kW + 40, kH + 40, SWP_NOMOVE);
    auto& box = form->add<forms::PictureBox>(L"Picture1");
    box.set_border_style(0);
    box.set_back_color(kBack);
    box.set_picture(forms::picture_from_bitmap(noisy_bitmap()).get());
    SetWindowPos(box.hwnd(), nullptr, 0, 0, kW, kH, SWP_NOZORDER | SWP_NOMOVE);
    const HWND h = box.hwnd();
    RedrawWindow(form->hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (int i = 0; i < 30; ++i) forms::do_events(), Sleep(10);

    // The first copies may show the picture half drawn: read until two agree.
    int stride = 0;
    std::vector<RECT> all;
    for (int i = 0; i < 10; ++i) {
        std::vector<RECT> again = runs_of(window_pixels(h, stride), stride);
        const bool same = again.size() == all.size();
        all.swap(again);
        if (same) break;
        forms::do_events(), Sleep(50);
    }
    std::printf("runs: %zu\n", all.size());

    Best ours, reference;
    for (qmbench::Rounds round(7, 1.5); round.next();) {
        ours.time([&] { DeleteObject(Create_TransparentRegion(h, kH, kW, kBack)); });
        reference.time([&] { DeleteObject(merged_region(runs_of(window_pixels(h, stride), stride))); });
    }
    HRGN a = Create_TransparentRegion(h, kH, kW, kBack), r = merged_region(all);
    std::printf("regions equal: %s\n", EqualRgn(a, r) ? "yes" : "NO");
    report("Control_MakeTransparent region", 1, ours, reference, "GetDIBits + merged batches",
           qmbench::at_most(1.5));
    DeleteObject(r);
    const double assign = qmbench::seconds([&] { SetWindowRgn(h, a, FALSE); });
    SetWindowRgn(h, nullptr, FALSE);
    std::printf("SetWindowRgn without redraw, %zu runs: %.1f ms\n", all.size(), assign * 1e3);

    // The whole member, the window's redraw included, on bands of the top rows.
    ComPtr<qm::Controls> controls = ComPtr<qm::Controls>::attach(make_object<qm::Controls>());
    IDispatch* control = &box;
    for (int rows : {32, 64, 128}) {
        SetWindowPos(h, nullptr, 0, 0, kW, rows, SWP_NOZORDER | SWP_NOMOVE);
        for (int i = 0; i < 5; ++i) forms::do_events();
        const auto band = std::count_if(all.begin(), all.end(), [&](const RECT& run) { return run.top < rows; });
        const double region = qmbench::seconds([&] { DeleteObject(Create_TransparentRegion(h, rows, kW, kBack)); });
        const double member = qmbench::seconds([&] {
            VARIANT_BOOL done = VARIANT_FALSE;
            controls->Control_MakeTransparent(&control, &done);
            sink = done;
        });
        std::printf("top %3d rows (%6td runs): member %8.1f ms, its region %6.1f ms\n", rows, band, member * 1e3,
                    region * 1e3);
        std::fflush(stdout);
        SetWindowRgn(h, nullptr, TRUE);
        for (int i = 0; i < 5; ++i) forms::do_events();
    }

    // The top 64 rows.
    std::vector<RECT> band(all.begin(), std::find_if(all.begin(), all.end(), [](const RECT& run) { return run.top >= 64; }));
    std::printf("top 64 rows: %zu runs\n", band.size());
    const double merged = qmbench::seconds([&] { DeleteObject(merged_region(band)); });
    const double combine = qmbench::seconds([&] {
        HRGN total = CreateRectRgn(0, 0, 0, 0);
        for (const RECT& run : band) {
            HRGN one = CreateRectRgn(run.left, run.top, run.right, run.bottom);
            CombineRgn(total, total, one, RGN_OR);
            DeleteObject(one);
        }
        DeleteObject(total);
    });
    const double single = qmbench::seconds([&] { DeleteObject(one_call(band.data(), band.size())); });
    report("CombineRgn per run, 64 rows", 1, combine, merged, "merged batches");
    report("one ExtCreateRegion, 64 rows", 1, single, merged, "merged batches");
    form->unload();
    return 0;
}
