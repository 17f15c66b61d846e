// MyControls.BitmapWork on real picture boxes: an asymmetric picture (four
// coloured corner squares, a black centre square) copied, mirrored, turned and
// zoomed, with the source box measuring in twips and in pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "frame/mycontrols.h"
#include "runtime/forms/forms.h"
#include "runtime/parallelogram.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

constexpr int W = 60, H = 40;  // the source's client area in pixels
constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255),
                   kYellow = RGB(255, 255, 0), kWhite = RGB(255, 255, 255), kBlack = 0;

// Pixels of a bitmap as COLORREFs, row by row from the top.
using Pixels = std::vector<COLORREF>;

Pixels pixels_of(IPictureDisp* picture, int& w, int& h) {
    ComPtr<IPicture> pic;
    picture->QueryInterface(IID_IPicture, pic.put_void());
    OLE_HANDLE handle = 0;
    pic->get_Handle(&handle);
    HBITMAP bmp = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    BITMAP info{};
    GetObjectW(bmp, sizeof(info), &info);
    w = info.bmWidth, h = info.bmHeight;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
    std::vector<DWORD> raw(static_cast<size_t>(w) * h);
    HDC dc = CreateCompatibleDC(nullptr);
    GetDIBits(dc, bmp, 0, h, raw.data(), &bi, DIB_RGB_COLORS);
    DeleteDC(dc);
    Pixels out;
    for (DWORD p : raw) out.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    return out;
}

// The source picture, and the colour of each of its pixels.
COLORREF source_at(int x, int y) {
    if (x < 10 && y < 10) return kRed;
    if (x >= W - 10 && y < 10) return kGreen;
    if (x < 10 && y >= H - 10) return kBlue;
    if (x >= W - 10 && y >= H - 10) return kYellow;
    if (x >= 25 && x < 35 && y >= 15 && y < 25) return kBlack;
    return kWhite;
}

ComPtr<IPictureDisp> source_picture() {
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, W, H);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) SetPixel(dc, x, y, source_at(x, y));
    SelectObject(dc, old);
    DeleteDC(dc);
    return forms::picture_from_bitmap(bmp);
}

struct Host {
    ComPtr<forms::Form> form = forms::make<forms::Form>();
    forms::PictureBox* box = nullptr;
    explicit Host(int mode) {
        form->load();
        form->surface()->set_scale_mode(mode);
        box = &form->add<forms::PictureBox>(L"Picture1");
        box->surface()->set_scale_mode(mode);
        const float unit = mode == 3 ? 1.0f : forms::twips_per_pixel_x();
        box->set_width((W + 4) * unit);  // the 3-D border takes 2 pixels a side
        box->set_height((H + 4) * unit);
        box->set_picture(source_picture().get());
    }
    ~Host() { form->unload(); }
};

// Counts the result's pixels that differ from the source pixel the map names
// (nullopt: the drawing surface's background).
int mismatches(IPictureDisp* result, const std::function<std::optional<POINT>(int, int)>& map) {
    int w = 0, h = 0;
    Pixels got = pixels_of(result, w, h);
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    int bad = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::optional<POINT> from = map(x, y);
            COLORREF want = from ? source_at(from->x, from->y) : background;
            bad += got[static_cast<size_t>(y) * w + x] != want;
        }
    return bad;
}

ComPtr<IPictureDisp> work(forms::PictureBox* box, std::optional<double> rotate, std::optional<double> turn,
                          std::optional<double> flip, std::optional<double> zoom) {
    ComPtr<MyControls> worker = MyControls::fresh();  // the previous call's form, given back
    Variant r(rotate.value_or(0)), t(turn.value_or(0)), f(flip.value_or(0)), z(zoom.value_or(0));
    ComPtr<IPictureDisp> pic = worker->BitmapWork(box, rotate ? r.get() : nullptr, turn ? t.get() : nullptr,
                                                  flip ? f.get() : nullptr, zoom ? z.get() : nullptr);
    worker->release();
    return pic;
}

