// MyControls: rotating, mirroring and zooming a picture box's picture through
// one parallelogram copy between the hidden boxes ps (source), po (drawing
// surface) and pd (result holder).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>

#include "frame/mycontrols.h"
#include "runtime/convert.h"
#include "runtime/forms/limits.h"
#include "runtime/latebind.h"
#include "runtime/parallelogram.h"
#include "windows/window_common.h"

namespace qm {

using namespace forms;

namespace {

constexpr double kDegree = 0.0174532925199433;  // pi / 180

// A coordinate rounded half to even; 6 beyond what GDI can draw.
long gdi_coordinate(double v) {
    if (!(std::fabs(v) <= kMaxCoordinate)) raise(err::Overflow);
    return CLng(v);
}

double angle_of(const VARIANT* angle, double missing) {
    return angle && !IsMissing(*angle) ? CDbl(*angle) : missing;
}

SIZE client_pixels(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return {r.right, r.bottom};
}

// The result's bitmap, a 32-bit DIB section whose memory threads of the
// process's pool bring in while the picture is turned: the first writes to a
// large new bitmap fault its memory in page by page, which costs about as much
// as the turn itself, and stripes of its pages fault in side by side.
class ResultBitmap {
public:
    explicit ResultBitmap(SIZE size) {
        const long long pixels = static_cast<long long>(size.cx) * size.cy;
        if (pixels < kAheadPixels) return;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(info.bmiHeader), size.cx, size.cy, 1, 32, BI_RGB};
        void* bits = nullptr;
        if (!(bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0))) return;
        bits_ = static_cast<volatile char*>(bits);
        pages_ = (static_cast<size_t>(pixels) * 4 + kPage - 1) / kPage;
        if ((work_ = CreateThreadpoolWork(&touch, this, nullptr)))
            for (int i = 0; i < kStripes; ++i) SubmitThreadpoolWork(work_);
    }
    ~ResultBitmap() {
        wait();
        if (bitmap_) DeleteObject(bitmap_);
    }
    ResultBitmap(const ResultBitmap&) = delete;
    ResultBitmap& operator=(const ResultBitmap&) = delete;
    // The bitmap (the caller's from now on), or null when none was made.
    HBITMAP take() {
        wait();
        return std::exchange(bitmap_, nullptr);
    }

private:
    // Below this many pixels the bitmap is made when it is needed.
    static constexpr long long kAheadPixels = 1024LL * 1024;
    static constexpr int kStripes = 4;
    static constexpr size_t kPage = 4096;

    void wait() {
        if (!work_) return;
        WaitForThreadpoolWorkCallbacks(work_, FALSE);
        CloseThreadpoolWork(std::exchange(work_, nullptr));
    }
    // One stripe of pages, the next not taken yet: a write to each page.
    static void CALLBACK touch(PTP_CALLBACK_INSTANCE, void* context, PTP_WORK) {
        auto& self = *static_cast<ResultBitmap*>(context);
        const size_t k = self.stripes_taken_.fetch_add(1);
        for (size_t page = self.pages_ * k / kStripes, end = self.pages_ * (k + 1) / kStripes; page < end; ++page)
            self.bits_[page * kPage] = 0;
    }

    HBITMAP bitmap_ = nullptr;
    volatile char* bits_ = nullptr;
    size_t pages_ = 0;
    std::atomic<size_t> stripes_taken_{0};
    PTP_WORK work_ = nullptr;
};

}  // namespace

