// Misc's numeric and password input boxes, driven by timers on the test's thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "frame/input_box_ex.h"
#include "frame/misc.h"
#include "frame/shared.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

// Acts once on the first input box with the title, from a timer of this thread.
std::map<UINT_PTR, std::pair<std::wstring, std::function<void(HWND)>>> g_pending;

void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
    auto it = g_pending.find(id);
    if (it == g_pending.end()) return;
    HWND box = FindWindowW(L"#32770", it->second.first.c_str());
    if (!box) return;
    KillTimer(nullptr, id);
    auto act = std::move(it->second.second);
    g_pending.erase(it);
    act(box);
}

void when_box(const std::wstring& title, std::function<void(HWND)> act) {
    g_pending[SetTimer(nullptr, 0, 30, tick)] = {title, std::move(act)};
}

HWND edit_of(HWND box) { return GetDlgItem(box, qm::forms::kInputBoxEditId); }
wchar_t password_of(HWND box) { return static_cast<wchar_t>(SendMessageW(edit_of(box), EM_GETPASSWORDCHAR, 0, 0)); }
bool numbers_only(HWND box) { return (GetWindowLongW(edit_of(box), GWL_STYLE) & ES_NUMBER) != 0; }
long limit_of(HWND box) { return static_cast<long>(SendMessageW(edit_of(box), EM_GETLIMITTEXT, 0, 0)); }
void type(HWND box, const wchar_t* text) {
    for (const wchar_t* c = text; *c; ++c) SendMessageW(edit_of(box), WM_CHAR, *c, 0);
}
std::wstring text_of_box(HWND box) {
    wchar_t text[64] = {};
    GetWindowTextW(edit_of(box), text, 64);
    return text;
}
void press(HWND box, int button) { PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0); }

std::wstring result_text(const Variant& v) {
    EXPECT_EQ(v.vt(), VT_BSTR);
    return v.vt() == VT_BSTR ? std::wstring(qm::text_of(V_BSTR(v.get()))) : L"<not a String>";
}

// The members in this process, so that its hooks can be counted.
std::wstring numbers_box(const wchar_t* title, long max_len, const wchar_t* default_text = L"",
                         VARIANT* help = nullptr, VARIANT* context = nullptr) {
    long x = 0, y = 0;
    Variant missing = Variant::missing(), out;
    EXPECT_EQ(qm::shared<_Misc>()->InputBox_NumbersOnly(Bstr(L"Zahl?").get(), Bstr(title).get(), &max_len,
                                                         Bstr(default_text).get(), &x, &y,
                                                         help ? help : missing.get(), context ? context : missing.get(),
                                                         out.put()),
              S_OK);
    return result_text(out);
}
std::wstring password_box(const wchar_t* title, const wchar_t* password, long max_len) {
    long x = 0, y = 0;
    Variant missing = Variant::missing(), out;
    EXPECT_EQ(qm::shared<_Misc>()->InputBox_Password(Bstr(L"Kennwort?").get(), Bstr(title).get(),
                                                      Bstr(password).get(), &max_len, Bstr(L"").get(), &x, &y,
                                                      missing.get(), missing.get(), out.put()),
              S_OK);
    return result_text(out);
}

TEST(MiscInputBox, PasswordLateBoundWithDefaultsAndCancel) {
    ComPtr<IDispatch> misc = create(L"Quillmark.Misc");
    ASSERT_TRUE(misc);
    RECT where{-1, -1, -1, -1};
    wchar_t shown = 0;
    when_box(L"Kennwort", [&](HWND box) {
        shown = password_of(box);
        GetWindowRect(box, &where);
        type(box, L"geheim");
        press(box, IDOK);
    });
    Variant prompt(Bstr(L"Kennwort?").detach()), title(Bstr(L"Kennwort").detach()), out;
    ASSERT_EQ(call(misc.get(), L"InputBox_Password", {prompt.get(), title.get()}, out.put()), S_OK);
    EXPECT_EQ(result_text(out), L"geheim");
    EXPECT_EQ(shown, L'*');
    EXPECT_EQ(where.left, 0);  // an omitted position is the screen's top-left corner
    EXPECT_EQ(where.top, 0);

    when_box(L"Kennwort", [](HWND box) {
        type(box, L"abc");
        press(box, IDCANCEL);
    });
    ASSERT_EQ(call(misc.get(), L"InputBox_Password", {prompt.get(), title.get()}, out.put()), S_OK);
    EXPECT_EQ(result_text(out), L"");
}