TEST(BitmapWork, CopiesMirrorsAndTurnsInTwipsAndPixelBoxes) {
    for (int mode : {1, 3}) {
        SCOPED_TRACE(mode);
        Host host(mode);
        RECT client{};
        GetClientRect(host.box->hwnd(), &client);
        ASSERT_EQ(client.right, W);
        ASSERT_EQ(client.bottom, H);
        auto same = [](int x, int y) { return std::optional<POINT>(POINT{x, y}); };
        EXPECT_EQ(mismatches(work(host.box, {}, {}, {}, {}).get(), same), 0);
        EXPECT_EQ(mismatches(work(host.box, 0, 0, 0, 45).get(), same), 0);
        EXPECT_EQ(mismatches(work(host.box, {}, {}, 180, {}).get(),
                             [](int x, int y) { return std::optional<POINT>(POINT{x, H - 1 - y}); }),
                  0);
        EXPECT_EQ(mismatches(work(host.box, {}, 180, {}, {}).get(),
                             [](int x, int y) { return std::optional<POINT>(POINT{W - 1 - x, y}); }),
                  0);
        // A quarter clockwise about the centre (30, 20): the picture stands 40
        // wide and 60 high, its ends cut off; its top-left corner is now top-right.
        EXPECT_EQ(mismatches(work(host.box, 90, {}, {}, {}).get(),
                             [](int x, int y) {
                                 return x < 10 || x >= 50 ? std::nullopt
                                                          : std::optional<POINT>(POINT{y + 10, 49 - x});
                             }),
                  0);
    }
}

TEST(BitmapWork, ZoomEnlargesAboutTheCentreAndRefusesCornersBeyondReach) {
    Host host(1);
    int w = 0, h = 0;
    Pixels got = pixels_of(work(host.box, {}, {}, {}, 60).get(), w, h);
    ASSERT_EQ(w * h, W * H);
    // The corner squares are pushed out of the surface; the centre stays black.
    for (COLORREF c : {kRed, kGreen, kBlue, kYellow}) EXPECT_EQ(std::count(got.begin(), got.end(), c), 0);
    int run = 0;
    for (int x = 0; x < W; ++x) run += got[static_cast<size_t>(H / 2) * W + x] == kBlack;
    EXPECT_GE(run, 16);  // 10 pixels times tan 60 (1.73)
    EXPECT_LE(run, 18);

    ComPtr<MyControls> worker = forms::make<MyControls>();
    Variant z(90.0);
    EXPECT_EQ(error_of([&] { worker->BitmapWork(host.box, nullptr, nullptr, nullptr, z.get()); }), 6);
    Variant almost(89.9999999);
    EXPECT_EQ(error_of([&] { worker->BitmapWork(host.box, nullptr, nullptr, nullptr, almost.get()); }), 6);
    worker->unload();
}

// A box whose image could not be made (here 9,000 pixels square) is refused
// before any of the work boxes takes its size.
TEST(BitmapWork, ABoxTooLargeForAnImageLeavesTheWorkBoxesAlone) {
    Host host(3);
    host.box->set_width(9004);
    host.box->set_height(9004);
    ComPtr<MyControls> worker = forms::make<MyControls>(), made = forms::make<MyControls>();
    worker->load();
    made->load();
    EXPECT_EQ(error_of([&] { worker->BitmapWork(host.box); }), 480);
    for (const wchar_t* name : {L"ps", L"po", L"pd"}) {
        RECT was{}, is{};
        GetWindowRect(made->get<forms::PictureBox>(name).hwnd(), &was);
        GetWindowRect(worker->get<forms::PictureBox>(name).hwnd(), &is);
        EXPECT_EQ(is.right - is.left, was.right - was.left);
        EXPECT_EQ(is.bottom - is.top, was.bottom - was.top);
    }
    worker->unload();
    made->unload();
}

