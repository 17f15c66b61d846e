// Grafic: colours and units, pixel effects, picture transformations and
// blending, and Forms.Tile, through the registered classes; client boxes are
// picture boxes of the tests' own forms.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "frame/shared.h"
#include "media/grafic.h"
#include "media/grafic_pixels.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "grafic_support.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using namespace grafictest;

namespace {

// --- a client form with picture boxes --------------------------------------------------

class BoxForm : public forms::Form {
protected:
    void design() override {
        for (const wchar_t* name : {L"Picture1", L"Picture2"}) add<forms::PictureBox>(name);
        add<forms::TextBox>(L"Text1");
    }
};

// A box that answers the blend's properties but has no surface (hDC 0).
class HollowBox final : public forms::Object {
public:
    const wchar_t* type_name() const noexcept override { return L"PictureBox"; }
    const forms::Table& table() const override {
        using O = forms::Object&;
        using A = const forms::Args&;
        forms::Putter ignore = [](O, A, const VARIANT&) {};
        static const forms::Table t({}, {{L"AutoRedraw", [](O, A) { return Variant(true); }, ignore},
                                         {L"ScaleMode", [](O, A) { return Variant(3L); }, ignore},
                                         {L"AutoSize", [](O, A) { return Variant(true); }, ignore},
                                         {L"Width", [](O, A) { return Variant(600L); }},
                                         {L"Height", [](O, A) { return Variant(600L); }},
                                         {L"ScaleWidth", [](O, A) { return Variant(36L); }},
                                         {L"ScaleHeight", [](O, A) { return Variant(36L); }},
                                         {L"hDC", [](O, A) { return Variant(0L); }}});
        return t;
    }
};

// The engine's form windows of this thread (loaded forms).
long thread_forms() {
    long n = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM p) CALLBACK {
            wchar_t name[32] = {};
            GetClassNameW(h, name, 32);
            if (std::wstring(name) == L"ThunderRT6FormDC") ++*reinterpret_cast<long*>(p);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&n));
    return n;
}

class GraficTest : public testing::Test {
protected:
    void SetUp() override {
        disp = qmtest::create(L"Quillmark.Grafic");
        ASSERT_TRUE(disp);
        g = disp.query<_Grafic>();
        ASSERT_TRUE(g);
    }
    void TearDown() override {
        if (form && form->loaded()) form->unload();
    }
    // A picture box of the client form, in pixels, with AutoRedraw and no border.
    IDispatch* box(const wchar_t* name, long w, long h, IPictureDisp* picture = nullptr) {
        if (!form) {
            form = forms::make<BoxForm>();
            form->load();
        }
        auto& b = form->get<forms::PictureBox>(name);
        b.set_border_style(0);
        b.surface()->set_scale_mode(3);
        b.surface()->set_auto_redraw(true);
        b.move(0, nullptr, nullptr, nullptr);
        b.set_width(w * forms::twips_per_pixel_x());
        b.set_height(h * forms::twips_per_pixel_y());
        if (picture) b.set_picture(picture);
        return &b;
    }
    Pixels image_of(IDispatch* b) {
        Variant img = late::get(b, L"Image");
        ComPtr<IPictureDisp> pic;
        V_DISPATCH(img.get())->QueryInterface(IID_IPictureDisp, pic.put_void());
        return pixels_of(pic.get());
    }
    using Effect = HRESULT (STDMETHODCALLTYPE _Grafic::*)(IPictureDisp**, long, IPictureDisp**);
    ComPtr<IPictureDisp> run(Effect effect, IPictureDisp* in, long arg) {
        IPictureDisp* p = in;
        ComPtr<IPictureDisp> out;
        EXPECT_EQ((g.get()->*effect)(&p, arg, out.put()), S_OK);
        return out;
    }
    ComPtr<IDispatch> disp;
    ComPtr<_Grafic> g;
    qmtest::ErrorLog errors;
    ComPtr<BoxForm> form;
};

}  // namespace

// --- colours and units ----------------------------------------------------------------