TEST(MiscInputBox, APlaceBeyondAnyScreenIsRefusedBeforeTheBoxShows) {
    // Were a box shown after all, a timer closes it.
    const UINT_PTR closer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
        if (HWND box = FindWindowW(L"#32770", L"Fern")) press(box, IDCANCEL);
    });
    Variant missing = Variant::missing(), out;
    for (const long huge : {1000000L, 2147483647L, -2147483647L}) {
        long x = huge, y = 0, max_len = 4;
        EXPECT_EQ(qm::shared<_Misc>()->InputBox_NumbersOnly(Bstr(L"Zahl?").get(), Bstr(L"Fern").get(), &max_len,
                                                             Bstr(L"").get(), &x, &y, missing.get(), missing.get(),
                                                             out.put()),
                  static_cast<HRESULT>(0x800A017C))
            << huge;
        x = 0, y = huge;
        EXPECT_EQ(qm::shared<_Misc>()->InputBox_Password(Bstr(L"Kennwort?").get(), Bstr(L"Fern").get(),
                                                          Bstr(L"*").get(), &max_len, Bstr(L"").get(), &x, &y,
                                                          missing.get(), missing.get(), out.put()),
                  static_cast<HRESULT>(0x800A017C))
            << huge;
    }
    KillTimer(nullptr, closer);
    EXPECT_EQ(qm::input_box_hooks(), 0u);
}

TEST(MiscInputBox, NumbersOnlyTakesDigitsUpToTheLimit) {
    long limit = -1;
    size_t hooks = 0;
    bool help = false;
    when_box(L"Ziffern", [&](HWND box) {
        hooks = qm::input_box_hooks();
        limit = limit_of(box);
        help = GetDlgItem(box, IDHELP) != nullptr;
        type(box, L"a1b2345");
        EXPECT_EQ(text_of_box(box), L"1234");
        press(box, IDOK);
    });
    Variant file(Bstr(L"hilfe.hlp").detach()), context = qm::CVar(*Variant(Bstr(L"7").detach()).get(), VT_I4);
    EXPECT_EQ(numbers_box(L"Ziffern", 4, L"", file.get(), context.get()), L"1234");
    EXPECT_EQ(hooks, 1u);
    EXPECT_EQ(limit, 4);
    EXPECT_TRUE(help);
    EXPECT_EQ(qm::input_box_hooks(), 0u);
}

TEST(MiscInputBox, NestedBoxesKeepTheirOwnSettingsAndAPlainBoxHasNone) {
    struct Seen {
        wchar_t password = 1;
        bool numbers = true;
        long limit = 0;
        size_t hooks = 9;
    } outer_before, inner, outer_after, plain;
    std::wstring inner_text;
    when_box(L"Aussen", [&](HWND outer) {
        outer_before = {password_of(outer), numbers_only(outer), limit_of(outer), qm::input_box_hooks()};
        when_box(L"Innen", [&](HWND box) {
            inner = {password_of(box), numbers_only(box), limit_of(box), qm::input_box_hooks()};
            type(box, L"x42");
            press(box, IDOK);
        });
        inner_text = numbers_box(L"Innen", 2);
        outer_after = {password_of(outer), numbers_only(outer), limit_of(outer), qm::input_box_hooks()};
        type(outer, L"ab");
        press(outer, IDOK);
    });
    EXPECT_EQ(password_box(L"Aussen", L"#", 0), L"ab");
    EXPECT_EQ(inner_text, L"42");
    EXPECT_EQ(outer_before.password, L'#');
    EXPECT_FALSE(outer_before.numbers);
    EXPECT_EQ(outer_before.hooks, 1u);
    EXPECT_EQ(inner.password, 0);
    EXPECT_TRUE(inner.numbers);
    EXPECT_EQ(inner.limit, 2);
    EXPECT_EQ(inner.hooks, 2u);
    EXPECT_EQ(outer_after.password, L'#');
    EXPECT_FALSE(outer_after.numbers);
    EXPECT_EQ(outer_after.limit, outer_before.limit);
    EXPECT_EQ(outer_after.hooks, 1u);

    // No password character and no limit: the plain box, without a hook.
    when_box(L"Schlicht", [&](HWND box) {
        plain = {password_of(box), numbers_only(box), limit_of(box), qm::input_box_hooks()};
        type(box, L"a1");
        press(box, IDOK);
    });
    EXPECT_EQ(password_box(L"Schlicht", L"", 0), L"a1");
    EXPECT_EQ(plain.password, 0);
    EXPECT_FALSE(plain.numbers);
    EXPECT_EQ(plain.hooks, 0u);
    EXPECT_EQ(qm::input_box_hooks(), 0u);
}

}  // namespace