// A worker form given back comes back out of the Forms collection as a first
// load leaves it, and the thread's message loop lets it go.
TEST(BitmapWork, AGivenBackWorkerComesBackAsNew) {
    Host host(3);
    ComPtr<MyControls> first = MyControls::fresh(), made = forms::make<MyControls>();
    made->load();
    const long loaded = forms::forms_collection().count();
    first->set_tag(L"Rotate");
    Variant angle(30L);
    first->BitmapWork(host.box, angle.get());
    forms::PictureBox& shape = first->get<forms::PictureBox>(L"PicTMP");
    shape.set_auto_size(true);
    shape.set_picture(source_picture().get());
    shape.surface()->set_auto_redraw(true);
    first->get<forms::ListBox>(L"sLB").add_item(L"b");
    first->release();
    EXPECT_EQ(forms::forms_collection().count(), loaded - 1);
    ComPtr<MyControls> again = MyControls::fresh();
    EXPECT_EQ(again.get(), first.get());
    EXPECT_EQ(forms::forms_collection().count(), loaded);
    EXPECT_EQ(again->tag(), L"");
    EXPECT_EQ(again->get<forms::ListBox>(L"sLB").list_count(), 0);
    for (const wchar_t* name : {L"PicTMP", L"ps", L"po", L"pd"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        forms::PictureBox &now = again->get<forms::PictureBox>(name), &new_one = made->get<forms::PictureBox>(name);
        EXPECT_EQ(now.width(), new_one.width());
        EXPECT_EQ(now.height(), new_one.height());
        // The window as well, whether read through the scale or the handle.
        EXPECT_EQ(now.surface()->scale_width(), new_one.surface()->scale_width());
        RECT was{}, is{};
        GetWindowRect(new_one.hwnd(), &was);
        GetWindowRect(now.hwnd(), &is);
        EXPECT_EQ(is.right - is.left, was.right - was.left);
        EXPECT_EQ(is.bottom - is.top, was.bottom - was.top);
        EXPECT_EQ(now.surface()->scale_mode(), new_one.surface()->scale_mode());
        EXPECT_EQ(now.surface()->auto_redraw(), new_one.surface()->auto_redraw());
        EXPECT_EQ(now.surface()->picture().get(), nullptr);
        EXPECT_EQ(now.s_.auto_size, new_one.s_.auto_size);
    }
    again->release();
    made->unload();
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    EXPECT_FALSE(first->loaded());
}

TEST(BitmapWork, LateBoundWithOmittedAngles) {
    Host host(3);
    ComPtr<MyControls> worker = forms::make<MyControls>();
    Variant box;
    VARIANT* b = box.put();
    V_VT(b) = VT_DISPATCH;
    V_DISPATCH(b) = host.box;
    host.box->AddRef();
    Variant missing = Variant::missing(), flip = v_long(180), result;
    ASSERT_EQ(call(worker.get(), L"BitmapWork", {box.get(), missing.get(), missing.get(), flip.get()}, result.put()), S_OK);
    ASSERT_EQ(V_VT(result.get()), VT_DISPATCH);
    ComPtr<IPictureDisp> pic;
    V_DISPATCH(result.get())->QueryInterface(IID_IPictureDisp, pic.put_void());
    EXPECT_EQ(mismatches(pic.get(), [](int x, int y) { return std::optional<POINT>(POINT{x, H - 1 - y}); }), 0);
    // Again on the same form: the drawing surface is cleared of the last result.
    Variant quarter(90L);
    EXPECT_EQ(mismatches(worker->BitmapWork(host.box, quarter.get()).get(),
                         [](int x, int y) {
                             return x < 10 || x >= 50 ? std::nullopt : std::optional<POINT>(POINT{y + 10, 49 - x});
                         }),
              0);
    worker->unload();
}

// The copy itself on a picture large enough to be drawn in many tiles and by
// several threads: exact quarter and half turns and a plain copy, placed off
// the destination's origin, every source pixel distinct; what lies outside the
// parallelogram keeps its colour (or, asked to, is cleared to it in the same
// pass). Once through copies of the DCs' bitmaps, then in place on pixels
// given beside them: bitmaps of their own, marked apart, the destination
// bottom-up.
TEST(BitmapWork, LargeCopiesTurnEveryPixelExactly) {
    constexpr int SW = 1100, SH = 1000, DW = SH + 40, DH = SW + 30, X0 = 17, Y0 = 9;
    struct Dib {
        HDC dc = CreateCompatibleDC(nullptr);
        uint32_t* bits = nullptr;
        HBITMAP bmp;
        HGDIOBJ old;
        PixelRows rows;
        Dib(int w, int h, bool bottom_up = false) {
            BITMAPINFO bi{};
            bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, bottom_up ? h : -h, 1, 32, BI_RGB};
            bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
            old = SelectObject(dc, bmp);
            rows = bottom_up ? PixelRows{bits + static_cast<size_t>(h - 1) * w, -w, w, h} : PixelRows{bits, w, w, h};
        }
        uint32_t& at(int x, int y) { return rows.row(y)[x]; }
        ~Dib() {
            SelectObject(dc, old);
            DeleteObject(bmp);
            DeleteDC(dc);
        }
    } src(SW, SH), dst(DW, DH), given_src(SW, SH), given_dst(DW, DH, true);
    constexpr DWORD kGiven = 0x800000;
    for (int y = 0; y < SH; ++y)
        for (int x = 0; x < SW; ++x) {
            src.at(x, y) = static_cast<DWORD>(y << 11 | x);
            given_src.at(x, y) = src.at(x, y) | kGiven;
        }
    constexpr DWORD kOutside = 0xABCDEF;
    struct Case {
        POINT corners[3];  // relative to X0, Y0
        int w, h;          // the destination's part covered
        POINT (*from)(int x, int y);
    };
    const Case cases[] = {
        {{{SH, 0}, {SH, SW}, {0, 0}}, SH, SW, [](int x, int y) { return POINT{y, SH - 1 - x}; }},  // quarter clockwise
        {{{SW, SH}, {0, SH}, {SW, 0}}, SW, SH, [](int x, int y) { return POINT{SW - 1 - x, SH - 1 - y}; }},
        {{{0, 0}, {SW, 0}, {0, SH}}, SW, SH, [](int x, int y) { return POINT{x, y}; }},
    };
    for (const int mode : {0, 1, 2})  // through copies, in place, in place and clearing
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.w << " mode " << mode);
            const bool in_place = mode > 0, clearing = mode == 2;
            Dib& out = in_place ? given_dst : dst;
            std::fill(out.bits, out.bits + static_cast<size_t>(DW) * DH, clearing ? 0x111111 : kOutside);
            POINT corners[3];
            for (int i = 0; i < 3; ++i) corners[i] = {c.corners[i].x + X0, c.corners[i].y + Y0};
            const uint32_t clear = kOutside;
            ASSERT_TRUE(parallelogram_copy(dst.dc, corners, src.dc, 0, 0, SW, SH, in_place ? &given_dst.rows : nullptr,
                                           in_place ? &given_src.rows : nullptr, clearing ? &clear : nullptr));
            GdiFlush();
            int bad = 0;
            for (int y = 0; y < DH; ++y)
                for (int x = 0; x < DW; ++x) {
                    const int px = x - X0, py = y - Y0;
                    DWORD want = kOutside;
                    if (px >= 0 && py >= 0 && px < c.w && py < c.h) {
                        const POINT p = c.from(px, py);
                        want = static_cast<DWORD>(p.y << 11 | p.x) | (in_place ? kGiven : 0);
                    }
                    bad += out.at(x, y) != want;
                }
            EXPECT_EQ(bad, 0);
        }
}

}  // namespace

