// Desktop.SnapShot: the whole screen or a rectangle of it as a picture.
#include <windows.h>

#include "media/grafic_pixels.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/limits.h"
#include "windows/desktop.h"

namespace qm {

namespace {

// The screen's DC, released on every path.
class ScreenDC {
public:
    ScreenDC() : desk_(GetDesktopWindow()), dc_(GetDC(desk_)) {
        if (!dc_) raise(err::InvalidCall);
    }
    ~ScreenDC() { ReleaseDC(desk_, dc_); }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND desk_;
    HDC dc_;
};

long pixels(long twips, float twips_per_pixel) { return CLng(static_cast<double>(twips / twips_per_pixel)); }

}  // namespace

HRESULT Desktop::SnapShot(long* AreaLeft, long* AreaTop, long* AreaWidth, long* AreaHeight, long* ErrorNumber,
                          IPictureDisp** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return trapped(Trap{Source::Desktop, L"SnapShot", ErrorNumber}, [&] {
        ScreenDC screen;
        const long* area[] = {AreaLeft, AreaTop, AreaWidth, AreaHeight};
        bool whole = false;
        for (const long* a : area) whole = whole || !a || *a == -1;
        long x = 0, y = 0, w = 0, h = 0;
        if (whole) {
            RECT r{};
            GetWindowRect(GetDesktopWindow(), &r);
            w = r.right, h = r.bottom;
        } else {
            // The rectangle in twips, as a window placed there would cover it.
            const float tx = forms::screen_twips_per_pixel_x(), ty = forms::screen_twips_per_pixel_y();
            x = pixels(*AreaLeft, tx), y = pixels(*AreaTop, ty);
            w = pixels(*AreaWidth, tx), h = pixels(*AreaHeight, ty);
        }
        if (w <= 0 || h <= 0) raise(err::InvalidCall);
        // An area no window could cover is refused before the picture is made.
        forms::check_window(x, y, w, h);
        grafic::Canvas canvas(w, h);
        if (!BitBlt(canvas.dc(), 0, 0, w, h, screen.get(), x, y, SRCCOPY)) raise(err::InvalidCall);
        ComPtr<IPictureDisp> picture = canvas.to_picture();
        if (!picture) raise(err::OutOfMemory);
        *result = picture.detach();
    });
}

}  // namespace qm