ComPtr<IPictureDisp> MyControls::BitmapWork(IDispatch* PicBox, const VARIANT* Rotate, const VARIANT* Turn,
                                            const VARIANT* Flip, const VARIANT* zZoom) {
    if (!PicBox) raise(err::ObjectNotSet);
    const double rotate = angle_of(Rotate, 0), turn = angle_of(Turn, 0), flip = angle_of(Flip, 0);
    const double zoom = zZoom && !IsMissing(*zZoom) ? std::tan(CDbl(*zZoom) * kDegree) : 1.0;
    load();
    PictureBox& ps = get<PictureBox>(L"ps");
    PictureBox& po = get<PictureBox>(L"po");
    PictureBox& pd = get<PictureBox>(L"pd");

    // 1. The source's scale mode, outer size and picture; the surfaces take its size.
    //    The size comes from the box's window, whatever scale its container measures in.
    const int mode = static_cast<int>(CLng(*late::get(PicBox, L"ScaleMode").get()));
    RECT outer{};
    if (!GetWindowRect(hwnd_of(CLng(*late::get(PicBox, L"hWnd").get())), &outer)) raise(err::InvalidCall);
    const long outer_w = outer.right - outer.left, outer_h = outer.bottom - outer.top;
    // The boxes' windows and images take that size (the images their client
    // area, inside the frame ps has now): refused before any box changes. (The
    // frame is read as it is: placing ps at its last size first would move its
    // window twice.)
    check_window(0, 0, outer_w, outer_h);
    const SIZE frame = ps.frame_pixels();
    check_image(std::max(1L, outer_w - frame.cx), std::max(1L, outer_h - frame.cy));
    const float width = outer_w * twips_per_pixel_x();
    const float height = outer_h * twips_per_pixel_y();
    Variant picture = late::get(PicBox, L"Picture");
    ComPtr<IPictureDisp> source;
    if (V_VT(picture.get()) == VT_DISPATCH && V_DISPATCH(picture.get()))
        V_DISPATCH(picture.get())->QueryInterface(IID_IPictureDisp, source.put_void());
    ps.surface()->set_scale_mode(mode);
    for (PictureBox* box : {&ps, &po, &pd}) {
        const float left = box->left(), top = box->top();
        box->move(left, &top, &width, &height);  // one move of the window
    }
    // The result's bitmap has the drawing surface's size, now known.
    const SIZE drawn = client_pixels(po.hwnd());
    ResultBitmap result({std::max(1L, drawn.cx), std::max(1L, drawn.cy)});
    ps.set_picture(source.get());
    ps.surface()->set_auto_redraw(true);  // ps.hDC: a persistent image holding the picture
    Surface& out = *po.surface();

    // 2. The corners about the centre, in pixels: PlgBlt takes device pixels.
    const SIZE from = client_pixels(ps.hwnd()), to = client_pixels(pd.hwnd());
    const double w = from.cx, h = from.cy;
    corners_ = {POINT{CLng(-w / 2), CLng(-h / 2)}, POINT{CLng(w / 2), CLng(-h / 2)}, POINT{CLng(-w / 2), CLng(h / 2)}};

    // 3. Scales and the rotation.
    const double zx = zoom * std::sin((turn + 90) * kDegree), zy = zoom * std::sin((flip + 90) * kDegree);
    const double t = (rotate + 90) * kDegree, s = std::sin(t), c = std::cos(t);

    // 4. The corners turned, scaled and moved to the centre of pd.
    POINT target[3];
    for (size_t i = 0; i < 3; ++i) {
        const double x = corners_[i].x, y = corners_[i].y;
        const long tx = gdi_coordinate(zx * (s * x + c * y)), ty = gdi_coordinate(zy * (s * y - c * x));
        target[i] = {gdi_coordinate(to.cx / 2.0 + tx), gdi_coordinate(to.cy / 2.0 + ty)};
    }

    // 5. The copy onto the cleared drawing surface (po: AutoRedraw, Cls), in one
    //    pass where the copy clears what it does not cover.
    PixelRows source_pixels, out_pixels;
    uint32_t background = 0;
    const bool clear_in_copy = out.overwrite_image(out_pixels, background);
    const bool direct_out = clear_in_copy || out.image_pixels(out_pixels);
    const bool direct_in = ps.surface()->image_pixels(source_pixels);
    if (!parallelogram_copy(out.hdc(), target, ps.surface()->hdc(), 0, 0, from.cx, from.cy,
                            direct_out ? &out_pixels : nullptr, direct_in ? &source_pixels : nullptr,
                            clear_in_copy ? &background : nullptr))
        raise(err::OutOfMemory);

    // 6. The result.
    pd.set_picture(out.image(result.take()).get());
    return pd.surface()->picture();
}

}  // namespace qm
