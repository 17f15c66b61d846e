// Grafic: whole-picture transformations (stretch, colour tint, inversion,
// tiling) and constant-alpha blending of picture boxes. The worker form's box
// is never seen during a call, so the tint, the inversion and the blends draw
// on a 32-bit DIB section of that box's client size instead (same sizes, same
// pixels, no form to load), filled with its background colour; Stretch works on
// the box itself, through StretchToPicBox.
#include <algorithm>
#include <cmath>
#include <memory>

#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "media/grafic.h"
#include "media/grafic_pixels.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/latebind.h"

namespace qm {

using grafic::Canvas;

namespace {

IDispatch* object_arg(IDispatch** object) {
    if (!object || !*object) raise(err::ObjectNotSet);
    return *object;
}

long lng(IDispatch* object, std::wstring_view name) { return CLng(*late::get(object, name).get()); }

// The client area in pixels of the work box (a 2-pixel 3D border on each side)
// given its outer size in twips.
long work_client_px(double twips, double twips_per_pixel) {
    return std::max(1L, static_cast<long>(std::lround(twips / twips_per_pixel)) - 4);
}

// The box's image at constant alpha over the target: AlphaBlend over the
// source's scale size; a failure (no source surface) is 5.
void Blend_PictureBoxes(HDC target, IDispatch* source, BYTE alpha) {
    const long w = lng(source, L"ScaleWidth"), h = lng(source, L"ScaleHeight");
    HDC dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(lng(source, L"hDC")));
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
    if (!AlphaBlend(target, 0, 0, w, h, dc, 0, 0, w, h, blend)) raise(err::InvalidCall);
}

// The work area for a client box: the box in pixels with AutoRedraw, and a
// canvas of the work box's client size when it takes the box's outer size.
std::unique_ptr<Canvas> work_area_for(IDispatch* box) {
    late::put(box, L"AutoRedraw", Variant(true));
    late::put(box, L"ScaleMode", Variant(3L));
    const double w = CDbl(*late::get(box, L"Width").get()), h = CDbl(*late::get(box, L"Height").get());
    auto canvas = std::make_unique<Canvas>(work_client_px(w, forms::twips_per_pixel_x()),
                                           work_client_px(h, forms::twips_per_pixel_y()));
    canvas->fill(grafic::work_background());
    return canvas;
}

// The body of PictureAlphaBlend and PictureFusion: the error goes to ErrorNumber
// and the log, the result stays Nothing.
template <class Body>
HRESULT blend_member(const wchar_t* routine, long* ErrorNumber, IPictureDisp** result, Body&& body) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return trapped(Trap{Source::Grafic, routine, ErrorNumber}, [&] {
        std::unique_ptr<Canvas> canvas = body();
        *result = canvas->to_picture().detach();
    });
}

IPictureDisp* picture_arg(IPictureDisp** picture) { return picture ? *picture : nullptr; }

}  // namespace

HRESULT Grafic::StretchToPicBox(IDispatch** PictureBox, long* result) {
    return trapped(Trap{Source::Grafic, L"StretchToPicBox"}, result, ErrorNumberResult{}, [&] {
        IDispatch* box = object_arg(PictureBox);
        late::put(box, L"AutoRedraw", Variant(true));
        late::call(box, L"Cls");
        Variant picture = late::get(box, L"Picture");
        late::call(box, L"PaintPicture",
                   {picture, Variant(0L), Variant(0L), late::get(box, L"ScaleWidth"), late::get(box, L"ScaleHeight")});
        late::put(box, L"AutoRedraw", Variant(false));  // the stretched picture stays as the background
        return 0L;
    });
}

