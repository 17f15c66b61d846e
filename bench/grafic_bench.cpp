// Grafic's pixel effects and whole-picture operations on a 2,048 x 2,048
// picture, called through the class's interface as a client calls them, against
// a plain loop over a DIB section of the same picture (its pixels copied in,
// the same formula) and against the same GDI call on a memory DC holding a DIB
// section of the picture. Each member returns a new picture, so each run of the
// other side makes its DIB section anew too: under Wine the first touch of a
// new bitmap's pages costs more than the pass itself. PictureToString is set
// against GetBitmapBits of the picture in the screen's format and one
// MultiByteToWideChar of those bytes. The 256 x 256 lines show the per-call
// overhead.
// Goal: ratio <= 1.5 each at 2,048, PictureRotate <= 2 at 2,048 and <= 5 at 256.
#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "bench.h"
#include "frame/classes.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"

using qmbench::Best;
using qmbench::report;

namespace {

// A 32-bit bottom-up DIB section selected into its own memory DC.
struct Dib {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    DWORD* bits = nullptr;
    long side = 0;
    explicit Dib(long s) : side(s) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(info.bmiHeader), s, s, 1, 32, BI_RGB};
        bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bmp);
    }
    ~Dib() {
        SelectObject(dc, old);
        DeleteDC(dc);
        if (bmp) DeleteObject(bmp);
    }
    size_t pixels() const { return static_cast<size_t>(side) * side; }
};

HBITMAP pattern_bitmap(long side) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), side, side, 1, 32, BI_RGB};
    DWORD* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    for (long y = 0; y < side; ++y)
        for (long x = 0; x < side; ++x) bits[y * side + x] = static_cast<DWORD>(((x * 7) & 0xFF) | (y * 3 & 0xFF) << 8 | ((x ^ y) & 0xFF) << 16);
    return bmp;
}

qm::ComPtr<IPictureDisp> picture_of(HBITMAP bmp) {
    PICTDESC desc{sizeof(desc), PICTYPE_BITMAP};
    desc.bmp.hbitmap = bmp;
    qm::ComPtr<IPictureDisp> pic;
    OleCreatePictureIndirect(&desc, IID_IPictureDisp, FALSE, pic.put_void());
    return pic;
}

using Effect = HRESULT (STDMETHODCALLTYPE _Grafic::*)(IPictureDisp**, long, IPictureDisp**);

