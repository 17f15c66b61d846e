// Grafic: rotation, flip, turn and zoom through the worker form's bitmap
// transform.
#include "media/grafic.h"
#include "runtime/contract.h"

namespace qm {

namespace {

// Angles in degrees; an omitted angle counts 0, an omitted zoom keeps the size.
struct Transform {
    const wchar_t* tag;
    long rotation = 0, turn = 0, flip = 0;
    long zoom = 45;
};

HRESULT transform(IPictureDisp** picture, const Transform& t, IPictureDisp** result) {
    (void)picture;
    (void)t;
    (void)result;
    return E_NOTIMPL;
}

bool angle_in_range(long degrees) { return degrees >= -360 && degrees <= 360; }

}  // namespace

HRESULT Grafic::PictureRotate(IPictureDisp** Picture, long Degrese, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!angle_in_range(Degrese)) return S_OK;
    return transform(Picture, Transform{.tag = L"PictureRotate", .rotation = Degrese}, result);
}

HRESULT Grafic::PictureFlip(IPictureDisp** Picture, long Degrese, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!angle_in_range(Degrese)) return S_OK;
    return transform(Picture, Transform{.tag = L"PictureFlip", .flip = Degrese}, result);
}

HRESULT Grafic::PictureTurn(IPictureDisp** Picture, long Degrese, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!angle_in_range(Degrese)) return S_OK;
    return transform(Picture, Transform{.tag = L"PictureTurn", .turn = Degrese}, result);
}

HRESULT Grafic::PictureZoom(IPictureDisp** Picture, long ZoomFactor, IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    // 45° keeps the size; a negative factor enlarges like the positive one.
    const long long magnitude = ZoomFactor < 0 ? -static_cast<long long>(ZoomFactor) : ZoomFactor;
    if (magnitude > 41) return S_OK;
    return transform(Picture, Transform{.tag = L"PictureZoom", .zoom = 45 + static_cast<long>(magnitude)}, result);
}

}  // namespace qm
