// RTF on a form with a rich-text box, a plain multi-line text box and a label;
// formats are read back with EM_GETCHARFORMAT.
#include <gtest/gtest.h>

#include <windows.h>
#include <richedit.h>
#include <richole.h>

#include <climits>
#include <string>
#include <utility>

#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/hosted.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "recorder.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;

namespace {

class RtfForm : public Form {
protected:
    void design() override {
        auto& rich = add<RichTextBox>(L"Rich1");
        rich.set_width(6000);
        rich.set_height(2000);
        auto& box = add<TextBox>(L"Text1");
        box.set_multi_line(true);
        box.set_top(2200);
        box.set_width(6000);
        box.set_height(1500);
        add<Label>(L"Label1");
    }
};

constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kYellow = RGB(255, 255, 0);

class RtfTest : public testing::Test {
protected:
    void SetUp() override {
        rtf = qmtest::create(L"Quillmark.RTF").query<_RTF>();
        ASSERT_TRUE(rtf);
        form = make<RtfForm>();
        form->set_width(7000);
        form->set_height(4500);
        form->show();
        rich = form->control(L"Rich1");
        box = form->control(L"Text1");
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    static HWND hwnd(IDispatch* d) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(d, L"hWnd")))); }
    static void set(IDispatch* d, const wchar_t* name, long v) { late::put(d, name, Variant(v)); }
    static void set_text(IDispatch* d, const std::wstring& t) { late::put(d, L"Text", Variant(t)); }
    static std::wstring text(IDispatch* d) { return CStr(late::get(d, L"Text")); }
    static long get(IDispatch* d, const wchar_t* name) { return CLng(late::get(d, name)); }
    static void select(IDispatch* d, long start, long length) {
        set(d, L"SelStart", start);
        set(d, L"SelLength", length);
    }
    // The format of the characters [start, start + length) of the rich-text box.
    CHARFORMAT2W format(long start, long length) {
        CHARRANGE keep{}, r{start, start + length};
        SendMessageW(hwnd(rich), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&keep));
        SendMessageW(hwnd(rich), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
        CHARFORMAT2W cf{};
        cf.cbSize = sizeof(cf);
        SendMessageW(hwnd(rich), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
        SendMessageW(hwnd(rich), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&keep));
        return cf;
    }
    bool fore_is(long start, long length, COLORREF c) {
        CHARFORMAT2W cf = format(start, length);
        return (cf.dwMask & CFM_COLOR) && !(cf.dwEffects & CFE_AUTOCOLOR) && cf.crTextColor == c;
    }
    bool back_is(long start, long length, COLORREF c) {
        CHARFORMAT2W cf = format(start, length);
        return (cf.dwMask & CFM_BACKCOLOR) && !(cf.dwEffects & CFE_AUTOBACKCOLOR) && cf.crBackColor == c;
    }
    bool colorize(const wchar_t* word, long fore, long back = -1, bool any_case = true, bool whole = true) {
        VARIANT_BOOL r = VARIANT_FALSE;
        long e = -1;
        EXPECT_EQ(rtf->ColorizeWords(rich, Bstr(word).get(), fore, back, any_case ? VARIANT_TRUE : VARIANT_FALSE,
                                     whole ? VARIANT_TRUE : VARIANT_FALSE, &e, &r),
                  S_OK);
        EXPECT_EQ(e, 0);
        return r != VARIANT_FALSE;
    }
    long operation(IDispatch* d, TextBoxOperation op, const wchar_t* with = L"") {
        long r = -1;
        EXPECT_EQ(rtf->RTF_Operation(d, &op, Bstr(with).get(), &r), S_OK);
        return r;
    }

    ComPtr<_RTF> rtf;
    ComPtr<RtfForm> form;
    IDispatch* rich = nullptr;
    IDispatch* box = nullptr;
    qmtest::ErrorLog errors;
};

TEST_F(RtfTest, AddColoredTextColoursExactlyTheInsertedText) {
    set_text(rich, L"hello world");
    select(rich, 5, 0);
    VARIANT_BOOL r = VARIANT_FALSE;
    long e = -1;
    ASSERT_EQ(rtf->AddColoredText(rich, Bstr(L" big").get(), kRed, &e, &r), S_OK);
    EXPECT_TRUE(r);
    EXPECT_EQ(text(rich), L"hello big world");
    EXPECT_TRUE(fore_is(5, 4, kRed));
    EXPECT_FALSE(fore_is(4, 1, kRed));
    EXPECT_FALSE(fore_is(9, 1, kRed));
    EXPECT_EQ(get(rich, L"SelStart"), 9);
    EXPECT_EQ(get(rich, L"SelLength"), 0);
}

