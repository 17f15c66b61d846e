// Grafic: icons of files, icon-sized pictures, the image list, picture strings
// and comparison, picture file sizes, pictures from a URL or path and JPEG
// export. The classes are the test program's own (the image list's form is
// then found in this program's forms); the icon library and icon files are the
// tests' build's, the web server the loopback one of the test's run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "frame/classes.h"
#include "frame/shared.h"
#include "grafic_support.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "support.h"

using namespace qm;
using namespace grafictest;

namespace {

std::wstring env(const wchar_t* name) {
    wchar_t value[512] = {};
    DWORD n = GetEnvironmentVariableW(name, value, 512);
    return std::wstring(value, n < 512 ? n : 0);
}

std::wstring test_folder() {
    wchar_t path[MAX_PATH];
    const std::wstring p(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

template <class Itf>
ComPtr<Itf> make_class() {
    ComPtr<Itf> object;
    find_class_by_interface(__uuidof(Itf))->create(__uuidof(Itf), object.put_void());
    return object;
}

constexpr HRESULT kNoSuchElement = static_cast<HRESULT>(0x800A0154);  // 340
const DWORD kBackground = GetSysColor(COLOR_BTNFACE);
const DWORD kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// 0x00RRGGBB as the system's COLORREF and back.
DWORD rgb(COLORREF c) { return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c); }

class GraficPicturesTest : public testing::Test {
protected:
    void SetUp() override {
        g = make_class<_Grafic>();
        ASSERT_TRUE(g);
    }
    // A BMP file of these pixels in the scratch folder.
    std::wstring bmp_file(const std::wstring& name, const Pixels& p) {
        std::wstring path = qmtest::scratch() + name;
        forms::save_picture(picture_of(p).get(), path);
        return path;
    }
    bool same(IPictureDisp* a, IPictureDisp* b) {
        VARIANT_BOOL equal = VARIANT_FALSE;
        EXPECT_EQ(g->PictureCompare(&a, &b, &equal), S_OK);
        return equal == VARIANT_TRUE;
    }
    ComPtr<_Grafic> g;
    qmtest::ErrorLog errors{qmtest::ErrorLog::linked};
};

// --- icons ------------------------------------------------------------------------------

TEST_F(GraficPicturesTest, IconsOfAFileAreCountedAndDrawnAtTheWorkBoxTopLeft) {
    const std::wstring dll = test_folder() + L"qmicons.dll", ico = test_folder() + L"qmicon1.ico";
    struct {
        std::wstring file;
        long count;
    } counts[] = {{dll, 3}, {ico, 1}};
    for (const auto& c : counts) {
        long n = -9;
        ASSERT_EQ(g->Get_FileIconCount(Bstr(c.file).get(), &n), S_OK);
        EXPECT_EQ(n, c.count) << Bstr(c.file).str();
    }
    struct {
        std::wstring file;
        long number;
        long error;
        DWORD colour;  // of the icon's lower right quarter; 0: no picture
    } icons[] = {{dll, 0, 0, kRed},  {dll, 2, 0, kBlue},      {ico, 0, 0, kRed},
                 {dll, 3, -1, 0},    {ico, 1, -1, 0},         {qmtest::scratch() + L"none.ico", 0, -2, 0}};
    for (const auto& c : icons) {
        long error = 99;
        ComPtr<IPictureDisp> pic;
        ASSERT_EQ(g->Get_IconFromFile(Bstr(c.file).get(), c.number, &error, pic.put()), S_OK);
        EXPECT_EQ(error, c.error) << c.number;
        ASSERT_EQ(static_cast<bool>(pic), c.colour != 0) << c.number;
        if (!pic) continue;
        Pixels p = rgb_only(pixels_of(pic.get()));
        EXPECT_EQ(p.w, 101);
        EXPECT_EQ(p.h, 61);
        EXPECT_EQ(p.at(3, 3), kWhite);
        EXPECT_EQ(p.at(24, 24), c.colour);
        EXPECT_EQ(p.at(60, 40), rgb(kBackground));
    }
    // A file name the code page holds only as a look-alike names that file.
    for (const qmtest::HostileChar& c : qmtest::kHostileChars) {
        const std::wstring odd = qmtest::scratch() + L"icons " + c.text + L".dll";
        ASSERT_TRUE(CopyFileW(dll.c_str(), odd.c_str(), FALSE));
        long n = -9, error = 99;
        ComPtr<IPictureDisp> pic;
        ASSERT_EQ(g->Get_FileIconCount(Bstr(odd).get(), &n), S_OK);
        ASSERT_EQ(g->Get_IconFromFile(Bstr(odd).get(), 2, &error, pic.put()), S_OK);
        EXPECT_EQ(n, 3) << c.label;
        EXPECT_EQ(error, 0) << c.label;
        EXPECT_TRUE(pic && rgb_only(pixels_of(pic.get())).at(24, 24) == kBlue) << c.label;
    }
    EXPECT_EQ(errors.count("Get_IconFromFile"), 0);
}

TEST_F(GraficPicturesTest, PictureToIconStretchesToTheIconSize) {
    ComPtr<IPictureDisp> pic = picture_of(solid(40, 30, kGreen));
    struct {
        IconSize size;
        long side;
    } sizes[] = {{is16x16, 16}, {is32x32, 32}, {is48x48, 48}};
    for (auto c : sizes) {
        IPictureDisp* p = pic.get();
        ComPtr<IPictureDisp> icon;
        ASSERT_EQ(g->PictureToIcon(&p, &c.size, icon.put()), S_OK);
        EXPECT_EQ(rgb_only(pixels_of(icon.get())), solid(c.side, c.side, kGreen)) << c.side;
    }
}

// --- the image list ------------------------------------------------------------------------

class ImageList {
public:
    explicit ImageList(_Grafic* g) : g_(g) {}
    HRESULT run(vImageListCommand command, long& index, IPictureDisp** picture = nullptr,
                vImageListNfo dimension = viBYPICTURE, ComPtr<IPictureDisp>* out = nullptr) {
        ComPtr<IPictureDisp> result;
        HRESULT hr = g_->vListImage(&command, &index, picture, &dimension, result.put());
        if (out) *out = result;
        return hr;
    }
    long add(IPictureDisp* picture, vImageListNfo dimension = viBYPICTURE) {
        long index = -9;
        EXPECT_EQ(run(viADD, index, &picture, dimension), S_OK);
        return index;
    }
    long count() {
        long n = -9;
        EXPECT_EQ(run(viITEMCOUNT, n), S_OK);
        return n;
    }
    ComPtr<IPictureDisp> get(long index) {
        ComPtr<IPictureDisp> out;
        EXPECT_EQ(run(viGET, index, nullptr, viBYPICTURE, &out), S_OK);
        return out;
    }

private:
    _Grafic* g_;
};

long list_form_index() {
    IDispatch* all = &forms::forms_collection();
    IDispatch* found = nullptr;
    FormOption by = ffFormTag;
    long index = -9;
    shared<_Forms>()->Find_Form(&all, Bstr(L"vListImage").get(), &by, &found, nullptr, nullptr, &index);
    if (found) found->Release();
    return index;
}

TEST_F(GraficPicturesTest, TheImageListIsSharedKeepsItsOrderAndEndsWhenEmpty) {
    ComPtr<IPictureDisp> a = picture_of(solid(8, 8, kRed)), b = picture_of(solid(8, 8, kGreen)),
                         c = picture_of(solid(8, 8, kBlue));
    ImageList list(g.get());
    ComPtr<_Grafic> other = make_class<_Grafic>();
    ImageList seen(other.get());
    EXPECT_EQ(list.add(a.get()), 0);
    EXPECT_EQ(list.add(b.get()), 1);
    EXPECT_EQ(list.add(c.get()), 2);
    EXPECT_EQ(seen.count(), 3);
    EXPECT_TRUE(same(seen.get(1).get(), b.get()));
    // Indices outside the list change nothing.
    for (long bad : {3L, 5L, -1L}) {
        long i = bad;
        EXPECT_EQ(list.run(viDELETE, i), kNoSuchElement) << bad;
        i = bad;
        EXPECT_EQ(list.run(viGET, i), kNoSuchElement) << bad;
    }
    EXPECT_EQ(list.count(), 3);
    long first = 0;
    ASSERT_EQ(list.run(viDELETE, first), S_OK);
    EXPECT_EQ(list.count(), 2);
    EXPECT_TRUE(same(list.get(0).get(), b.get()));
    EXPECT_TRUE(same(list.get(1).get(), c.get()));
    for (long i : {1L, 0L}) ASSERT_EQ(list.run(viDELETE, i), S_OK);
    EXPECT_EQ(list_form_index(), -1);

    // A new list; the client's variable takes the stretched picture.
    IPictureDisp* variable = a.get();
    variable->AddRef();
    long index = -9;
    ASSERT_EQ(list.run(viADD, index, &variable, vi16x16), S_OK);
    ComPtr<IPictureDisp> stretched = ComPtr<IPictureDisp>::attach(variable);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(rgb_only(pixels_of(stretched.get())), solid(16, 16, kRed));
    EXPECT_TRUE(same(list.get(0).get(), stretched.get()));
    long none = 0;
    ASSERT_EQ(list.run(viCLEAR, none), S_OK);
    EXPECT_EQ(list_form_index(), -1);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list_form_index(), -1);
}

// --- picture strings --------------------------------------------------------------------

TEST_F(GraficPicturesTest, PictureStringsHoldTheWholePictureTopRowFirst) {
    Pixels in = pattern(30, 20, [](long x, long y) { return static_cast<DWORD>(x * 4 | y * 4 << 8 | 0x400000); });
    ComPtr<IPictureDisp> pic = picture_of(in);
    IPictureDisp* p = pic.get();
    Bstr text;
    ASSERT_EQ(g->PictureToString(&p, text.put()), S_OK);
    std::wstring_view s = text.view();
    ASSERT_EQ(s.size(), 10u + 30 * 20 * 4);
    EXPECT_EQ(s.substr(0, 10), std::wstring_view(L"\x14\0\0\0\x1e\0\0\0\x04\0", 10));
    const std::pair<long, long> points[] = {{0, 0}, {29, 0}, {7, 13}, {29, 19}};
    for (auto [x, y] : points) {
        const size_t at = 10 + static_cast<size_t>(y * 30 + x) * 4;
        EXPECT_EQ(s[at], static_cast<wchar_t>(in.at(x, y) & 0xFF)) << x << "," << y;
        EXPECT_EQ(s[at + 1], static_cast<wchar_t>(in.at(x, y) >> 8 & 0xFF)) << x << "," << y;
    }

    // Every byte value becomes the code page's character for it, 0x80 to 0x9F
    // included (three bytes of each pixel carry the values).
    Pixels bytes = pattern(90, 1, [](long x, long) {
        return static_cast<DWORD>((3 * x & 0xFF) | (3 * x + 1 & 0xFF) << 8 | (3 * x + 2 & 0xFF) << 16);
    });
    pic = picture_of(bytes);
    p = pic.get();
    ASSERT_EQ(g->PictureToString(&p, text.put()), S_OK);
    s = text.view();
    ASSERT_EQ(s.size(), 10u + 90 * 4);
    for (long x = 0; x < 90; ++x)
        for (long c = 0; c < 3; ++c) {
            const char byte = static_cast<char>(3 * x + c);
            wchar_t expected = 0;
            MultiByteToWideChar(CP_ACP, 0, &byte, 1, &expected, 1);
            EXPECT_EQ(s[10 + 4 * x + c], expected) << 3 * x + c;
        }

    // A picture larger than the work box compares by all of its pixels.
    Pixels big = pattern(200, 200, [](long x, long y) { return static_cast<DWORD>(x | y << 8); });
    Pixels changed = big;
    changed.px[150 * 200 + 150] ^= 0x010000;
    ComPtr<IPictureDisp> one = picture_of(big), copy = picture_of(big), other = picture_of(changed);
    p = one.get();
    ASSERT_EQ(g->PictureToString(&p, text.put()), S_OK);
    EXPECT_EQ(text.view().size(), 10u + 200 * 200 * 4);
    EXPECT_TRUE(same(one.get(), one.get()));
    EXPECT_TRUE(same(one.get(), copy.get()));
    EXPECT_FALSE(same(one.get(), other.get()));
}

// --- sizes, online pictures, JPEG ---------------------------------------------------------

TEST_F(GraficPicturesTest, PictureGetSizeMeasuresFilesAndReportsWhatItCannotLoad) {
    const std::wstring text = qmtest::scratch() + L"picture.txt";
    qmtest::write_bytes(text, "no picture here\r\n");
    struct {
        std::wstring file;
        long height, width, error, logged;
    } cases[] = {{bmp_file(L"size.bmp", solid(100, 50, kBlue)), 50, 100, 0, 0},
                 {qmtest::scratch() + L"missing.bmp", -1, -1, 53, 1},
                 {text, -1, -1, 481, 2}};
    for (const auto& c : cases) {
        long error = -9;
        CONTROLDIMENSIONS size{};
        ASSERT_EQ(g->PictureGetSize(Bstr(c.file).get(), &error, &size), S_OK);
        EXPECT_EQ(size.Height, c.height) << Bstr(c.file).str();
        EXPECT_EQ(size.Width, c.width) << Bstr(c.file).str();
        EXPECT_EQ(error, c.error) << Bstr(c.file).str();
        EXPECT_EQ(errors.count("PictureGetSize"), c.logged) << Bstr(c.file).str();
    }
}

TEST_F(GraficPicturesTest, OnlinePicturesLoadFromTheWebAndFromPaths) {
    Pixels in = pattern(100, 50, [](long x, long y) { return static_cast<DWORD>(x << 16 | y * 5); });
    const std::wstring root = env(L"QM_SERVER_ROOT"), port = env(L"QM_HTTP_PORT");
    ASSERT_FALSE(port.empty());
    forms::save_picture(picture_of(in).get(), root + L"files\\online.bmp");
    for (const std::wstring& source :
         {L"http://127.0.0.1:" + port + L"/files/online.bmp", bmp_file(L"local.bmp", in)}) {
        ComPtr<IPictureDisp> pic;
        ASSERT_EQ(g->Get_OnlinePicture(Bstr(source).get(), pic.put()), S_OK);
        ASSERT_TRUE(pic) << Bstr(source).str();
        EXPECT_EQ(rgb_only(pixels_of(pic.get())), in) << Bstr(source).str();
    }
    const std::wstring failing[] = {L"http://127.0.0.1:1/files/online.bmp", qmtest::scratch() + L"none.bmp"};
    for (const std::wstring& source : failing) {
        ComPtr<IPictureDisp> pic;
        ASSERT_EQ(g->Get_OnlinePicture(Bstr(source).get(), pic.put()), S_OK);
        EXPECT_FALSE(pic) << Bstr(source).str();
    }
    EXPECT_EQ(errors.text(), "<missing>");
}

TEST_F(GraficPicturesTest, GraficToJPGWritesRealJpegFilesAndReportsWhatItCannot) {
    Pixels in = pattern(120, 80, [](long x, long y) { return static_cast<DWORD>(x * 2 << 16 | y * 3 << 8 | 0x40); });
    const std::wstring source = bmp_file(L"source.bmp", in), target = qmtest::scratch() + L"target.jpg";
    DeleteFileW(target.c_str());
    auto to_jpg = [&](const std::wstring& from, const std::wstring& to, BYTE quality) {
        BSTR file = SysAllocString(to.c_str());
        long r = -9;
        EXPECT_EQ(g->GraficToJPG(Bstr(from).get(), &file, quality, &r), S_OK);
        SysFreeString(file);
        return r;
    };
    EXPECT_EQ(to_jpg(source, target, 255), 0);  // the quality a client omits
    EXPECT_EQ(qmtest::read_bytes(target).substr(0, 2), "\xFF\xD8");
    Pixels back = rgb_only(pixels_of(forms::load_picture(target).get()));
    ASSERT_EQ(back.w, 120);
    ASSERT_EQ(back.h, 80);
    double error = 0;
    for (size_t i = 0; i < in.px.size(); ++i)
        for (int shift : {0, 8, 16})
            error += std::abs(int(in.px[i] >> shift & 0xFF) - int(back.px[i] >> shift & 0xFF));
    EXPECT_LT(error / (in.px.size() * 3), 6.0);

    struct {
        std::wstring source, target;
        long result, logged;
    } refused[] = {{source, qmtest::scratch() + L"no folder\\target.jpg", 75, 0},
                   {qmtest::scratch() + L"missing.bmp", qmtest::scratch() + L"never.jpg", 53, 1}};
    for (const auto& c : refused) {
        EXPECT_EQ(to_jpg(c.source, c.target, 75), c.result) << Bstr(c.target).str();
        EXPECT_FALSE(qmtest::exists(c.target)) << Bstr(c.target).str();
        EXPECT_EQ(errors.count("GraficToJPG"), c.logged) << Bstr(c.target).str();
    }
}

}  // namespace