TEST_F(GraficTest, ColourTextsAndNumbers) {
    struct {
        long color;
        const wchar_t* html;
    } to_html[] = {{0xFF, L"#FF0000"}, {0, L"#000000"}, {0xFF8000, L"#0080FF"}, {0xFFFFFF, L"#FFFFFF"}};
    for (const auto& c : to_html) {
        Bstr text;
        long e = -1;
        EXPECT_EQ(g->Convert_ColorToHTML(c.color, &e, text.put()), S_OK);
        EXPECT_EQ(text.str(), c.html);
        EXPECT_EQ(e, 0);
    }
    Bstr text;
    long e = 0;
    EXPECT_EQ(g->Convert_ColorToHTML(static_cast<long>(0x8000000F), &e, text.put()), S_OK);
    EXPECT_EQ(text.str(), L"");
    EXPECT_EQ(e, 5);
    EXPECT_EQ(errors.count("Convert_ColorToHTML"), 1);

    struct {
        const wchar_t* html;
        long color;
    } to_long[] = {{L"#0080FF", 0xFF8000}, {L"0080FF", 0xFF8000}, {L"#FFF", 4095},
                   {L"##12#34#56", 0x563412}, {L"", 0}, {L"#GG10", 0x1000}};
    for (const auto& c : to_long) {
        long v = -1;
        EXPECT_EQ(g->Convert_HTMLtoLong(Bstr(c.html).get(), &v), S_OK);
        EXPECT_EQ(v, c.color) << Bstr(c.html).str();
    }

    RGBtype rgb{};
    EXPECT_EQ(g->Convert_ColorToRGB(static_cast<long>(0x8000000F), &rgb), S_OK);
    EXPECT_EQ(rgb.R, 15);
    EXPECT_EQ(rgb.G, 0);
    EXPECT_EQ(rgb.B, 0);
    EXPECT_EQ(g->Convert_ColorToRGB(0x123456, &rgb), S_OK);
    EXPECT_EQ((std::vector<int>{rgb.R, rgb.G, rgb.B}), (std::vector<int>{0x56, 0x34, 0x12}));

    long v = 0;  // more of these in the script client
    EXPECT_EQ(g->Convert_RGBtoLong(1, 2, 3, &v), S_OK);
    EXPECT_EQ(v, 0x030201);
    EXPECT_EQ(g->Convert_RGBtoLong(40000, 0, 0, &v), static_cast<HRESULT>(0x800A0006));
}

TEST_F(GraficTest, OleColoursAndTheSharedInstance) {
    long v = -1;
    EXPECT_EQ(g->Convert_OLEtoRBG(static_cast<long>(0x8000000F), &v), S_OK);
    EXPECT_EQ(v, static_cast<long>(GetSysColor(15)));
    EXPECT_EQ(g->Convert_OLEtoRBG(0x123456, &v), S_OK);
    EXPECT_EQ(v, 0x123456);
    EXPECT_EQ(g->Convert_OLEtoRBG(static_cast<long>(0x81000000), &v), S_OK);
    EXPECT_EQ(v, 0);  // no such OLE colour
    // Other classes reach these members through the library's shared instance.
    _Grafic* shared_grafic = shared<_Grafic>();
    EXPECT_EQ(shared_grafic->Convert_OLEtoRBG(static_cast<long>(0x80000005), &v), S_OK);
    EXPECT_EQ(v, static_cast<long>(GetSysColor(5)));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(shared_grafic->Get_RandomizedColor(&v), S_OK);
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 0xFFFFFF);
    }
    long x = 3, y = 4;
    EXPECT_EQ(shared_grafic->PixelToTwips(&x, &y), S_OK);
    EXPECT_EQ(x, 45);  // the harness screen: 15 twips per pixel
    EXPECT_EQ(y, 60);
}

TEST_F(GraficTest, TwipsAndPixelsRoundHalvesToEven) {
    long x = 22, y = 7;
    EXPECT_EQ(g->TwipsToPixel(&x, &y), S_OK);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 0);
    struct {
        long twips;
        double per_pixel;
        long pixels;
    } cases[] = {{22, 15, 1}, {7, 15, 0}, {6, 12, 0}, {18, 12, 2}, {30, 12, 2}, {-18, 12, -2}};
    for (const auto& c : cases) EXPECT_EQ(grafic::twips_to_pixel(c.twips, c.per_pixel), c.pixels) << c.twips;
    EXPECT_EQ(grafic::pixel_to_twips(4, 12), 48);
    EXPECT_EQ(qmtest::error_of([] { grafic::pixel_to_twips(200000000, 15); }), 6);
}

