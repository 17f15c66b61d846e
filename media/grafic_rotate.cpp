// Grafic: rotation, flip, turn and zoom through the worker form's bitmap
// transform.
#include "media/grafic.h"
#include "frame/mycontrols.h"
#include "runtime/contract.h"

namespace qm {

namespace {

// One of BitmapWork's four arguments (0 rotation, 1 turn, 2 flip, 3 zoom), in
// degrees; the other three are left out.
struct Transform {
    const wchar_t* tag;
    int argument;
    long degrees;
};

// The picture on the work box at its own size (the box's border around it),
// transformed onto a surface of that size.
HRESULT transform(IPictureDisp** picture, const Transform& t, IPictureDisp** result) {
    return untrapped([&] {
        WorkerForm worker(t.tag);
        forms::PictureBox& box = worker.box();
        box.set_auto_size(true);
        box.set_picture(picture ? *picture : nullptr);
        const Variant angle(t.degrees);
        const VARIANT* args[4] = {};
        args[t.argument] = angle.get();
        *result = worker->BitmapWork(&box, args[0], args[1], args[2], args[3]).detach();
    });
}

bool angle_in_range(long degrees) { return degrees >= -360 && degrees <= 360; }

}  // namespace

HRESULT Grafic::PictureRotate(IPictureDisp** Picture, long Degrese, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!angle_in_range(Degrese)) return S_OK;
    return transform(Picture, Transform{L"PictureRotate", 0, Degrese}, result);
}

HRESULT Grafic::PictureFlip(IPictureDisp** Picture, long Degrese, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!angle_in_range(Degrese)) return S_OK;
    return transform(Picture, Transform{L"PictureFlip", 2, Degrese}, result);
}

HRESULT Grafic::PictureTurn(IPictureDisp** Picture, long Degrese, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!angle_in_range(Degrese)) return S_OK;
    return transform(Picture, Transform{L"PictureTurn", 1, Degrese}, result);
}

HRESULT Grafic::PictureZoom(IPictureDisp** Picture, long ZoomFactor, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    // 45° keeps the size; a negative factor enlarges like the positive one.
    const long long magnitude = ZoomFactor < 0 ? -static_cast<long long>(ZoomFactor) : ZoomFactor;
    if (magnitude > 41) return S_OK;
    return transform(Picture, Transform{L"PictureZoom", 3, 45 + static_cast<long>(magnitude)}, result);
}

}  // namespace qm
