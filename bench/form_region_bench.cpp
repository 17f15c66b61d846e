// The region of a 1024 x 768 picture (a filled disc and a line of text on the
// key colour) as Forms.CreateFormFromPicture makes it, against a plain
// reference that reads the image the same way (once, 64 rows at a time through
// one small DIB) and combines one rectangle region per run, and the walk with
// GetPixel and one CombineRgn per run, for scale.
// Goal: ratio <= 0.5 against CombineRgn per run.
#include <windows.h>

#include "bench.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"
#include "windows/forms_effects.h"

using qmbench::Best;
using qmbench::report;

namespace {

constexpr int kW = 1024, kH = 768;

HRGN combined(HDC dc) {
    constexpr int kBand = 64;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kW, -kBand, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP band = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, band);
    const auto* pixels = static_cast<const DWORD*>(bits);
    DWORD key = 0;
    HRGN total = nullptr;
    for (int top = 0; top < kH; top += kBand) {
        BitBlt(memory, 0, 0, kW, kBand, dc, 0, top, SRCCOPY);
        GdiFlush();
        if (top == 0) key = pixels[0] & 0xFFFFFF;
        for (int y = top; y < top + kBand; ++y) {
            const DWORD* row = pixels + static_cast<size_t>(y - top) * kW;
            for (int x = 0; x < kW;) {
                while (x < kW && (row[x] & 0xFFFFFF) == key) ++x;
                if (x >= kW) break;
                const int start = x;
                while (x < kW && (row[x] & 0xFFFFFF) != key) ++x;
                HRGN run = CreateRectRgn(start, y, x, y + 1);
                if (!total) {
                    total = run;
                } else {
                    CombineRgn(total, total, run, RGN_OR);
                    DeleteObject(run);
                }
            }
        }
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(band);
    return total;
}

HRGN pixel_walk(HDC dc) {
    const COLORREF key = GetPixel(dc, 0, 0);
    HRGN total = nullptr;
    for (int y = 0; y < kH; ++y) {
        int start = -1;
        for (int x = 0; x <= kW; ++x) {
            const bool other = x < kW && GetPixel(dc, x, y) != key;
            if (other && start < 0) start = x;
            if (!other && start >= 0) {
                HRGN run = CreateRectRgn(start, y, x, y + 1);
                if (!total) {
                    total = run;
                } else {
                    CombineRgn(total, total, run, RGN_OR);
                    DeleteObject(run);
                }
                start = -1;
            }
        }
    }
    return total;
}

}  // namespace

int main() {
    using namespace qm;
    ComPtr<forms::Form> form = forms::make<forms::Form>();
    form->load();
    auto& box = form->add<forms::PictureBox>(L"Picture1");
    box.set_border_style(0);
    IDispatch* b = &box;
    late::put(b, L"ScaleMode", Variant(3L));
    late::put(b, L"AutoRedraw", Variant(true));
    SetWindowPos(box.hwnd(), nullptr, 0, 0, kW, kH, SWP_NOZORDER | SWP_NOMOVE);
    late::put(b, L"BackColor", Variant(static_cast<long>(RGB(255, 255, 255))));
    late::call(b, L"Cls");
    const auto dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(CLng(*late::get(b, L"hDC").get())));
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    Ellipse(dc, 200, 100, 800, 700);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 200));
    const wchar_t text[] = L"The quick brown fox jumps over the lazy dog";
    TextOutW(dc, 20, 720, text, static_cast<int>(wcslen(text)));

    Best ours, reference;
    for (qmbench::Rounds round(15, 1); round.next();) {
        ours.time([&] { DeleteObject(Create_PictureRegion(b)); });
        reference.time([&] { DeleteObject(combined(dc)); });
    }
    HRGN a = Create_PictureRegion(b), r = combined(dc);
    std::printf("regions equal: %s\n", EqualRgn(a, r) ? "yes" : "NO");
    DeleteObject(a);
    DeleteObject(r);
    report("picture region", 1, ours, reference, "CombineRgn per run", qmbench::at_most(0.5));
    const double walk = qmbench::seconds([&] { DeleteObject(pixel_walk(dc)); });
    report("GetPixel walk", 1, walk, reference.value, "CombineRgn per run");
    form->unload();
    return 0;
}