// --- pixel passes ---------------------------------------------------------------------

TEST(GraficPasses, TablesHoldTheirPinnedValues) {
    struct {
        bool contrast;
        long arg;
        int in, out;
    } cases[] = {
        {false, 0, 0, 0},     {false, 0, 1, 0},     {false, 0, 255, 254},  {false, 100, 0, 100},
        {false, 100, 255, 254}, {false, -100, 0, 1}, {false, -100, 255, 155}, {false, 255, 0, 255},
        {false, -255, 200, 1}, {true, 0, 0, 127},   {true, 0, 255, 127},   {true, 30, 0, 116},
        {true, 30, 255, 138}, {true, 50, 0, 100},   {true, 50, 255, 154},  {true, 100, 0, 0},
        {true, 100, 64, 42},  {true, 100, 255, 255}, {true, 100, 127, 127},
    };
    for (const auto& c : cases) {
        grafic::Table t;
        c.contrast ? grafic::contrast_table(c.arg, t) : grafic::brightness_table(c.arg, t);
        EXPECT_EQ(t[c.in], c.out) << (c.contrast ? "contrast " : "brightness ") << c.arg << " of " << c.in;
    }
}

TEST(GraficPasses, GreyAndEmbossOnBuffers) {
    // Grey: white, red, green, blue, mid grey; the fourth byte becomes 0.
    std::vector<DWORD> in = {0xAAFFFFFF, 0x00FF0000, 0x0000FF00, 0x000000FF, 0x00808080}, out(in.size());
    grafic::gray_pass(reinterpret_cast<BYTE*>(in.data()), reinterpret_cast<BYTE*>(out.data()), in.size(), 71, 707,
                      222, 1000);
    EXPECT_EQ(out, (std::vector<DWORD>{channels(255), channels(56), channels(180), channels(18), channels(128)}));

    // Emboss of 4×3 pixels (bottom row first): one bright pixel at (2, 1) from the
    // top left; direction 3 reads the right neighbour minus the left one.
    std::vector<DWORD> work(12, 0x11102030), res(12);
    work[4 + 2] = 0x11FFFFFF;
    grafic::emboss_pass(reinterpret_cast<BYTE*>(work.data()), reinterpret_cast<BYTE*>(res.data()), 4, 3, 3);
    EXPECT_EQ(res[4 + 1], 0x11FFFFFFu);  // 127 + (FF − 10/20/30), capped at 255
    EXPECT_EQ(res[4 + 2], 0x117F7F7Fu);                            // a flat neighbourhood: 127
    for (int i : {0, 1, 2, 3, 4, 7, 8, 11}) EXPECT_EQ(res[i], work[i]) << i;  // the border is copied
    // In every direction, on rows of 4-pixel groups and a rest: the formula pixel by
    // pixel (the alpha byte kept), and in place (what the member runs) the same.
    constexpr int kDx[8] = {-1, 0, 1, 1, 1, 0, -1, -1}, kDy[8] = {-1, -1, -1, 0, 1, 1, 1, 0};  // rows bottom-up
    std::vector<DWORD> noise(11 * 7);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<DWORD>(i * 2654435761u);
    for (long d = 0; d < 8; ++d) {
        std::vector<DWORD> two_buffers(noise.size()), in_place = noise, expected = noise;
        for (int y = 1; y < 6; ++y)
            for (int x = 1; x < 10; ++x) {
                DWORD v = noise[y * 11 + x] & 0xFF000000u;
                for (int c = 0; c < 24; c += 8) {
                    const int diff = int(noise[(y + kDy[d]) * 11 + x + kDx[d]] >> c & 0xFF) -
                                     int(noise[(y - kDy[d]) * 11 + x - kDx[d]] >> c & 0xFF);
                    v |= DWORD(diff <= 0 ? 127 : std::min(255, 127 + diff)) << c;
                }
                expected[y * 11 + x] = v;
            }
        std::vector<BYTE> rows(11 * 8);
        grafic::emboss_pass(reinterpret_cast<BYTE*>(noise.data()), reinterpret_cast<BYTE*>(two_buffers.data()), 11, 7, d);
        grafic::emboss_in_place(reinterpret_cast<BYTE*>(in_place.data()), 11, 7, d, rows.data());
        EXPECT_EQ(two_buffers, expected) << d;
        EXPECT_EQ(in_place, expected) << d;
    }
    // Fewer than three rows: unchanged.
    std::vector<DWORD> two(8, 0x00102030), two_out(8);
    two[1] = 0x00FFFFFF;
    grafic::emboss_pass(reinterpret_cast<BYTE*>(two.data()), reinterpret_cast<BYTE*>(two_out.data()), 4, 2, 0);
    EXPECT_EQ(two_out, two);
}

