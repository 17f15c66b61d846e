// Controls: the interface's member order, JPEG files of pictures, and the
// picture-box effects (gradient, fading text, scrolling text) on a form of the
// forms engine.
#include <windows.h>
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "controls/jpeg.h"
#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;

namespace {

class PictureForm : public Form {
protected:
    void design() override {
        float top = 0, w = 300 * twips_per_pixel_x(), h = 60 * twips_per_pixel_y();
        auto& box = add<PictureBox>(L"Picture1");
        box.set_border_style(0);
        box.move(0, &top, &w, &h);
        add<Label>(L"Label1");
    }
};

// A bitmap picture of w x h pixels: the left half red, the right half blue, a
// green disc in the middle.
ComPtr<IPictureDisp> two_colour_picture(int w, int h) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT left{0, 0, w / 2, h}, right{w / 2, 0, w, h};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(dc, &left, red);
    FillRect(dc, &right, blue);
    HGDIOBJ brush = SelectObject(dc, CreateSolidBrush(RGB(0, 160, 0)));
    Ellipse(dc, w / 5, h / 5, w - w / 5, h - h / 5);
    DeleteObject(SelectObject(dc, brush));
    DeleteObject(red);
    DeleteObject(blue);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    PICTDESC desc{sizeof(desc), PICTYPE_BITMAP};
    desc.bmp.hbitmap = bitmap;
    ComPtr<IPictureDisp> picture;
    OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void());
    return picture;
}

// A picture's pixels, top-down, as 0x00RRGGBB.
struct Pixels {
    int w = 0, h = 0;
    std::vector<DWORD> px;
    DWORD at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
};
Pixels pixels_of(IPictureDisp* picture) {
    Pixels out;
    ComPtr<IPicture> p;
    if (!picture || FAILED(picture->QueryInterface(IID_IPicture, p.put_void()))) return out;
    OLE_HANDLE handle = 0;
    p->get_Handle(&handle);
    const auto bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof(info), &info)) return out;
    out.w = info.bmWidth, out.h = info.bmHeight;
    out.px.resize(static_cast<size_t>(out.w) * out.h);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), out.w, -out.h, 1, 32, BI_RGB};
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bitmap, 0, out.h, out.px.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    for (auto& c : out.px) c &= 0xFFFFFF;
    return out;
}
int red(DWORD c) { return (c >> 16) & 0xFF; }
int green(DWORD c) { return (c >> 8) & 0xFF; }
int blue(DWORD c) { return c & 0xFF; }

// Forms loaded now with this tag, or with this name when the tag is empty.
long forms_loaded(const wchar_t* name, const wchar_t* tag = L"") {
    long n = 0;
    for (auto& f : forms_collection().snapshot()) n += *tag ? f->tag() == tag : f->name() == name;
    return n;
}

using qmtest::pump_until;

// The library's code in this process, so that its worker forms are in our forms collection.
class PictureTest : public testing::Test {
protected:
    void SetUp() override {
        ctl = shared<_Controls>();
        form = make<PictureForm>();
        form->show();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    PictureBox& box() { return form->get<PictureBox>(L"Picture1"); }
    long save(IPictureDisp* picture, const std::wstring& path, BYTE quality) {
        long r = -1;
        EXPECT_EQ(ctl->PictureBox_SaveJPG(&picture, Bstr(path).get(), quality, &r), S_OK);
        return r;
    }
    _Controls* ctl = nullptr;
    ComPtr<PictureForm> form;
    qmtest::ErrorLog errors{qmtest::ErrorLog::linked};
};

}  // namespace

TEST(ControlsInterface, PictureAndBrowserMembersKeepTheirSlots) {
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibEx(qmtest::registered_dll().c_str(), REGKIND_NONE, lib.put()), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__Controls, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    std::vector<std::wstring> slots(attr->cFuncs);
    for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* fd = nullptr;
        ASSERT_EQ(info->GetFuncDesc(f, &fd), S_OK);
        Bstr name;
        info->GetDocumentation(fd->memid, name.put(), nullptr, nullptr, nullptr);
        const size_t slot = fd->oVft / sizeof(void*) - 7;  // after IDispatch's
        if (slot < slots.size()) slots[slot] = name.str();
        info->ReleaseFuncDesc(fd);
    }
    info->ReleaseTypeAttr(attr);
    std::wstring order;
    size_t own = 0;
    for (const auto& s : slots)
        if (!s.empty()) order += s + L" ", ++own;
    EXPECT_EQ(order.substr(0, order.find(L" OptionButton_GetIndex ")).substr(order.find(L"Flex_Autosize ")),
              L"Flex_Autosize PictureBox_FadingText Label_GetTextDimensions PictureBox_ScrollText PictureBox_Fade "
              L"PictureBox_SaveJPG");
    EXPECT_NE(order.find(L" Control_AutoSizeByText WebBrowser_InsertText WebBrowser_Clear WebBrowser_GetSource "
                         L"Control_SetToStatusBar "),
              std::wstring::npos);
    EXPECT_EQ(order.find(L"TextBox_AllowNumOnly "), 0u);
    EXPECT_EQ(own, 72u);
}