TEST_F(RtfTest, LinesAndCaretOnBothBoxes) {
    // Long lines stay whole on screen.
    SendMessageW(hwnd(rich), EM_SETTARGETDEVICE, 0, 1);
    const std::wstring long_line(300, L'x');
    for (IDispatch* d : {rich, box}) {
        SCOPED_TRACE(late::type_name(d));
        long e = -1, n = 0;
        set_text(d, long_line + L"\r\nab\r\nc");
        ASSERT_EQ(rtf->Get_LineCount(d, &e, &n), S_OK);
        EXPECT_EQ(n, 3);
        Bstr line;
        ASSERT_EQ(rtf->Get_Line(d, 1, &e, line.put()), S_OK);
        EXPECT_EQ(std::wstring(line.view()), long_line.substr(0, 256));
        ASSERT_EQ(rtf->Get_Line(d, 9, &e, line.put()), S_OK);
        EXPECT_EQ(std::wstring(line.view()), L"");
        EXPECT_EQ(e, 0);
        // No line number wraps round to line 1: beyond the 16-bit index, 6.
        for (auto [number, error] : {std::pair{0L, 0L}, {65537L, 6L}, {LONG_MAX, 6L}, {LONG_MIN, 6L}}) {
            ASSERT_EQ(rtf->Get_Line(d, number, &e, line.put()), S_OK);
            EXPECT_EQ(std::wstring(line.view()), L"") << number;
            EXPECT_EQ(e, error) << number;
        }

        set_text(d, L"ab\r\nc");
        QM_CURSORINFO at{};
        select(d, 0, 0);
        ASSERT_EQ(rtf->Get_CursorPos(d, &e, &at), S_OK);
        EXPECT_EQ(at.CULOMN, 1);
        EXPECT_EQ(at.Row, 1);
        select(d, static_cast<long>(text(d).size()), 0);
        ASSERT_EQ(rtf->Get_CursorPos(d, &e, &at), S_OK);
        EXPECT_EQ(at.CULOMN, 2);
        EXPECT_EQ(at.Row, 2);
    }
}

TEST_F(RtfTest, TextDimensionsInTheParentsFont) {
    form->set_font_size(14);
    set_text(rich, L"Wide text\r\nand a second line");
    RTFCONTROLDIMENSIONS d{};
    long e = -1;
    ASSERT_EQ(rtf->Get_TextDimensions(rich, &e, &d), S_OK);
    EXPECT_EQ(e, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, form->hfont());
    RECT r{};
    const std::wstring t = text(rich);
    DrawTextW(dc, t.c_str(), -1, &r, DT_CALCRECT);
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_EQ(d.Width, r.right);
    EXPECT_EQ(d.Height, r.bottom);
    EXPECT_GT(d.Height, 0);
}

TEST_F(RtfTest, OperationsOnBothBoxes) {
    for (IDispatch* d : {rich, box}) {
        SCOPED_TRACE(late::type_name(d));
        set_text(d, L"one two");
        select(d, 0, 4);
        EXPECT_EQ(operation(d, tbCUT), 0);
        EXPECT_EQ(text(d), L"two");
        EXPECT_EQ(clipboard_get_text(), L"one ");
        select(d, 3, 0);
        EXPECT_EQ(operation(d, tbPASTE), 0);
        EXPECT_EQ(text(d), L"twoone ");
        select(d, 0, 3);
        EXPECT_EQ(operation(d, tbCOPY), 0);
        EXPECT_EQ(clipboard_get_text(), L"two");

        set_text(d, L"keep me");
        SendMessageW(hwnd(d), EM_EMPTYUNDOBUFFER, 0, 0);
        select(d, 5, 2);
        EXPECT_EQ(operation(d, tbREPLACE, L"\x00e4u"), 0);
        EXPECT_EQ(text(d), L"keep \x00e4u");
        EXPECT_EQ(operation(d, tbUNDO), 0);
        EXPECT_EQ(text(d), L"keep me");
        EXPECT_EQ(operation(d, static_cast<TextBoxOperation>(9)), 0);
        EXPECT_EQ(text(d), L"keep me");
    }
}

