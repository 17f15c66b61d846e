// Controls: a control's window cut to the pixels that differ from its
// background, button alignment bits, swapped pictures, another parent form,
// copied sizes, scroll bars, the web browser's print commands and emptying the
// clipboard.
#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <vector>

#include "controls/controls.h"
#include "controls/controls_region.h"
#include "frame/procedures.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/latebind.h"

namespace qm {

namespace {

constexpr int kRegionError = 0;  // CombineRgn's failure

long lng(const Variant& v) { return CLng(*v.get()); }
HWND as_hwnd(long h) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(h)); }
HWND hwnd_of(IDispatch* control) { return as_hwnd(lng(late::get(control, L"hWnd"))); }

void exec_wb(IDispatch** browser, short command, short option) {
    late::call(object_arg(browser), L"ExecWB", {Variant(command), Variant(option)});
}

}  // namespace

// --- regions of runs -------------------------------------------------------------------

// Regions of small batches, merged pairwise: the cost stays near n log n also
// where the system adds each rectangle of one ExtCreateRegion call on its own.
HRGN region_of_rects(const std::vector<RECT>& rects) {
    if (rects.empty()) return CreateRectRgn(0, 0, 0, 0);
    constexpr size_t kBatch = 256;
    std::vector<HRGN> parts;
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + kBatch * sizeof(RECT));
    auto discard = [&parts] {
        for (HRGN r : parts) DeleteObject(r);
        return static_cast<HRGN>(nullptr);
    };
    for (size_t first = 0; first < rects.size(); first += kBatch) {
        const size_t n = std::min(kBatch, rects.size() - first);
        auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
        RECT bounds = rects[first];
        for (size_t i = first + 1; i < first + n; ++i) UnionRect(&bounds, &bounds, &rects[i]);
        *header = {sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(n), static_cast<DWORD>(n * sizeof(RECT)),
                   bounds};
        std::copy_n(rects.begin() + static_cast<ptrdiff_t>(first), n,
                    reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER)));
        HRGN part = ExtCreateRegion(nullptr, static_cast<DWORD>(sizeof(RGNDATAHEADER) + n * sizeof(RECT)),
                                    reinterpret_cast<RGNDATA*>(data.data()));
        if (!part) return discard();
        parts.push_back(part);
    }
    while (parts.size() > 1) {
        std::vector<HRGN> merged;
        for (size_t i = 0; i + 1 < parts.size(); i += 2) {
            if (CombineRgn(parts[i], parts[i], parts[i + 1], RGN_OR) == kRegionError) {
                merged.insert(merged.end(), parts.begin() + static_cast<ptrdiff_t>(i), parts.end());
                parts.swap(merged);
                return discard();
            }
            DeleteObject(parts[i + 1]);
            merged.push_back(parts[i]);
        }
        if (parts.size() % 2) merged.push_back(parts.back());
        parts.swap(merged);
    }
    return parts.front();
}

void collect_runs(const DWORD* pixels, long width, long height, long stride, DWORD key, std::vector<RECT>& runs) {
    for (long y = 0; y < height; ++y) {
        const DWORD* row = pixels + static_cast<ptrdiff_t>(y) * stride;
        long x = 0;
        while (x < width) {
            while (x < width && (row[x] & 0xFFFFFF) == key) ++x;
            if (x >= width) break;
            const long start = x;
            while (x < width && (row[x] & 0xFFFFFF) != key) ++x;
            runs.push_back({start, y, x, y + 1});
        }
    }
}

DWORD dib_key(COLORREF colour) {
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// The window's pixels as the screen shows them, through the window's own device
// context so that they line up with window (region) coordinates. Nothing when
// no surface could be made.
HRGN Create_TransparentRegion(HWND hwnd, long height, long width, COLORREF colour) {
    const long w = width > 0 ? width : 0, h = height > 0 ? height : 0;
    if (w == 0 || h == 0) return CreateRectRgn(0, 0, 0, 0);
    HDC window_dc = GetWindowDC(hwnd);
    if (!window_dc) return nullptr;
    HDC memory = CreateCompatibleDC(window_dc);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = memory ? CreateDIBSection(window_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    HRGN region = nullptr;
    if (bitmap && bits) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, window_dc, 0, 0, SRCCOPY);
        GdiFlush();
        SelectObject(memory, previous);
        std::vector<RECT> runs;
        collect_runs(static_cast<const DWORD*>(bits), w, h, w, dib_key(colour), runs);
        region = region_of_rects(runs);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(hwnd, window_dc);
    return region;
}

// --- members -----------------------------------------------------------------------------

// Errors are skipped step by step: any failure leaves False and the control's shape.
HRESULT Controls::Control_MakeTransparent(IDispatch** Control, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    IDispatch* control = Control ? *Control : nullptr;
    if (!control) return S_OK;
    Variant handle;
    if (!late::try_get(control, L"hWnd", handle)) return S_OK;
    long h = 0;
    if (!late::skipping_errors([&] { h = lng(handle); }) || h == 0) return S_OK;
    const HWND hwnd = as_hwnd(h);
    RECT r{};
    GetWindowRect(hwnd, &r);
    const long height = r.bottom - r.top, width = r.right - r.left;
    if (height < 1 && width < 1) return S_OK;
    OLE_COLOR back = 0;
    Variant back_colour;
    if (late::try_get(control, L"BackColor", back_colour))
        late::skipping_errors([&] { back = static_cast<OLE_COLOR>(lng(back_colour)); });
    COLORREF colour = 0;
    OleTranslateColor(back, nullptr, &colour);
    HRGN region = Create_TransparentRegion(hwnd, height, width, colour);
    if (!region) return S_OK;
    if (SetWindowRgn(hwnd, region, TRUE)) {
        // The window owns the region from now on.
        if (RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE)) *result = VARIANT_TRUE;
    } else {
        DeleteObject(region);
    }
    return S_OK;
}

