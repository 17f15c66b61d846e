// Controls: text-box password character, edit operations, files and word wrap,
// on a form of the forms engine, through the registered class.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "runtime/ansi.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;

namespace {

class TextForm : public Form {
protected:
    void design() override {
        add<TextBox>(L"Text1");
        add<TextBox>(L"Text2").set_multi_line(true);
        add<Label>(L"Label1").set_caption(L"Label");
    }
};

class TextBoxOpsTest : public testing::Test {
protected:
    void SetUp() override {
        ctl = qmtest::create(L"Quillmark.Controls").query<_Controls>();
        ASSERT_TRUE(ctl);
        form = make<TextForm>();
        form->show();
        dir = qmtest::scratch() + L"text box files\\";
        CreateDirectoryW(dir.c_str(), nullptr);
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    IDispatch* box() { return form->control(L"Text1", -1); }
    HWND hwnd() { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(box(), L"hWnd")))); }
    void set_text(const std::wstring& t) { late::put(box(), L"Text", Variant(t)); }
    std::wstring text() { return CStr(late::get(box(), L"Text")); }
    long wrap() {
        IDispatch* f = form.get();
        IDispatch* b = box();
        long r = -99;
        EXPECT_EQ(ctl->TextBox_WordWrap(&f, &b, &r), S_OK);
        return r;
    }
    ComPtr<_Controls> ctl;
    ComPtr<TextForm> form;
    std::wstring dir;
};

}  // namespace

TEST_F(TextBoxOpsTest, PasswordCharMasksAndEmptyUnmasks) {
    for (const wchar_t* c : {L"*", L"", L"#x"}) {
        Bstr ch(c);
        BSTR p = ch.get();
        long r = -1;
        EXPECT_EQ(ctl->TextBox_SetPasswordChar(box(), &p, &r), S_OK);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(SendMessageW(hwnd(), EM_GETPASSWORDCHAR, 0, 0), static_cast<LRESULT>(c[0])) << c;
    }
}

TEST_F(TextBoxOpsTest, LoadAndSaveGuardAndRoundTrip) {
    const std::wstring file = dir + L"text.txt", missing = dir + L"missing.txt";
    DeleteFileW(missing.c_str());
    qmtest::write_bytes(file, "kept");
    set_text(L"unchanged");
    IDispatch* label = form->control(L"Label1", -1);
    IDispatch* b = box();
    long r = 0;
    EXPECT_EQ(ctl->TextBox_LoadText(&label, Bstr(file).get(), &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(ctl->TextBox_SaveText(&label, Bstr(file).get(), nullptr, &r), S_OK);
    EXPECT_EQ(r, -2);
    EXPECT_EQ(ctl->TextBox_LoadText(&b, Bstr(missing).get(), &r), S_OK);
    EXPECT_EQ(r, -1);
    VARIANT_BOOL keep = VARIANT_FALSE;
    EXPECT_EQ(ctl->TextBox_SaveText(&b, Bstr(file).get(), &keep, &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(qmtest::read_bytes(file), "kept");
    EXPECT_EQ(text(), L"unchanged");

    const std::wstring words = L"Gr\u00fc\u00dfe aus K\u00f6ln\r\nzweite Zeile";
    set_text(words);
    EXPECT_EQ(ctl->TextBox_SaveText(&b, Bstr(file).get(), nullptr, &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(qmtest::read_bytes(file), to_ansi(words + L"\r\n"));
    set_text(L"");
    EXPECT_EQ(ctl->TextBox_LoadText(&b, Bstr(file).get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(text(), words);
}

TEST_F(TextBoxOpsTest, WordWrapBreaksWhereTheBoxWraps) {
    auto text_width = [&](const wchar_t* s) { return CDbl(late::call(form.get(), L"TextWidth", {Variant(s)})); };
    struct Case {
        const wchar_t *fits, *text, *want;
    } cases[] = {
        {nullptr, L"ab", L"ab\r\n"},                                       // fits: one CR LF added
        {nullptr, L"ab\r\n", L"ab\r\n"},                                   // exactly one kept
        {L"aaaa", L"aaaaaaaa", L"aaaa\r\naaaa\r\r\n"},                     // no blank: broken inside the word
        {L"aa a", L"aa aaa", L"aa \r\naaa\r\r\n"},                        // back to just after the blank
        {L"", L"abc", L"a\r\nb\r\r\nc\r\r\n"},                             // narrower than the frame: ends
    };
    for (const Case& c : cases) {
        // A box whose text area lies between the widths of fits without and with its last character.
        double width = 6000;
        if (c.fits && !*c.fits) width = 30;
        if (c.fits && *c.fits) {
            const std::wstring all(c.fits), less = all.substr(0, all.size() - 1);
            width = (text_width(less.c_str()) + text_width(all.c_str())) / 2 + 36;
        }
        late::put(box(), L"Width", Variant(width));
        set_text(c.text);
        EXPECT_EQ(wrap(), 0);
        EXPECT_EQ(text(), c.want) << c.text;
    }
}

TEST_F(TextBoxOpsTest, OperationsGoThroughTheClipboard) {
    set_text(L"Hallo Welt");
    auto select = [&](long start, long length) {
        late::put(box(), L"SelStart", Variant(start));
        late::put(box(), L"SelLength", Variant(length));
    };
    auto op = [&](TextBoxOperation o) {
        long r = 0;
        EXPECT_EQ(ctl->TextBox_Operation(box(), o, nullptr, &r), S_OK);
    };
    select(0, 5);
    op(tbCUT);
    EXPECT_EQ(text(), L" Welt");
    select(5, 0);
    op(tbPASTE);
    EXPECT_EQ(text(), L" WeltHallo");
    op(tbUNDO);
    EXPECT_EQ(text(), L" Welt");
    select(1, 4);
    op(tbCOPY);
    select(0, 0);
    op(tbPASTE);
    EXPECT_EQ(text(), L"Welt Welt");
}

TEST_F(TextBoxOpsTest, TabStopWidthPlacesTheTextAfterATab) {
    IDispatch* b = form->control(L"Text2", -1);
    late::put(b, L"Text", Variant(L"a\tb"));
    const HWND h = reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(b, L"hWnd"))));
    auto b_left = [&](long width) {
        long r = -1;
        EXPECT_EQ(ctl->TextBox_Set_TabStopWidth(b, &width, &r), S_OK);
        EXPECT_EQ(r, 0);
        return LOWORD(static_cast<DWORD>(SendMessageW(h, EM_POSFROMCHAR, 2, 0)));
    };
    const WORD narrow = b_left(16);
    EXPECT_GT(b_left(96), narrow);
}