// --- pixel effects through the interface ------------------------------------------------

TEST_F(GraficTest, EffectsKeepTheSizeAndLeaveTheInputAlone) {
    // Blue 30·x, green 40·y, red 200 (0x00RRGGBB).
    Pixels in = pattern(7, 5, [](long x, long y) { return static_cast<DWORD>(x * 30 | y * 40 << 8 | 200 << 16); });
    ComPtr<IPictureDisp> pic = picture_of(in);
    long forms_before = thread_forms();
    struct {
        Effect effect;
        long arg, x, y;
        DWORD expect;
    } cases[] = {
        {&_Grafic::PictureBrightness, 100, 0, 0, 0xDD6464},  // 0 -> 100, 200 -> 100 + 121
        {&_Grafic::PictureContrast, 50, 0, 0, 0x8F6464},     // 0 -> 100, 200 -> 143
        {&_Grafic::PictureEmboss, 1, 3, 2, 0x7FCF7F},        // green rises by 80 downwards
    };
    for (const auto& c : cases) {
        ComPtr<IPictureDisp> out = run(c.effect, pic.get(), c.arg);
        Pixels res = pixels_of(out.get());
        ASSERT_EQ(res.w, 7);
        ASSERT_EQ(res.h, 5);
        EXPECT_EQ(res.at(c.x, c.y), c.expect) << c.arg;
        // An effect's result as the input: a new picture again, the input untouched.
        ComPtr<IPictureDisp> again = run(c.effect, out.get(), c.arg);
        EXPECT_EQ(pixels_of(out.get()), res);
        EXPECT_NE(bitmap_of(again.get()), bitmap_of(out.get()));
    }
    ComPtr<IPictureDisp> grey;
    IPictureDisp* p = pic.get();
    EXPECT_EQ(g->PictureToGray(&p, grey.put()), S_OK);
    EXPECT_EQ(pixels_of(grey.get()).at(0, 0), channels(222 * 200 / 1000));
    EXPECT_EQ(pixels_of(pic.get()), in);

    // Out of range: Nothing, no form.
    for (auto [effect, arg] : std::vector<std::pair<Effect, long>>{{&_Grafic::PictureBrightness, 256},
                                                                     {&_Grafic::PictureBrightness, -256},
                                                                     {&_Grafic::PictureEmboss, 8},
                                                                     {&_Grafic::PictureEmboss, -1},
                                                                     {&_Grafic::PictureContrast, 101}})
        EXPECT_FALSE(run(effect, pic.get(), arg));
    EXPECT_EQ(thread_forms(), forms_before);
}