// The bits are only added: crLEFT on a crRIGTH button reads as crCENTER.
HRESULT Controls::Control_SetAlignment(VARIANT* Control, ALIGMENT* Alignment, long* result) {
    return trapped(Trap{Source::Controls, L"Control_SetAlignment"}, result, ErrorNumberResult{}, [&] {
        if (!Control || !Alignment) raise(err::InvalidCall);
        bool is_object = false;
        const HWND hwnd = as_hwnd(Get_hWnd(*Control, is_object));
        const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        SetWindowLongW(hwnd, GWL_STYLE, style | static_cast<LONG>(*Alignment));
        if (is_object) late::call(late::object(*Control).get(), L"Refresh");
        forms::do_events();
        return 0L;
    });
}

HRESULT Controls::PictureBox_SwapPicture(IDispatch** PictureBox1, IDispatch** PictureBox2, long* result) {
    return trapped(Trap{Source::Controls, L"PictureBox_SwapPicture"}, result, ErrorNumberResult{}, [&] {
        IDispatch* first = object_arg(PictureBox1);
        IDispatch* second = object_arg(PictureBox2);
        const Variant kept = late::get(first, L"Picture");
        const Variant other = late::get(second, L"Picture");
        late::put_ref(first, L"Picture", V_VT(other.get()) == VT_DISPATCH ? V_DISPATCH(other.get()) : nullptr);
        late::put_ref(second, L"Picture", V_VT(kept.get()) == VT_DISPATCH ? V_DISPATCH(kept.get()) : nullptr);
        late::call(first, L"Refresh");
        late::call(second, L"Refresh");
        forms::do_events();
        return 0L;
    });
}

HRESULT Controls::Control_SetToForm(IDispatch** Control, IDispatch** NewForm, long* result) {
    return trapped(Trap{Source::Controls, L"Control_SetToForm"}, result, ErrorNumberResult{}, [&] {
        const long child = lng(late::get(object_arg(Control), L"hWnd"));
        const long parent = lng(late::get(object_arg(NewForm), L"hWnd"));
        VARIANT_BOOL previous = VARIANT_FALSE;
        check(shared<_Window>()->Set_Parent(child, parent, &previous));
        return 0L;
    });
}

HRESULT Controls::Control_DuplicateSize(IDispatch** Control1, IDispatch** Control2, long* result) {
    return trapped(Trap{Source::Controls, L"Control_DuplicateSize"}, result, ErrorNumberResult{}, [&] {
        IDispatch* target = object_arg(Control1);
        IDispatch* model = object_arg(Control2);
        late::put(target, L"Width", late::get(model, L"Width"));
        late::put(target, L"Height", late::get(model, L"Height"));
        late::call(target, L"Refresh");
        forms::do_events();
        return 0L;
    });
}

HRESULT Controls::Control_SetScrollBar(IDispatch** Control, ControlDirection* ScrollBar, VARIANT_BOOL Visible,
                                       long* result) {
    return trapped(Trap{Source::Controls, L"Control_SetScrollBar"}, result, ErrorNumberResult{}, [&] {
        const HWND hwnd = hwnd_of(object_arg(Control));
        ShowScrollBar(hwnd, ScrollBar ? static_cast<int>(*ScrollBar) : 0, Visible ? -1 : 0);
        return 0L;
    });
}

HRESULT Controls::WebBrowser_Print(IDispatch** WebBrowser, long* result) {
    return trapped(Trap{Source::Controls, L"WebBrowser_Print"}, result, ErrorNumberResult{}, [&] {
        exec_wb(WebBrowser, 6, 2);  // print, without asking the user
        return 0L;
    });
}

HRESULT Controls::WebBrowser_PrinterPageSetup(IDispatch** WebBrowser, long* result) {
    return trapped(Trap{Source::Controls, L"WebBrowser_PrinterPageSetup"}, result, ErrorNumberResult{}, [&] {
        exec_wb(WebBrowser, 8, 0);  // page setup, the default way
        return 0L;
    });
}

// Another program holding the clipboard leaves it as it is.
HRESULT Controls::Clipboard_Clear() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    return S_OK;
}

}  // namespace qm