// A box of over a million pixels, whose result bitmap is made while the picture
// turns: a half turn gives every pixel, twice in a row on one form.
TEST(BitmapWork, ALargeBoxGetsItsWholeResult) {
    constexpr int LW = 1100, LH = 1000;
    std::vector<DWORD> in(static_cast<size_t>(LW) * LH);
    for (int y = 0; y < LH; ++y)
        for (int x = 0; x < LW; ++x) in[static_cast<size_t>(y) * LW + x] = static_cast<DWORD>(y << 11 | x);
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, LW, LH);
    ReleaseDC(nullptr, screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), LW, -LH, 1, 32, BI_RGB};
    HDC dc = CreateCompatibleDC(nullptr);
    SetDIBits(dc, bmp, 0, LH, in.data(), &bi, DIB_RGB_COLORS);
    ComPtr<forms::Form> form = forms::make<forms::Form>();
    form->load();
    auto& box = form->add<forms::PictureBox>(L"Picture1");
    box.set_width((LW + 4) * forms::twips_per_pixel_x());  // the 3-D border takes 2 pixels a side
    box.set_height((LH + 4) * forms::twips_per_pixel_y());
    box.set_picture(forms::picture_from_bitmap(bmp).get());
    ComPtr<MyControls> worker = forms::make<MyControls>();
    Variant half(180L);
    for (int round = 0; round < 2; ++round) {
        ComPtr<IPicture> pic;
        worker->BitmapWork(&box, half.get())->QueryInterface(IID_IPicture, pic.put_void());
        OLE_HANDLE handle = 0;
        pic->get_Handle(&handle);
        std::vector<DWORD> out(in.size());
        ASSERT_EQ(GetDIBits(dc, reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), 0, LH, out.data(), &bi,
                            DIB_RGB_COLORS),
                  LH);
        int bad = 0;
        for (int y = 0; y < LH; ++y)
            for (int x = 0; x < LW; ++x)
                bad += (out[static_cast<size_t>(y) * LW + x] & 0xFFFFFF) !=
                       in[static_cast<size_t>(LH - 1 - y) * LW + (LW - 1 - x)];
        EXPECT_EQ(bad, 0) << round;
    }
    DeleteDC(dc);
    worker->unload();
    form->unload();
}