TEST_F(GraficTest, CaptureClearsTheFourthByteAndRendersIconsOverTheBackground) {
    ComPtr<IPictureDisp> pic = picture_of(solid(3, 3, 0x7F102030));
    Pixels b = pixels_of(run(&_Grafic::PictureBrightness, pic.get(), 0).get());
    EXPECT_EQ(b.at(1, 1), 0x000F1F2Fu);  // the captured fourth byte is 0, and kept
    // No transformation sets it (one of each kind): only blue, green and red change.
    ComPtr<IPictureDisp> clear = picture_of(solid(3, 3, 0x102030));
    using Transform = std::function<HRESULT(IPictureDisp**, IPictureDisp**)>;
    long twips = 1;
    const std::pair<const char*, Transform> transforms[] = {
        {"Invert", [&](IPictureDisp** p, IPictureDisp** r) { return g->PictureInvert(p, r); }},
        {"Color", [&](IPictureDisp** p, IPictureDisp** r) { return g->PictureColor(p, 0x400000, r); }},
        {"Emboss", [&](IPictureDisp** p, IPictureDisp** r) { return g->PictureEmboss(p, 3, r); }},
        {"Rotate", [&](IPictureDisp** p, IPictureDisp** r) { return g->PictureRotate(p, 30, r); }},
        {"Stretch", [&](IPictureDisp** p, IPictureDisp** r) { return g->Stretch(p, 300, 300, &twips, r); }},
    };
    for (const auto& [name, transform] : transforms) {
        IPictureDisp* p = clear.get();
        ComPtr<IPictureDisp> out;
        ASSERT_EQ(transform(&p, out.put()), S_OK) << name;
        const Pixels px = pixels_of(out.get());
        EXPECT_EQ(px, rgb_only(px)) << name;
    }
    // An icon: its transparent parts show the work area's background.
    PICTDESC desc{sizeof(desc), PICTYPE_ICON};
    desc.icon.hicon = LoadIconW(nullptr, IDI_APPLICATION);
    ComPtr<IPictureDisp> icon;
    ASSERT_EQ(OleCreatePictureIndirect(&desc, IID_IPictureDisp, FALSE, icon.put_void()), S_OK);
    Pixels i = pixels_of(run(&_Grafic::PictureContrast, icon.get(), 0).get());
    EXPECT_EQ(i.w, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(i.at(0, 0), channels(127));
    // Nothing is no picture.
    IPictureDisp* none = nullptr;
    ComPtr<IPictureDisp> out;
    EXPECT_EQ(g->PictureToGray(&none, out.put()), static_cast<HRESULT>(0x800A005B));
}

// --- transformations and blending -----------------------------------------------------

TEST_F(GraficTest, InvertColourAndStretch) {
    Pixels in = pattern(6, 4, [](long x, long y) { return static_cast<DWORD>(0x102030 * (x + 1) + y * 7); });
    ComPtr<IPictureDisp> pic = picture_of(in), once, twice, black, white, stretched;
    IPictureDisp* p = pic.get();
    ASSERT_EQ(g->PictureInvert(&p, once.put()), S_OK);
    EXPECT_EQ(pixels_of(once.get()).at(2, 1), ~in.at(2, 1) & 0xFFFFFF);
    p = once.get();
    ASSERT_EQ(g->PictureInvert(&p, twice.put()), S_OK);
    EXPECT_EQ(pixels_of(twice.get()), in);
    IPictureDisp* back = twice.get();
    VARIANT_BOOL same = VARIANT_FALSE;
    p = pic.get();
    ASSERT_EQ(g->PictureCompare(&p, &back, &same), S_OK);
    EXPECT_TRUE(same);
    p = pic.get();
    ASSERT_EQ(g->PictureColor(&p, 0, black.put()), S_OK);
    EXPECT_EQ(rgb_only(pixels_of(black.get())), in);
    ASSERT_EQ(g->PictureColor(&p, 0xFFFFFF, white.put()), S_OK);
    EXPECT_EQ(rgb_only(pixels_of(white.get())), solid(6, 4, 0xFFFFFF));

    // The work box's outer size in twips, its 3D border inside it.
    long twips = 1;
    ASSERT_EQ(g->Stretch(&p, 3000, 1500, &twips, stretched.put()), S_OK);
    Pixels s = rgb_only(pixels_of(stretched.get()));
    EXPECT_EQ(s.w, 196);
    EXPECT_EQ(s.h, 96);
    EXPECT_EQ(s.at(0, 0), in.at(0, 0));
    EXPECT_EQ(s.at(195, 95), in.at(5, 3));
    EXPECT_EQ(s.at(98, 50), in.at(3, 2));
    EXPECT_EQ(pixels_of(pic.get()), in);
}

TEST_F(GraficTest, StretchToPicBoxKeepsTheStretchedImageAndReportsMissingMembers) {
    ComPtr<IPictureDisp> pic = picture_of(pattern(2, 2, [](long x, long y) { return DWORD(x ? 0xFF : 0xFF00) << y * 8; }));
    IDispatch* b = box(L"Picture1", 20, 10, pic.get());
    long r = -1;
    ASSERT_EQ(g->StretchToPicBox(&b, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(CBool(*late::get(b, L"AutoRedraw").get()));
    Pixels img = rgb_only(image_of(b));
    EXPECT_EQ(img.at(0, 0), 0xFF00u);
    EXPECT_EQ(img.at(19, 0), 0xFFu);
    EXPECT_EQ(img.at(9, 9), 0xFF0000u);
    EXPECT_EQ(img.at(10, 9), 0xFF00u);
    IDispatch* text = &form->get<forms::TextBox>(L"Text1");
    ASSERT_EQ(g->StretchToPicBox(&text, &r), S_OK);
    EXPECT_EQ(r, 438);
    EXPECT_EQ(errors.count("StretchToPicBox"), 1);
}

TEST_F(GraficTest, AlphaBlendAndFusion) {
    const DWORD a = 0x204060, b = 0xF0A010;
    IDispatch* first = box(L"Picture1", 30, 20, picture_of(solid(30, 20, a)).get());
    IDispatch* second = box(L"Picture2", 30, 20, picture_of(solid(30, 20, b)).get());
    auto blend = [&](IDispatch* bx, BYTE alpha) {
        ComPtr<IPictureDisp> out;
        long e = -1;
        EXPECT_EQ(g->PictureAlphaBlend(&bx, &alpha, &e, out.put()), S_OK);
        EXPECT_EQ(e, 0);
        return rgb_only(pixels_of(out.get()));
    };
    // The work box takes the box's outer size: its client area is 4 pixels smaller.
    EXPECT_EQ(blend(first, 255), solid(26, 16, a));
    EXPECT_EQ(blend(first, 0), solid(26, 16, GetSysColor(COLOR_BTNFACE)));

    ComPtr<IPictureDisp> fused;
    long e = -1;
    ASSERT_EQ(g->PictureFusion(&first, &second, &e, fused.put()), S_OK);
    EXPECT_EQ(e, 0);
    Pixels f = rgb_only(pixels_of(fused.get()));
    ASSERT_EQ(f.w, 26);
    for (int shift : {0, 8, 16}) {
        double ca = a >> shift & 0xFF, cb = b >> shift & 0xFF;
        EXPECT_NEAR(f.at(12, 8) >> shift & 0xFF, ca + (cb - ca) * 100 / 255, 1) << shift;
    }

    // A box without a surface: the blend fails, the error is reported, Nothing.
    ComPtr<HollowBox> hollow = forms::make<HollowBox>();
    IDispatch* h = hollow.get();
    BYTE alpha = 100;
    ComPtr<IPictureDisp> out;
    EXPECT_EQ(g->PictureAlphaBlend(&h, &alpha, &e, out.put()), S_OK);
    EXPECT_EQ(e, 5);
    EXPECT_FALSE(out);
    EXPECT_EQ(errors.count("PictureAlphaBlend"), 1);
    EXPECT_EQ(g->PictureFusion(&first, &h, &e, out.put()), S_OK);
    EXPECT_EQ(e, 5);
    EXPECT_FALSE(out);
    EXPECT_EQ(errors.count("PictureFusion"), 1);
}

TEST_F(GraficTest, TileCoversTheBoxAndRefusesWhatCannotTile) {
    ComPtr<_Forms> forms_class = qmtest::create(L"Quillmark.Forms").query<_Forms>();
    // A 10×10 tile: its left column red, the rest blue.
    ComPtr<IPictureDisp> tile = picture_of(pattern(10, 10, [](long x, long) { return x == 0 ? 0xFF0000u : 0xFFu; }));
    IDispatch* b = box(L"Picture1", 35, 25, tile.get());
    long r = -1;
    ASSERT_EQ(g->PictureBoxTile(&b, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_FALSE(CBool(*late::get(b, L"AutoRedraw").get()));
    Pixels img = rgb_only(image_of(b));
    for (long x : {0L, 10L, 20L, 30L}) EXPECT_EQ(img.at(x, 24), 0xFF0000u) << x;
    for (long x : {9L, 11L, 29L, 34L}) EXPECT_EQ(img.at(x, 21), 0xFFu) << x;

    // Nothing: 91; a tile of no width in the target's scale (inches): 5, target untouched.
    IDispatch* none = nullptr;
    IPictureDisp* t = tile.get();
    EXPECT_EQ(forms_class->Tile(&none, &t, &r), S_OK);
    EXPECT_EQ(r, 91);
    IPictureDisp* no_picture = nullptr;
    EXPECT_EQ(forms_class->Tile(&b, &no_picture, &r), S_OK);
    EXPECT_EQ(r, 91);
    ComPtr<IPictureDisp> dot = picture_of(solid(1, 1, 0));
    t = dot.get();
    late::put(b, L"ScaleMode", v_long(5));
    EXPECT_EQ(forms_class->Tile(&b, &t, &r), S_OK);
    EXPECT_EQ(r, 5);
    EXPECT_FALSE(CBool(*late::get(b, L"AutoRedraw").get()));
    EXPECT_EQ(rgb_only(image_of(b)), img);
}

TEST_F(GraficTest, RotateTurnFlipAndZoomWorkAtThePicturesOwnSize) {
    Pixels in = pattern(200, 150, [](long x, long y) { return static_cast<DWORD>(x | y << 8 | (x * y & 0xFF) << 16); });
    ComPtr<IPictureDisp> pic = picture_of(in);
    for (long degrees : {0L, 360L, -360L})
        EXPECT_EQ(rgb_only(pixels_of(run(&_Grafic::PictureRotate, pic.get(), degrees).get())), in) << degrees;
    EXPECT_EQ(rgb_only(pixels_of(run(&_Grafic::PictureZoom, pic.get(), 0).get())), in);
    Pixels mirrored = pattern(200, 150, [&](long x, long y) { return in.at(199 - x, y); });
    Pixels upside_down = pattern(200, 150, [&](long x, long y) { return in.at(x, 149 - y); });
    EXPECT_EQ(rgb_only(pixels_of(run(&_Grafic::PictureTurn, pic.get(), 180).get())), mirrored);
    EXPECT_EQ(rgb_only(pixels_of(run(&_Grafic::PictureFlip, pic.get(), 180).get())), upside_down);
    // The worker given back and taken again, for pictures of other sizes in turn.
    Pixels tall = pattern(90, 120, [](long x, long y) { return static_cast<DWORD>(x << 16 | y); });
    Pixels tall_mirrored = pattern(90, 120, [&](long x, long y) { return tall.at(89 - x, y); });
    ComPtr<IPictureDisp> tall_pic = picture_of(tall);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(rgb_only(pixels_of(run(&_Grafic::PictureTurn, tall_pic.get(), 180).get())), tall_mirrored);
        EXPECT_EQ(rgb_only(pixels_of(run(&_Grafic::PictureTurn, pic.get(), 180).get())), mirrored);
    }
    struct {
        Effect effect;
        long arg;
    } refused[] = {{&_Grafic::PictureRotate, 361}, {&_Grafic::PictureRotate, -361}, {&_Grafic::PictureTurn, 361},
                   {&_Grafic::PictureFlip, -361},  {&_Grafic::PictureZoom, 42},     {&_Grafic::PictureZoom, -42}};
    long forms_before = thread_forms();
    for (const auto& r : refused) EXPECT_FALSE(run(r.effect, pic.get(), r.arg)) << r.arg;
    EXPECT_EQ(thread_forms(), forms_before);
    EXPECT_EQ(pixels_of(pic.get()), in);
}

TEST_F(GraficTest, MembersAnswerLateBoundInSlotOrder) {
    const wchar_t* names[] = {
        L"Convert_ColorToRGB", L"Convert_ColorToHTML", L"Get_FileIconCount", L"Get_IconFromFile",
        L"Convert_HTMLtoLong", L"PictureToString",     L"PictureCompare",    L"Convert_OLEtoRBG",
        L"Convert_RGBtoLong",  L"Get_RandomizedColor", L"PictureBoxTile",    L"TwipsToPixel",
        L"PixelToTwips",       L"StretchToPicBox",     L"Stretch",           L"PictureToIcon",
        L"vListImage",         L"PictureColor",        L"PictureInvert",     L"PictureRotate",
        L"PictureFlip",        L"PictureTurn",         L"PictureZoom",       L"PictureBrightness",
        L"PictureEmboss",      L"PictureToGray",       L"PictureContrast",   L"PictureGetSize",
        L"PictureFusion",      L"PictureAlphaBlend",   L"GraficToJPG",       L"Get_OnlinePicture",
        L"ComplementarColor"};
    DISPID previous = DISPID_UNKNOWN;
    for (const wchar_t* name : names) {
        LPOLESTR n = const_cast<LPOLESTR>(name);
        DISPID id = DISPID_UNKNOWN;
        ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id), S_OK) << Bstr(name).str();
        if (previous != DISPID_UNKNOWN) {
            EXPECT_GT(id, previous) << Bstr(name).str();
        }
        previous = id;
    }
    // A picture passed by reference as a script passes it.
    Variant picture;
    {
        ComPtr<IPictureDisp> pic = picture_of(solid(4, 3, 0x00FF0000));
        VARIANT v;
        V_VT(&v) = VT_DISPATCH;
        V_DISPATCH(&v) = pic.get();
        picture = Variant(v);
    }
    VARIANT ref = qmtest::v_ref(picture);
    Variant result;
    ASSERT_EQ(qmtest::call(disp.get(), L"PictureToGray", {&ref}, result.put()), S_OK);
    ASSERT_EQ(V_VT(result.get()), VT_DISPATCH);
    ComPtr<IPictureDisp> grey;
    V_DISPATCH(result.get())->QueryInterface(IID_IPictureDisp, grey.put_void());
    EXPECT_EQ(pixels_of(grey.get()), solid(4, 3, channels(56)));
}

// Pictures larger than the library's images: each member's error, at once.
TEST_F(GraficTest, PicturesBeyondTheLibrarysImagesAreRefusedAtOnce) {
    // Metafile pictures claiming w × h pixels, and a real bitmap 40,000 pixels wide.
    auto metafile = [](long side) { return qmtest::metafile_picture(MulDiv(side, 2540, 96), MulDiv(side, 2540, 96)); };
    const auto hr = [](unsigned long code) { return static_cast<HRESULT>(code); };
    const HRESULT overflow = hr(0x800A0006), memory = hr(0x800A0007), size = hr(0x800A017C), image = hr(0x800A01E0);
    struct Case {
        const char* what;
        ComPtr<IPictureDisp> picture;
        HRESULT pixels, transform;  // pixel members and the string; the transforms
    } cases[] = {
        {"50,000 square", metafile(50000), overflow, size},  // width × 4 × height beyond a Long
        {"20,000 square", metafile(20000), memory, image},   // a window fits, its image does not
        {"40,000 x 1", picture_of(solid(40000, 1, 0x00FF0000)), memory, size},
    };
    auto hr_of = [&](Effect effect, IPictureDisp* picture, long arg) {
        IPictureDisp* p = picture;
        ComPtr<IPictureDisp> out;
        const HRESULT hr = (g.get()->*effect)(&p, arg, out.put());
        EXPECT_FALSE(out);
        return hr;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (Effect e : {&_Grafic::PictureBrightness, &_Grafic::PictureEmboss, &_Grafic::PictureContrast,
                         &_Grafic::PictureColor})
            EXPECT_EQ(hr_of(e, c.picture.get(), 0), c.pixels);
        for (Effect e : {&_Grafic::PictureRotate, &_Grafic::PictureFlip, &_Grafic::PictureTurn, &_Grafic::PictureZoom})
            EXPECT_EQ(hr_of(e, c.picture.get(), 30), c.transform);
        IPictureDisp* p = c.picture.get();
        ComPtr<IPictureDisp> out;
        EXPECT_EQ(g->PictureToGray(&p, out.put()), c.pixels);
        EXPECT_EQ(g->PictureInvert(&p, out.put()), c.pixels);
        Bstr text;
        EXPECT_EQ(g->PictureToString(&p, text.put()), c.pixels);
    }
}
