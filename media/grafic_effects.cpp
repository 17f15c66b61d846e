// Grafic: pixel effects (brightness, emboss, grey, contrast). Each captures the
// client's picture at its own pixel size into a new 32-bit DIB section, runs
// its pass over it in place and returns it as a new picture; the client's
// picture is never written.
#include <vector>

#include "media/grafic.h"
#include "media/grafic_pixels.h"
#include "runtime/contract.h"

namespace qm {

namespace {

// Runs pass(pixels) over the captured picture; Nothing when the argument is
// out of range, the picture has no pixels or the new picture cannot be made.
template <class Pass>
HRESULT effect(IPictureDisp** picture, IPictureDisp** result, bool in_range, Pass&& pass) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!in_range) return S_OK;
    return untrapped([&] {
        auto pixels = grafic::capture(picture ? *picture : nullptr, grafic::work_background());
        if (!pixels) return;
        pass(*pixels);
        *result = pixels->to_picture().detach();
    });
}

}  // namespace

HRESULT Grafic::PictureBrightness(IPictureDisp** Picture, long Brightness, IPictureDisp** result) {
    return effect(Picture, result, Brightness >= -255 && Brightness <= 255,
                  [&](grafic::Canvas& pixels) {
                      grafic::Table table;
                      grafic::brightness_table(Brightness, table);
                      grafic::table_pass(pixels.bits(), pixels.bits(), pixels.pixels(), table);
                  });
}

HRESULT Grafic::PictureEmboss(IPictureDisp** Picture, long Emboss, IPictureDisp** result) {
    return effect(Picture, result, Emboss >= 0 && Emboss <= 7, [&](grafic::Canvas& pixels) {
        std::vector<BYTE> rows(static_cast<size_t>(pixels.width()) * 8);
        grafic::emboss_in_place(pixels.bits(), pixels.width(), pixels.height(), Emboss, rows.data());
    });
}

HRESULT Grafic::PictureToGray(IPictureDisp** Picture, IPictureDisp** result) {
    return effect(Picture, result, true, [&](grafic::Canvas& pixels) {
        grafic::gray_pass(pixels.bits(), pixels.bits(), pixels.pixels(), 71, 707, 222, 1000);
    });
}

HRESULT Grafic::PictureContrast(IPictureDisp** Picture, long Contrast, IPictureDisp** result) {
    return effect(Picture, result, Contrast >= 0 && Contrast <= 100, [&](grafic::Canvas& pixels) {
        grafic::Table table;
        grafic::contrast_table(Contrast, table);
        grafic::table_pass(pixels.bits(), pixels.bits(), pixels.pixels(), table);
    });
}

}  // namespace qm
