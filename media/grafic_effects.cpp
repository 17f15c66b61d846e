// Grafic: pixel effects (brightness, emboss, grey, contrast). Each captures the
// client's picture at its own pixel size into a 32-bit buffer, runs its pass
// into a new DIB section and returns that as a new picture; the client's
// picture is never written.
#include "media/grafic.h"
#include "media/grafic_pixels.h"
#include "runtime/contract.h"

namespace qm {

namespace {

// Runs pass(work, out) over the captured picture; Nothing when the argument is
// out of range, the picture has no pixels or the new picture cannot be made.
template <class Pass>
HRESULT effect(IPictureDisp** picture, IPictureDisp** result, bool in_range, Pass&& pass) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!in_range) return S_OK;
    return untrapped([&] {
        auto work = grafic::capture(picture ? *picture : nullptr, grafic::work_background());
        if (!work) return;
        auto out = grafic::Canvas::try_make(work->width(), work->height());
        if (!out) return;
        pass(*work, *out);
        *result = out->to_picture().detach();
    });
}

}  // namespace

HRESULT Grafic::PictureBrightness(IPictureDisp** Picture, long Brightness, IPictureDisp** result) {
    return effect(Picture, result, Brightness >= -255 && Brightness <= 255,
                  [&](grafic::Canvas& work, grafic::Canvas& out) {
                      grafic::Table table;
                      grafic::brightness_table(Brightness, table);
                      grafic::table_pass(work.bits(), out.bits(), work.pixels(), table);
                  });
}

HRESULT Grafic::PictureEmboss(IPictureDisp** Picture, long Emboss, IPictureDisp** result) {
    return effect(Picture, result, Emboss >= 0 && Emboss <= 7, [&](grafic::Canvas& work, grafic::Canvas& out) {
        grafic::emboss_pass(work.bits(), out.bits(), work.width(), work.height(), Emboss);
    });
}

HRESULT Grafic::PictureToGray(IPictureDisp** Picture, IPictureDisp** result) {
    return effect(Picture, result, true, [&](grafic::Canvas& work, grafic::Canvas& out) {
        grafic::gray_pass(work.bits(), out.bits(), work.pixels(), 71, 707, 222, 1000);
    });
}

HRESULT Grafic::PictureContrast(IPictureDisp** Picture, long Contrast, IPictureDisp** result) {
    return effect(Picture, result, Contrast >= 0 && Contrast <= 100, [&](grafic::Canvas& work, grafic::Canvas& out) {
        grafic::Table table;
        grafic::contrast_table(Contrast, table);
        grafic::table_pass(work.bits(), out.bits(), work.pixels(), table);
    });
}

}  // namespace qm