TEST_F(PictureTest, SaveJpgWritesALoadableFileOrTheReason) {
    ComPtr<IPictureDisp> picture = two_colour_picture(64, 48);
    const std::wstring dir = qmtest::scratch() + L"jpeg\\";
    CreateDirectoryW(dir.c_str(), nullptr);

    // Quality 75 and the default 255 (taken as 100) both write a JPEG of the picture's size.
    for (BYTE quality : {BYTE{75}, BYTE{255}}) {
        const std::wstring path = dir + L"q" + std::to_wstring(quality) + L".jpg";
        DeleteFileW(path.c_str());
        EXPECT_EQ(save(picture.get(), path, quality), 0) << quality;
        EXPECT_EQ(qmtest::read_bytes(path).substr(0, 3), "\xFF\xD8\xFF") << quality;
        ComPtr<IPictureDisp> back = forms::load_picture(path);
        ASSERT_TRUE(back) << quality;
        const Pixels loaded = pixels_of(back.get());
        EXPECT_EQ(loaded.w * 1000 + loaded.h, 64048) << quality;
    }

    // A picture without a bitmap, a target in a missing folder: nothing written, logged.
    ComPtr<IPictureDisp> empty;
    PICTDESC none{sizeof(none), PICTYPE_NONE};
    ASSERT_EQ(OleCreatePictureIndirect(&none, IID_IPictureDisp, TRUE, empty.put_void()), S_OK);
    const std::wstring nothing = dir + L"none.jpg", missing = dir + L"missing\\x.jpg";
    DeleteFileW(nothing.c_str());
    EXPECT_EQ(save(empty.get(), nothing, 75), 481);
    EXPECT_FALSE(qmtest::exists(nothing));
    EXPECT_TRUE(errors.has("PictureSaveJPG", 481));
    EXPECT_EQ(save(picture.get(), missing, 75), 75);
    EXPECT_TRUE(errors.has("PictureSaveJPG", 75));
    // A bitmap with a side beyond the library's images: refused before encoding.
    for (const SIZE side : {SIZE{40000, 1}, SIZE{1, 40000}}) {
        EXPECT_EQ(save(two_colour_picture(side.cx, side.cy).get(), nothing, 75), 480) << side.cx;
        EXPECT_FALSE(qmtest::exists(nothing));
    }
    EXPECT_TRUE(errors.has("PictureSaveJPG", 480));
}

TEST_F(PictureTest, JpegQualityTakesEffectWhereAnEncoderHonoursIt) {
    ComPtr<IPictureDisp> picture = two_colour_picture(96, 64);
    // Edges make the quality show in the size.
    const std::wstring low = qmtest::scratch() + L"q10.jpg", high = qmtest::scratch() + L"q90.jpg";
    ASSERT_EQ(save(picture.get(), low, 10), 0);
    ASSERT_EQ(save(picture.get(), high, 90), 0);
    const bool smaller = qmtest::read_bytes(low).size() < qmtest::read_bytes(high).size();
    EXPECT_EQ(smaller, jpeg::choice().quality_honoured);

    // Both encoders make JPEG data of a bitmap, and refuse what is no bitmap.
    ComPtr<IPicture> p;
    picture->QueryInterface(IID_IPicture, p.put_void());
    OLE_HANDLE handle = 0;
    p->get_Handle(&handle);
    const auto bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    for (auto encoder : {jpeg::Encoder::GdiPlus, jpeg::Encoder::Wic}) {
        EXPECT_EQ(jpeg::encode(bitmap, 50, encoder).substr(0, 3), "\xFF\xD8\xFF");
        EXPECT_EQ(qmtest::error_of([&] { jpeg::encode(nullptr, 50, encoder); }), 481);
    }
}

