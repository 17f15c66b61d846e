// Forms: a form cut to the outline of a picture, or to the rectangles of its
// own controls. The window owns each region it is given.
#include <windows.h>

#include <algorithm>

#include "frame/mycontrols.h"
#include "frame/procedures.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/limits.h"
#include "runtime/latebind.h"
#include "runtime/regions.h"
#include "windows/forms.h"
#include "windows/forms_effects.h"

namespace qm {

namespace {

long lng(const Variant& v) { return CLng(*v.get()); }
HWND as_hwnd(long h) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(h)); }

// A region handle that is deleted unless a window took it.
struct Region {
    HRGN h = nullptr;
    ~Region() {
        if (h) DeleteObject(h);
    }
    // SetWindowRgn: the window owns the region when it took it.
    void give_to(HWND window) {
        if (SetWindowRgn(window, h, TRUE) || !h) h = nullptr;
    }
};

// 380 unless the worker's borderless box at (0, 0) and the form may take the
// picture's size, 480 unless the box's persistent image may.
void check_picture_size(IDispatch* form, IPictureDisp* picture) {
    const SIZE s = forms::picture_pixels(picture);
    forms::check_window(0, 0, s.cx, s.cy);
    forms::check_image(s.cx, s.cy);
    Check_Placement(form, Placement{.width = s.cx * forms::twips_per_pixel_x(), .height = s.cy * forms::twips_per_pixel_y()});
}

// Loads a picture box of a private worker form with the picture, sizes the
// form to it and cuts the form to it; the worker goes in every case. A picture
// too large for the box or the form changes neither.
long CFFP(IDispatch* form, IPictureDisp* picture, const std::wstring& file) {
    long result = 0;
    ComPtr<MyControls> worker = forms::make<MyControls>();
    trapped(Trap{Source::basPModule, L"CFFP"}, &result, ErrorNumberResult{}, [&] {
        worker->load();
        IDispatch* box = static_cast<IDispatch*>(&worker->get<forms::PictureBox>(L"PicTMP"));
        ComPtr<IPictureDisp> loaded;
        if (!file.empty()) loaded = forms::load_picture(file), picture = loaded.get();
        check_picture_size(form, picture);
        late::put_ref(box, L"Picture", picture);
        late::put_ref(form, L"Picture", late::object(late::get(box, L"Picture")).get());
        late::put(box, L"ScaleMode", Variant(3L));
        late::put(box, L"AutoRedraw", Variant(true));
        late::put(box, L"AutoSize", Variant(true));
        late::put(box, L"BorderStyle", Variant(0L));
        late::put(box, L"Left", Variant(0L));
        late::put(box, L"Top", Variant(0L));
        late::put(form, L"Width", late::get(box, L"Width"));
        late::put(form, L"Height", late::get(box, L"Height"));
        Region region{Create_PictureRegion(box)};
        region.give_to(as_hwnd(lng(late::get(form, L"hWnd"))));
        late::call(form, L"Refresh");
        return 0L;
    });
    if (worker->loaded()) worker->unload();
    return result;
}

}  // namespace

// Every pixel but those of the colour of pixel (0, 0), as one-pixel-high runs,
// read once from a copy of the box's image; nullptr when there is no such pixel.
HRGN Create_PictureRegion(IDispatch* box) {
    const auto dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(lng(late::get(box, L"hDC"))));
    const long w = lng(late::get(box, L"ScaleWidth")), h = lng(late::get(box, L"ScaleHeight"));
    if (w <= 0 || h <= 0) return nullptr;
    HRGN region = region_of_pixels(dc, w, h, kKeyOfFirstPixel);
    if (!region) raise(err::OutOfMemory);
    RECT box_of_region{};
    if (GetRgnBox(region, &box_of_region) == NULLREGION) {
        DeleteObject(region);
        return nullptr;
    }
    return region;
}

HRESULT Forms::CreateFormFromPicture(IDispatch** Form, IDispatch** Picture, BSTR* PictureFile, LONG* result) {
    return untrapped(result, [&] {
        IDispatch* form = Form ? *Form : nullptr;
        IDispatch* picture = Picture ? *Picture : nullptr;
        if (!form || !late::is_form(form)) raise(err::TypeMismatch);
        ComPtr<IPictureDisp> is_picture;
        if (!picture || FAILED(picture->QueryInterface(IID_IPictureDisp, is_picture.put_void())))
            raise(err::TypeMismatch);
        return CFFP(form, is_picture.get(), PictureFile && *PictureFile ? std::wstring(*PictureFile) : std::wstring());
    });
}

// The rectangles of the controls placed directly on the form, in window
// coordinates: the frame's width across, caption and frame height down. A
// control, or the form's new size, beyond what a window can be fails the
// member before the form changes; its scale mode comes back in every case.
HRESULT Forms::ShowControlsOnly(IDispatch** Form, LONG* ErrorNumber, VARIANT_BOOL* result) {
    return trapped(Trap{Source::Forms, L"ShowControlsOnly", ErrorNumber}, result, false, [&] {
        if (!Form || !*Form) raise(err::ObjectNotSet);
        IDispatch* form = *Form;
        const HWND fh = as_hwnd(lng(late::get(form, L"hWnd")));
        Region region{CreateRectRgn(0, 0, 0, 0)};
        const Variant mode = late::get(form, L"ScaleMode");
        late::put(form, L"ScaleMode", Variant(3L));
        long fx = 0, fy = 0;
        double max_right = 0, max_bottom = 0;
        try {
            long caption = 0;
            if (lng(late::get(form, L"BorderStyle")) != 0) {
                fx = GetSystemMetrics(SM_CXFRAME);
                fy = GetSystemMetrics(SM_CYFRAME);
                caption = GetSystemMetrics(SM_CYCAPTION);
            }
            ComPtr<IDispatch> all = late::object(late::get(form, L"Controls"));
            const long count = lng(late::get(all.get(), L"Count"));
            for (long i = 0; i < count; ++i) {
                ComPtr<IDispatch> control = late::object(late::get(all.get(), L"Item", {Variant(i)}));
                if (late::type_name(control.get()) == L"Menu") continue;
                HWND parent = nullptr;
                Variant handle;
                if (late::try_get(control.get(), L"hWnd", handle))
                    late::skipping_errors([&] { parent = GetParent(as_hwnd(lng(handle))); });
                if (parent && parent != fh) continue;  // inside a container
                const double x = static_cast<double>(lng(late::get(control.get(), L"Left"))) + fx;
                const double y = static_cast<double>(lng(late::get(control.get(), L"Top"))) + caption + fy;
                const double w = lng(late::get(control.get(), L"Width"));
                const double h = lng(late::get(control.get(), L"Height"));
                forms::check_window(x, y, w, h);
                Region part{CreateRectRgn(static_cast<int>(x), static_cast<int>(y), static_cast<int>(x + w),
                                          static_cast<int>(y + h))};
                CombineRgn(region.h, region.h, part.h, RGN_OR);
                max_right = std::max(max_right, x + w);
                max_bottom = std::max(max_bottom, y + h);
            }
            forms::check_window(0, 0, max_right + fx, max_bottom + fy);
        } catch (...) {
            late::skipping_errors([&] { late::put(form, L"ScaleMode", mode); });
            throw;
        }
        region.give_to(fh);
        late::put(form, L"ScaleMode", mode);
        late::put(form, L"Height", Variant((max_bottom + fy) * forms::screen_twips_per_pixel_y()));
        late::put(form, L"Width", Variant((max_right + fx) * forms::screen_twips_per_pixel_x()));
        return true;
    });
}

}  // namespace qm