HRESULT Grafic::Stretch(IPictureDisp** Picture, long NewWidth, long newHeight, long* Dimension,
                        IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return untrapped([&] {
        WorkerForm worker(L"Stretch");
        forms::PictureBox& box = worker.box();
        box.set_picture(picture_arg(Picture));
        box.surface()->set_scale_mode(CInt(static_cast<double>(Dimension ? *Dimension : 1)));
        box.set_width(static_cast<float>(NewWidth));  // outer size in the form's twips
        box.set_height(static_cast<float>(newHeight));
        IDispatch* disp = &box;
        long stretched = 0;
        check(StretchToPicBox(&disp, &stretched));
        if (stretched == 0) *result = box.surface()->image().detach();
    });
}

HRESULT Grafic::PictureColor(IPictureDisp** Picture, long Color, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return untrapped([&] {
        // The picture over black, Or-ed onto the colour channel by channel.
        auto picture = grafic::capture(picture_arg(Picture), RGB(0, 0, 0));
        auto canvas = std::make_unique<Canvas>(picture ? picture->width() : 1, picture ? picture->height() : 1);
        canvas->fill(forms::rgb_of(static_cast<OLE_COLOR>(Color)));
        if (picture)
            BitBlt(canvas->dc(), 0, 0, canvas->width(), canvas->height(), picture->dc(), 0, 0, SRCPAINT);
        *result = canvas->to_picture().detach();
    });
}

HRESULT Grafic::PictureInvert(IPictureDisp** Picture, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return untrapped([&] {
        auto canvas = grafic::capture(picture_arg(Picture), grafic::work_background());
        if (!canvas) {  // an empty picture: the box's background
            canvas = std::make_unique<Canvas>(1, 1);
            canvas->fill(grafic::work_background());
        }
        // Blue, green and red inverted; the fourth byte stays 0, so inverting
        // twice gives the picture back.
        auto* pixel = reinterpret_cast<DWORD*>(canvas->bits());
        for (size_t i = 0, n = canvas->pixels(); i < n; ++i) pixel[i] ^= 0x00FFFFFF;
        *result = canvas->to_picture().detach();
    });
}

HRESULT Grafic::PictureBoxTile(IDispatch** PictureBox, long* result) {
    return untrapped(result, [&] {
        IDispatch* box = object_arg(PictureBox);
        late::put(box, L"AutoSize", Variant(false));
        Variant picture = late::get(box, L"Picture");
        ComPtr<IPictureDisp> source;
        if (V_VT(picture.get()) == VT_DISPATCH && V_DISPATCH(picture.get()))
            V_DISPATCH(picture.get())->QueryInterface(IID_IPictureDisp, source.put_void());
        IDispatch* target = box;
        IPictureDisp* tile = source.get();
        long tiled = 0;
        check(shared<_Forms>()->Tile(&target, &tile, &tiled));
        return tiled;
    });
}

HRESULT Grafic::PictureAlphaBlend(IDispatch** PictureBox, BYTE* Blend, long* ErrorNumber, IPictureDisp** result) {
    return blend_member(L"PictureAlphaBlend", ErrorNumber, result, [&] {
        IDispatch* box = object_arg(PictureBox);
        auto canvas = work_area_for(box);
        Blend_PictureBoxes(canvas->dc(), box, Blend ? *Blend : 100);
        return canvas;
    });
}

HRESULT Grafic::PictureFusion(IDispatch** PictureBox, IDispatch** Picture2, long* ErrorNumber,
                              IPictureDisp** result) {
    return blend_member(L"PictureFusion", ErrorNumber, result, [&] {
        IDispatch* box = object_arg(PictureBox);
        auto canvas = work_area_for(box);
        // A copy of the first box's image, the second box's at 100/255 over it.
        HDC dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(lng(box, L"hDC")));
        BitBlt(canvas->dc(), 0, 0, lng(box, L"ScaleWidth"), lng(box, L"ScaleHeight"), dc, 0, 0, SRCCOPY);
        IDispatch* second = object_arg(Picture2);
        late::put(second, L"AutoRedraw", Variant(true));
        late::put(second, L"AutoSize", Variant(true));
        late::put(second, L"ScaleMode", Variant(3L));
        Blend_PictureBoxes(canvas->dc(), second, 100);
        return canvas;
    });
}

}  // namespace qm
