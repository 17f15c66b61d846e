// MyControls.BitmapWork: a 30-degree rotation of a 2,000 x 2,000 picture on a
// loaded worker form against one PlgBlt between two memory device contexts of
// that size, in the same run. Prints the ratio (ours / PlgBlt); further lines
// show the call on a private worker form as the library's members get one
// (MyControls::fresh, given back after the call) and the parallelogram copy
// alone, and the one against the other.
// Goal: the call on a private worker form at most 2 x the parallelogram copy alone.
#include <windows.h>

#include <cmath>

#include "bench.h"
#include "frame/mycontrols.h"
#include "runtime/forms/forms.h"
#include "runtime/parallelogram.h"

using qmbench::Best;
using qmbench::report;

namespace {

constexpr int kSide = 2000;

HBITMAP pattern(HDC screen) {
    HBITMAP bmp = CreateCompatibleBitmap(screen, kSide, kSide);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    for (int i = 0; i < 20; ++i) {
        HBRUSH b = CreateSolidBrush(RGB(i * 12, 255 - i * 12, (i * 37) & 0xFF));
        RECT r{i * 50, i * 30, kSide - i * 40, kSide - i * 20};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return bmp;
}

// The destination corners of a 30-degree turn about the centre.
void turned(POINT out[3]) {
    const double s = std::sin(120 * 0.0174532925199433), c = std::cos(120 * 0.0174532925199433);
    const double corner[3][2] = {{-kSide / 2.0, -kSide / 2.0}, {kSide / 2.0, -kSide / 2.0}, {-kSide / 2.0, kSide / 2.0}};
    for (int i = 0; i < 3; ++i) {
        double x = corner[i][0], y = corner[i][1];
        out[i] = {std::lround(kSide / 2.0 + s * x + c * y), std::lround(kSide / 2.0 + s * y - c * x)};
    }
}

}  // namespace

int main() {
    OleInitialize(nullptr);
    HDC screen = GetDC(nullptr);

    // Ours: a picture box of the forms engine holding the picture.
    qm::ComPtr<qm::forms::Form> host = qm::forms::make<qm::forms::Form>();
    host->load();
    auto& box = host->add<qm::forms::PictureBox>(L"Picture1");
    box.set_border_style(0);
    box.set_width(kSide * qm::forms::twips_per_pixel_x());
    box.set_height(kSide * qm::forms::twips_per_pixel_y());
    box.set_picture(qm::forms::picture_from_bitmap(pattern(screen)).get());
    qm::Variant angle(30L);

    // The system's: two memory DCs.
    HDC src = CreateCompatibleDC(screen), dst = CreateCompatibleDC(screen);
    HBITMAP sb = pattern(screen), db = CreateCompatibleBitmap(screen, kSide, kSide);
    HGDIOBJ so = SelectObject(src, sb), dob = SelectObject(dst, db);
    POINT corners[3];
    turned(corners);

    Best ours, fresh, system, copy;
    qm::ComPtr<qm::MyControls> worker = qm::forms::make<qm::MyControls>();
    worker->load();
    for (qmbench::Rounds round(9, 1.5); round.next();) {
        ours.time([&] { qmbench::sink = reinterpret_cast<size_t>(worker->BitmapWork(&box, angle.get()).get()); });
        fresh.time([&] {
            qm::ComPtr<qm::MyControls> once = qm::MyControls::fresh();
            qmbench::sink = reinterpret_cast<size_t>(once->BitmapWork(&box, angle.get()).get());
            once->release();
        });
        system.time([&] { qmbench::sink = PlgBlt(dst, corners, src, 0, 0, kSide, kSide, nullptr, 0, 0); });
        copy.time([&] { qmbench::sink = qm::parallelogram_copy(dst, corners, src, 0, 0, kSide, kSide); });
    }
    report("BitmapWork Rotate 30 / PlgBlt", 1, ours.value, system.value, "PlgBlt");
    report("with a private worker form", 1, fresh.value, system.value, "PlgBlt");
    report("parallelogram copy / PlgBlt", 1, copy.value, system.value, "PlgBlt");
    report("private worker form / copy", 1, fresh, copy, "copy", qmbench::at_most(2));

    SelectObject(src, so);
    SelectObject(dst, dob);
    DeleteObject(sb);
    DeleteObject(db);
    DeleteDC(src);
    DeleteDC(dst);
    worker->unload();
    host->unload();
    ReleaseDC(nullptr, screen);
    return 0;
}