TEST_F(PictureTest, FadeAndScrollText) {
    // The gradient runs from the first colour in the top row to the second in the bottom row.
    IDispatch* b = &box();
    long r = -1;
    ASSERT_EQ(ctl->PictureBox_Fade(&b, RGB(255, 0, 0), RGB(0, 0, 255), &r), S_OK);
    EXPECT_EQ(r, 0);
    const Pixels faded = pixels_of(box().surface()->image().get());
    ASSERT_GT(faded.h, 2);
    EXPECT_EQ(faded.at(faded.w / 2, 0), 0xFF0000u);
    EXPECT_EQ(faded.at(faded.w / 2, faded.h - 1) & 0xF0F0F0, 0x0000F0u);

    // A label is no picture box: the scroll does not start and leaves no form.
    IDispatch* label = form->control(L"Label1");
    RGBCOLOR colour = rgGREEN;
    ASSERT_EQ(ctl->PictureBox_ScrollText(&label, Bstr(L"eins").get(), &colour, &r), S_OK);
    EXPECT_NE(r, 0);
    EXPECT_EQ(forms_loaded(L"frmCredits"), 0);

    // On the box it runs on after the call, and ends when the box's form goes.
    ASSERT_EQ(ctl->PictureBox_ScrollText(&b, Bstr(L"eins\r\nzwei\r\ndrei").get(), &colour, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(forms_loaded(L"", L"PictureBox_ScrollText"), 1);
    static PictureForm* host = nullptr;
    static std::vector<std::vector<DWORD>> frames;
    host = form.get();
    frames.clear();
    // The scroll runs inside its timer event: a thread timer looks at the box from inside it.
    const UINT_PTR look = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
        if (!host->loaded()) return;
        frames.push_back(pixels_of(host->get<PictureBox>(L"Picture1").surface()->image().get()).px);
        if (frames.size() == 4) host->unload();
    });
    EXPECT_TRUE(pump_until([&] { return !form->loaded() && forms_loaded(L"frmCredits") == 0; }));
    KillTimer(nullptr, look);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_NE(frames[0], frames[3]);
}

TEST_F(PictureTest, FadingTextFillsTheLettersWithTheGradient) {
    IDispatch* b = &box();
    long r = -1;
    ComPtr<IFontDisp> font;
    ASSERT_EQ(ctl->PictureBox_FadingText(&b, Bstr(L"Hgjy").get(), RGB(255, 0, 0), RGB(0, 0, 255), font.put(), &r),
              S_OK);
    ASSERT_EQ(r, 0);
    EXPECT_EQ(forms_loaded(L"", L"PictureBox_FadingText"), 0);

    // The default font comes back to the caller.
    ASSERT_TRUE(font);
    ComPtr<IFont> f = font.query<IFont>();
    Bstr name;
    CY size{};
    BOOL bold = FALSE;
    f->get_Name(name.put());
    f->get_Size(&size);
    f->get_Bold(&bold);
    EXPECT_EQ(name.str(), L"Times New Roman");
    EXPECT_EQ(size.int64, 360000);
    EXPECT_TRUE(bold);

    // Letters take the gradient's colour where they stand (red at the top, blue at
    // the bottom); everything beyond the text is the result surface's background.
    const Pixels out = pixels_of(late::object(late::get(b, L"Picture")).query<IPictureDisp>().get());
    ASSERT_GT(out.h, 40);
    const DWORD background = out.at(out.w - 1, 0);
    EXPECT_GT(green(background), 0x40);  // no gradient colour
    int top = 0, bottom = 0, stray = 0;
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x) {
            const DWORD c = out.at(x, y);
            stray += x >= out.w / 2 && c != background;
            if (green(c) > 0x10 || red(c) + blue(c) < 0xC0) continue;  // not a gradient colour
            if (y < out.h / 3) top += red(c) > blue(c) ? 1 : -1000;
            if (y > out.h * 2 / 3) bottom += blue(c) > red(c) ? 1 : -1000;
        }
    EXPECT_EQ(stray, 0);
    EXPECT_GT(top, 0);
    EXPECT_GT(bottom, 0);

    // A font given is used and stays the caller's.
    FONTDESC desc{sizeof(desc), const_cast<LPOLESTR>(L"Arial"), {}, FW_NORMAL, ANSI_CHARSET, FALSE, FALSE, FALSE};
    desc.cySize.int64 = 10 * 10000;
    ComPtr<IFontDisp> small;
    ASSERT_EQ(OleCreateFontIndirect(&desc, IID_IFontDisp, small.put_void()), S_OK);
    IFontDisp* given = small.get();
    ASSERT_EQ(ctl->PictureBox_FadingText(&b, Bstr(L"Hgjy").get(), RGB(255, 0, 0), RGB(0, 0, 255), &given, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(given, small.get());
    const Pixels smaller = pixels_of(late::object(late::get(b, L"Picture")).query<IPictureDisp>().get());
    int lowest = 0;
    for (int y = 0; y < smaller.h; ++y)
        for (int x = 0; x < smaller.w; ++x)
            if (smaller.at(x, y) != smaller.at(smaller.w - 1, 0)) lowest = y;
    EXPECT_LT(lowest, out.h / 2);

    // A target without a scale: the error, logged, and no worker form left.
    IDispatch* label = form->control(L"Label1");
    ASSERT_EQ(ctl->PictureBox_FadingText(&label, Bstr(L"x").get(), 0, 255, &given, &r), S_OK);
    EXPECT_EQ(r, 438);
    EXPECT_TRUE(errors.has("PictureBox_FadingText", 438));
    EXPECT_EQ(forms_loaded(L"", L"PictureBox_FadingText"), 0);
}
