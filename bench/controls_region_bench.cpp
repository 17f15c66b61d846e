// Controls.Control_MakeTransparent on a 1024 x 768 picture box with a noisy
// picture (about 100,000 runs), against a plain reference on the same window:
// GetDIBits of a copy of its pixels and ExtCreateRegion of the runs. Wine's
// ExtCreateRegion adds the rectangles of one call one by one (8,000 take a
// second, 32,000 minutes), so the reference makes regions of 256 runs and
// merges them pairwise. For scale, on the top 64 rows only: one CombineRgn per
// run, and one ExtCreateRegion call for all of their runs.
#include <windows.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bench.h"
#include "controls/controls.h"
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
    for (size_t i = 0; i < runs.size(); i += 256) parts.push_back(one_call(&runs[i], std::min<size_t>(256, runs.size() - i)));
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
    for (int i = 0; i < 30; ++i) forms::do_events(), Sleep(10);
    const HWND h = box.hwnd();

    int stride = 0;
    const size_t runs = runs_of(window_pixels(h, stride), stride).size();
    std::printf("runs: %zu\n", runs);

    ComPtr<qm::Controls> controls = ComPtr<qm::Controls>::attach(make_object<qm::Controls>());
    IDispatch* control = &box;
    Best ours, reference;
    for (int round = 0; round < 3; ++round) {
        ours.time([&] {
            VARIANT_BOOL done = VARIANT_FALSE;
            controls->Control_MakeTransparent(&control, &done);
            sink = done;
        });
        SetWindowRgn(h, nullptr, FALSE);
        reference.time([&] { SetWindowRgn(h, merged_region(runs_of(window_pixels(h, stride), stride)), TRUE); });
        SetWindowRgn(h, nullptr, FALSE);
    }
    report("Control_MakeTransparent", 1, ours.value, reference.value, "GetDIBits + ExtCreateRegion");

    // The top 64 rows.
    std::vector<RECT> band = runs_of(window_pixels(h, stride), stride);
    band.erase(std::find_if(band.begin(), band.end(), [](const RECT& r) { return r.top >= 64; }), band.end());
    std::printf("top 64 rows: %zu runs\n", band.size());
    const double merged = qmbench::seconds([&] { DeleteObject(merged_region(band)); });
    const double combine = qmbench::seconds([&] {
        HRGN total = CreateRectRgn(0, 0, 0, 0);
        for (const RECT& r : band) {
            HRGN run = CreateRectRgn(r.left, r.top, r.right, r.bottom);
            CombineRgn(total, total, run, RGN_OR);
            DeleteObject(run);
        }
        DeleteObject(total);
    });
    const double single = qmbench::seconds([&] { DeleteObject(one_call(band.data(), band.size())); });
    report("CombineRgn per run, 64 rows", 1, combine, merged, "merged batches");
    report("one ExtCreateRegion, 64 rows", 1, single, merged, "merged batches");
    form->unload();
    return 0;
}