void run_side(_Grafic* g, long side, int runs) {
    HBITMAP source_bmp = pattern_bitmap(side);
    qm::ComPtr<IPictureDisp> pic = picture_of(source_bmp);
    DIBSECTION ds{};
    GetObjectW(source_bmp, sizeof(ds), &ds);
    const DWORD* source = static_cast<const DWORD*>(ds.dsBm.bmBits);
    Dib out(side);
    const size_t n = out.pixels();
    char label[64];

    auto call = [&](Effect effect, long arg) {
        IPictureDisp* p = pic.get();
        qm::ComPtr<IPictureDisp> result;
        (g->*effect)(&p, arg, result.put());
        qmbench::sink = reinterpret_cast<size_t>(result.get());
    };
    auto table_loop = [&](const BYTE* t) {
        Dib work(side);
        std::memcpy(work.bits, source, n * 4);
        BYTE* o = reinterpret_cast<BYTE*>(work.bits);
        for (size_t i = 0; i < n * 4; i += 4) {
            o[i] = t[o[i]];
            o[i + 1] = t[o[i + 1]];
            o[i + 2] = t[o[i + 2]];
        }
    };
    BYTE bright[256], contrast[256];
    for (int k = 0; k < 256; ++k) {
        bright[k] = static_cast<BYTE>(50 + k * 205 / 256);
        contrast[k] = static_cast<BYTE>(std::clamp(std::nearbyint((std::exp(50 / 30.0) / 20 - 0.05) * (k - 127)) + 127, 0.0, 255.0));
    }

    // Interleaved rounds a side: the host's load comes and goes.
    auto compare = [&](const char* name, auto ours_fn, auto plain_fn) {
        Best ours, plain;
        for (qmbench::Rounds round(7, 0.5); round.next();) {
            ours.time([&] { for (int i = 0; i < runs; ++i) ours_fn(); });
            plain.time([&] { for (int i = 0; i < runs; ++i) plain_fn(); });
        }
        std::snprintf(label, sizeof label, "%s %ld", name, side);
        // At 2,048 every member has a goal (PictureRotate its own); at 256 only PictureRotate.
        const bool rotate = std::strcmp(name, "PictureRotate") == 0;
        const qmbench::Goal goal = side == 2048 ? qmbench::at_most(rotate ? 2 : 1.5)
                                   : rotate     ? qmbench::at_most(5)
                                                : qmbench::Goal{};
        report(label, runs, ours, plain, "plain", goal);
    };
    compare("PictureBrightness", [&] { call(&_Grafic::PictureBrightness, 50); }, [&] { table_loop(bright); });
    compare("PictureContrast", [&] { call(&_Grafic::PictureContrast, 50); }, [&] { table_loop(contrast); });
    compare("PictureToGray", [&] {
        IPictureDisp* p = pic.get();
        qm::ComPtr<IPictureDisp> result;
        g->PictureToGray(&p, result.put());
    }, [&] {
        Dib work(side);
        std::memcpy(work.bits, source, n * 4);
        BYTE* o = reinterpret_cast<BYTE*>(work.bits);
        for (size_t i = 0; i < n * 4; i += 4) {
            BYTE v = static_cast<BYTE>((71 * o[i] + 707 * o[i + 1] + 222 * o[i + 2]) / 1000);
            o[i] = o[i + 1] = o[i + 2] = v;
            o[i + 3] = 0;
        }
    });
    compare("PictureEmboss", [&] { call(&_Grafic::PictureEmboss, 3); }, [&] {
        // The picture's own pixels are the unchanged copy the pass reads.
        Dib work(side);
        const BYTE* in = reinterpret_cast<const BYTE*>(source);
        BYTE* o = reinterpret_cast<BYTE*>(work.bits);
        const size_t stride = static_cast<size_t>(side) * 4;
        std::memcpy(o, in, stride * side);
        for (long y = 1; y + 1 < side; ++y)
            for (long x = 1; x + 1 < side; ++x)
                for (int c = 0; c < 3; ++c) {
                    size_t at = y * stride + x * 4 + c;
                    int d = in[at + 4] - in[at - 4];
                    o[at] = static_cast<BYTE>(d <= 0 ? 127 : std::min(255, 127 + d));
                }
    });

    // Whole-picture GDI operations: the same call on a DIB section of the picture.
    compare("PictureInvert", [&] {
        IPictureDisp* p = pic.get();
        qm::ComPtr<IPictureDisp> result;
        g->PictureInvert(&p, result.put());
    }, [&] {
        Dib work(side);
        std::memcpy(work.bits, source, n * 4);
        BitBlt(work.dc, 0, 0, side, side, work.dc, 0, 0, DSTINVERT);
    });
    std::memcpy(out.bits, source, n * 4);  // the source of the blend and the turn

    qm::ComPtr<qm::forms::Form> host = qm::forms::make<qm::forms::Form>();
    host->load();
    auto& box = host->add<qm::forms::PictureBox>(L"Picture1");
    box.set_width((side + 4) * qm::forms::twips_per_pixel_x());
    box.set_height((side + 4) * qm::forms::twips_per_pixel_y());
    box.set_picture(pic.get());
    box.surface()->set_auto_redraw(true);
    compare("PictureAlphaBlend", [&] {
        IDispatch* b = &box;
        BYTE alpha = 100;
        long e = 0;
        qm::ComPtr<IPictureDisp> result;
        g->PictureAlphaBlend(&b, &alpha, &e, result.put());
    }, [&] {
        Dib work(side);
        AlphaBlend(work.dc, 0, 0, side, side, out.dc, 0, 0, side, side, BLENDFUNCTION{AC_SRC_OVER, 0, 100, 0});
    });
    host->unload();

    // The turn against PlgBlt onto a new DIB section. Wine's PlgBlt does not
    // turn: at 120 degrees it draws a stretched, unturned band of the picture (a
    // fifth of the pixels at 2,048, a third at 256), a cheaper reference than a turn.
    const double s = std::sin(120 * 0.0174532925199433), c = std::cos(120 * 0.0174532925199433);
    POINT corners[3];
    const double corner[3][2] = {{-side / 2.0, -side / 2.0}, {side / 2.0, -side / 2.0}, {-side / 2.0, side / 2.0}};
    for (int i = 0; i < 3; ++i)
        corners[i] = {std::lround(side / 2.0 + s * corner[i][0] + c * corner[i][1]),
                      std::lround(side / 2.0 + s * corner[i][1] - c * corner[i][0])};
    compare("PictureRotate", [&] { call(&_Grafic::PictureRotate, 30); },
            [&] {
                Dib work(side);
                PlgBlt(work.dc, corners, out.dc, 0, 0, side, side, nullptr, 0, 0);
            });

    // The picture string: the system's copy of a screen-format bitmap of the
    // picture and one conversion of those bytes to characters.
    HDC screen = GetDC(nullptr);
    HBITMAP ddb = CreateCompatibleBitmap(screen, side, side);
    HDC ddb_dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ ddb_old = SelectObject(ddb_dc, ddb);
    BitBlt(ddb_dc, 0, 0, side, side, out.dc, 0, 0, SRCCOPY);
    SelectObject(ddb_dc, ddb_old);
    DeleteDC(ddb_dc);
    compare("PictureToString", [&] {
        IPictureDisp* p = pic.get();
        BSTR text = nullptr;
        g->PictureToString(&p, &text);
        qmbench::sink = SysStringLen(text);
        SysFreeString(text);
    }, [&] {
        const int bytes = static_cast<int>(n * 4);
        std::vector<char> bits(static_cast<size_t>(bytes));
        GetBitmapBits(ddb, bytes, bits.data());
        BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(bytes));
        qmbench::sink = static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, bits.data(), bytes, text, bytes));
        SysFreeString(text);
    });
    DeleteObject(ddb);
    DeleteObject(source_bmp);
}

}  // namespace

int main() {
    OleInitialize(nullptr);
    qm::ComPtr<_Grafic> g;
    qm::find_class_by_interface(IID__Grafic)->create(IID__Grafic, g.put_void());
    run_side(g.get(), 2048, 2);
    run_side(g.get(), 256, 20);
    return 0;
}