TEST_F(RtfTest, SelectionColours) {
    set_text(rich, L"abcdef");
    select(rich, 1, 2);
    long r = 9;
    ASSERT_EQ(rtf->SetSelForeColor(rich, kBlue, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(get(rich, L"SelStart"), 3);
    EXPECT_EQ(get(rich, L"SelLength"), 0);
    // Typing goes on in the old colour (before anything moves the caret).
    SendMessageW(hwnd(rich), WM_CHAR, L'Z', 0);
    ASSERT_EQ(text(rich), L"abcZdef");
    EXPECT_TRUE(fore_is(1, 2, kBlue));
    EXPECT_FALSE(fore_is(0, 1, kBlue));
    EXPECT_FALSE(fore_is(3, 1, kBlue));

    select(rich, 5, 0);
    ASSERT_EQ(rtf->SetSelForeColor(rich, kRed, &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_FALSE(fore_is(0, 7, kRed));
    EXPECT_EQ(get(rich, L"SelStart"), 5);

    select(rich, 0, 2);
    ASSERT_EQ(rtf->SetSelBackColor(rich, static_cast<long>(0x8000000F), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(back_is(0, 2, GetSysColor(COLOR_BTNFACE)));
}

TEST_F(RtfTest, ColorizeWords) {
    set_text(rich, L"cat cats concat cat.");
    select(rich, 2, 0);
    // The box gets its notifications and its visibility back.
    const LRESULT events = SendMessageW(hwnd(rich), EM_GETEVENTMASK, 0, 0);
    const BOOL visible = IsWindowVisible(hwnd(rich));
    EXPECT_TRUE(colorize(L"cat", kRed));
    EXPECT_EQ(SendMessageW(hwnd(rich), EM_GETEVENTMASK, 0, 0), events);
    EXPECT_EQ(IsWindowVisible(hwnd(rich)), visible);
    EXPECT_TRUE(fore_is(0, 3, kRed));
    for (long at : {4, 12, 16}) EXPECT_FALSE(fore_is(at, 3, kRed)) << at;
    EXPECT_EQ(get(rich, L"SelStart"), 2);

    EXPECT_TRUE(colorize(L"CAT", kBlue, -1, true, false));
    for (long at : {0, 4, 12, 16}) EXPECT_TRUE(fore_is(at, 3, kBlue)) << at;
    EXPECT_EQ(get(rich, L"SelStart"), 2);
    EXPECT_EQ(get(rich, L"SelLength"), 0);

    // Exact case; tabs and line breaks part words; an existing background stays.
    set_text(rich, L"Cat\tcat\r\ncat");
    select(rich, 4, 3);
    long r = 0;
    rtf->SetSelBackColor(rich, kYellow, &r);
    EXPECT_TRUE(colorize(L"cat", kRed, -1, false, true));
    EXPECT_FALSE(fore_is(0, 3, kRed));
    EXPECT_TRUE(fore_is(4, 3, kRed));
    EXPECT_TRUE(back_is(4, 3, kYellow));
    const long last = static_cast<long>(text(rich).size()) - 3;
    EXPECT_TRUE(fore_is(last, 3, kRed));
    EXPECT_TRUE(colorize(L"cat", kBlue, kYellow, false, true));
    EXPECT_TRUE(back_is(last, 3, kYellow));

    // An empty word colours nothing and returns.
    select(rich, 1, 0);
    EXPECT_TRUE(colorize(L"", RGB(0, 128, 0)));
    for (long at : {0, 4, 8}) EXPECT_FALSE(fore_is(at, 3, RGB(0, 128, 0))) << at;
    EXPECT_EQ(get(rich, L"SelStart"), 1);
}

TEST_F(RtfTest, InsertPictureAtTheCaretKeepsTheClipboardText) {
    set_text(rich, L"abc");
    select(rich, 1, 0);
    clipboard_set_text(L"earlier text");
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    ComPtr<IPictureDisp> picture = picture_from_bitmap(bitmap);
    IPictureDisp* pic = picture.get();
    long r = -1;
    ASSERT_EQ(rtf->InsertPicture(rich, &pic, 99, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(clipboard_get_text(), L"earlier text");
    IRichEditOle* ole = nullptr;
    SendMessageW(hwnd(rich), EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&ole));
    ASSERT_TRUE(ole);
    const LONG objects = ole->GetObjectCount();
    ole->Release();
    if (objects == 1) {
        // The picture took the caret's place: the text around it is unchanged.
        const std::wstring t = text(rich);
        EXPECT_EQ(t.front(), L'a');
        EXPECT_EQ(t.substr(t.size() - 2), L"bc");
    } else {
        EXPECT_EQ(objects, 0) << "a bitmap pasted into the rich edit";
        EXPECT_EQ(text(rich), L"abc");
    }
}

// What the box is handed, on a box of the test's own that records the paste: the
// caret placed (or left) first, then the paste with the picture on the clipboard.
struct PasteSeen {
    int pastes = 0;
    size_t puts_before = 0;  // property writes logged when the paste came
    LONG width = 0;          // of the clipboard's bitmap then
};
PasteSeen g_paste;
qmtest::Recorder* g_box = nullptr;

LRESULT CALLBACK paste_box_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m != WM_PASTE) return DefWindowProcW(h, m, wp, lp);
    ++g_paste.pastes;
    g_paste.puts_before = g_box->log.size();
    if (OpenClipboard(h)) {
        BITMAP b{};
        if (HANDLE bitmap = GetClipboardData(CF_BITMAP); bitmap && GetObjectW(bitmap, sizeof b, &b)) g_paste.width = b.bmWidth;
        CloseClipboard();
    }
    return 0;
}

TEST_F(RtfTest, InsertPictureSetsTheCaretThenPastesThePicture) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = paste_box_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QmPasteBox";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(L"QmPasteBox", L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, wc.hInstance, nullptr);
    HDC screen = GetDC(nullptr);
    ComPtr<IPictureDisp> picture = picture_from_bitmap(CreateCompatibleBitmap(screen, 24, 16));
    ReleaseDC(nullptr, screen);
    const struct {
        long pos;
        std::vector<std::wstring> puts;
    } cases[] = {{2, {L"SelStart=2", L"SelLength=0"}}, {3, {L"SelStart=3", L"SelLength=0"}}, {4, {}}, {0, {}}, {-1, {}}};
    for (const auto& c : cases) {
        qmtest::Recorder box({{L"hWnd", Variant(static_cast<long>(reinterpret_cast<LONG_PTR>(window)))},
                              {L"Text", Variant(L"abc")},
                              {L"SelStart", Variant(1L)},
                              {L"SelLength", Variant(0L)}});
        g_box = &box;
        g_paste = {};
        clipboard_set_text(L"earlier text");
        IPictureDisp* pic = picture.get();
        long r = -1;
        ASSERT_EQ(rtf->InsertPicture(&box, &pic, c.pos, &r), S_OK);
        EXPECT_EQ(r, 0) << c.pos;
        EXPECT_EQ(box.log, c.puts) << c.pos;
        EXPECT_EQ(g_paste.pastes, 1) << c.pos;
        EXPECT_EQ(g_paste.puts_before, c.puts.size()) << c.pos;
        EXPECT_EQ(g_paste.width, 24) << c.pos;
        EXPECT_EQ(clipboard_get_text(), L"earlier text") << c.pos;
    }
    g_box = nullptr;
    DestroyWindow(window);
}

TEST_F(RtfTest, TabStopsOnThePlainBox) {
    set_text(box, L"a\tb");
    auto b_left = [&] { return LOWORD(static_cast<DWORD>(SendMessageW(hwnd(box), EM_POSFROMCHAR, 2, 0))); };
    long width = 16, r = -1;
    ASSERT_EQ(rtf->Set_TabStopWidth(box, &width, &r), S_OK);
    EXPECT_EQ(r, 0);
    const WORD narrow = b_left();
    width = 96;
    ASSERT_EQ(rtf->Set_TabStopWidth(box, &width, &r), S_OK);
    EXPECT_GT(b_left(), narrow);
}

TEST_F(RtfTest, FailuresAreTrappedAndLogged) {
    IDispatch* label = form->control(L"Label1");
    long e = -1, n = -1;
    ASSERT_EQ(rtf->Get_LineCount(label, &e, &n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(e, 438);
    EXPECT_TRUE(errors.has("Get_LineCount", 438));
    // No printer here.
    set_text(rich, L"print me");
    ASSERT_EQ(rtf->sPrint(rich, 25, 25, &n), S_OK);
    EXPECT_EQ(n, 482);
    EXPECT_TRUE(errors.has("sPrint", 482));
}

}  // namespace
