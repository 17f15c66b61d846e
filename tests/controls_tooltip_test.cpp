// Tooltips: the tooltip wrapper on an engine form, multi-line tips through the
// registered class, balloons over a window.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/tooltip.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/interfaces.h"
#include "runtime/latebind.h"
#include "support.h"

using namespace qm;
using namespace qm::forms;

namespace {

class TipForm : public Form {
protected:
    void design() override {
        add<TextBox>(L"Text1");
        add<TextBox>(L"Text2");
        add<Label>(L"Label1").set_caption(L"Label text");
    }
};

HWND hwnd_of(IDispatch* d) {
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(d, L"hWnd"))));
}

// The tooltip windows of this library owned by `owner`.
std::vector<HWND> tips_of(HWND owner) {
    struct Found {
        HWND owner;
        std::vector<HWND> list;
    } found{owner, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM p) CALLBACK -> BOOL {
            auto& f = *reinterpret_cast<Found*>(p);
            if (GetWindow(h, GW_OWNER) == f.owner && is_marked_tooltip(h)) f.list.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.list;
}

TTTOOLINFOW tool_at(HWND tip, long index) {
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    EXPECT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, index, reinterpret_cast<LPARAM>(&ti)));
    return ti;
}

std::wstring text_of_tool(HWND tip, TTTOOLINFOW ti) {
    std::vector<wchar_t> buffer(1024);
    ti.lpszText = buffer.data();
    SendMessageW(tip, TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&ti));
    return buffer.data();
}

class TooltipTest : public testing::Test {
protected:
    void SetUp() override {
        ctl = qmtest::create(L"Quillmark.Controls").query<_Controls>();
        ASSERT_TRUE(ctl);
        form = make<TipForm>();
        form->show();
    }
    void TearDown() override {
        if (form->loaded()) form->unload();
    }
    long tip(IDispatch* control, const wchar_t* text, const Variant& fore, long width) {
        long r = -1;
        EXPECT_EQ(ctl->MultiLineTooltip(&control, Bstr(text).get(), *fore.get(), 0xE0FFFF, width, 5000, &r), S_OK);
        return r;
    }
    IDispatch* get(const wchar_t* name) { return form->control(name); }
    HWND form_hwnd() { return hwnd_of(form.get()); }
    ComPtr<_Controls> ctl;
    ComPtr<TipForm> form;
    qmtest::ErrorLog errors;
};

}  // namespace

TEST_F(TooltipTest, WrapperWithoutWindowAnswersNothing) {
    clsTooltip t;
    IDispatch* box = get(L"Text1");
    EXPECT_EQ(t.hwnd(), 0);
    EXPECT_FALSE(t.AddTool(box));
    EXPECT_FALSE(t.RemoveTool(box));
    t.ToolText(box, L"x");
    t.BackColor(5);
    t.Margin(0, 3);
    t.MaxTipWidth(100);
    const long answers[] = {t.BackColor(), t.ForeColor(), t.DelayTime(2), t.Margin(0), t.MaxTipWidth(),
                            t.ToolCount()};
    for (long a : answers) EXPECT_EQ(a, 0);
    EXPECT_EQ(t.ToolText(box), L"");
    EXPECT_EQ((clsTooltip::LOWORD)(65535), -1);
    EXPECT_EQ((clsTooltip::LOWORD)(0x12345), 0x2345);
}

TEST_F(TooltipTest, WrapperToolsTextsAndSettings) {
    clsTooltip t;
    ASSERT_TRUE(t.Create(form.get()));
    const long first = t.hwnd();
    ASSERT_TRUE(t.Create(form.get()));
    EXPECT_EQ(t.hwnd(), first);
    IDispatch* one = get(L"Text1");
    IDispatch* two = get(L"Text2");
    EXPECT_TRUE(t.AddTool(one));
    EXPECT_FALSE(t.AddTool(one));
    EXPECT_TRUE(t.AddTool(two));
    EXPECT_EQ(t.ToolCount(), 2);
    EXPECT_EQ(t.ToolText(one), L"Tool1");
    EXPECT_EQ(t.ToolText(two), L"Tool2");
    // A windowless control cannot be a tool: reported, nothing added.
    EXPECT_FALSE(t.AddTool(get(L"Label1")));
    EXPECT_EQ(t.ToolCount(), 2);

    // Texts come back whole: one longer than any before, and one set behind the wrapper's back.
    const std::wstring longer(300, L'\u00e4');
    t.ToolText(one, longer);
    EXPECT_EQ(t.ToolText(one), longer);
    const std::wstring foreign = std::wstring(700, L'x') + L"\u20ac";
    TTTOOLINFOW ti = tool_at(reinterpret_cast<HWND>(static_cast<LONG_PTR>(first)), 1);
    std::wstring buffer = foreign;
    ti.lpszText = buffer.data();
    SendMessageW(reinterpret_cast<HWND>(static_cast<LONG_PTR>(first)), TTM_UPDATETIPTEXTW, 0,
                 reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(t.ToolText(two), foreign);

    t.MaxTipWidth(0);
    EXPECT_EQ(t.MaxTipWidth(), -1);
    t.MaxTipWidth(200);
    EXPECT_EQ(t.MaxTipWidth(), 200);
    t.Margin(1, 5);
    t.Margin(4, 9);
    EXPECT_EQ(t.Margin(1), 5);
    EXPECT_EQ(t.Margin(4), 0);
    t.SetBKColor(0x123456);
    t.SetTXTColor(0x0000FF);
    EXPECT_EQ(t.BackColor(), 0x123456);
    EXPECT_EQ(t.ForeColor(), 0x0000FF);
    t.DelayTime(6, 4321);  // type 6 is autopop (2)
    EXPECT_EQ(t.DelayTime(TTDT_AUTOPOP), 4321);

    EXPECT_TRUE(t.RemoveTool(one));
    EXPECT_FALSE(t.RemoveTool(one));
    EXPECT_EQ(t.ToolCount(), 1);
    EXPECT_EQ(t.ToolText(two), foreign);
}

TEST_F(TooltipTest, MultiLineTooltip) {
    IDispatch* box = get(L"Text1");
    late::put(box, L"ToolTipText", Variant(std::wstring(L"runtime tip")));
    EXPECT_EQ(tip(box, L"Erste Zeile\r\nZweite Zeile", Variant(255L), 200), 0);
    EXPECT_EQ(CStr(late::get(box, L"ToolTipText")), L"");
    std::vector<HWND> tips = tips_of(form_hwnd());
    ASSERT_EQ(tips.size(), 1u);
    const HWND h = tips[0];
    EXPECT_EQ(SendMessageW(h, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(h, TTM_GETMAXTIPWIDTH, 0, 0), 200);
    EXPECT_EQ(SendMessageW(h, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 5000);
    EXPECT_EQ(SendMessageW(h, TTM_GETTIPTEXTCOLOR, 0, 0), 255);
    EXPECT_EQ(SendMessageW(h, TTM_GETTIPBKCOLOR, 0, 0), 0xE0FFFF);
    TTTOOLINFOW ti = tool_at(h, 0);
    EXPECT_EQ(ti.uId, reinterpret_cast<UINT_PTR>(hwnd_of(box)));
    EXPECT_EQ(text_of_tool(h, ti), L"Erste Zeile\r\nZweite Zeile");

    // Again for the same control: the same window, one tool, the new text and colour.
    EXPECT_EQ(tip(box, L"Neu", Variant(0x00FF00L), 150), 0);
    tips = tips_of(form_hwnd());
    ASSERT_EQ(tips.size(), 1u);
    EXPECT_EQ(SendMessageW(h, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(text_of_tool(h, tool_at(h, 0)), L"Neu");
    EXPECT_EQ(SendMessageW(h, TTM_GETTIPTEXTCOLOR, 0, 0), 0x00FF00);
    EXPECT_EQ(SendMessageW(h, TTM_GETMAXTIPWIDTH, 0, 0), 150);

    // Another control gets its own window.
    EXPECT_EQ(tip(get(L"Text2"), L"Zwei", Variant(0L), 0), 0);
    EXPECT_EQ(tips_of(form_hwnd()).size(), 2u);
}

TEST_F(TooltipTest, MultiLineTooltipFailures) {
    struct Case {
        const wchar_t* control;
        Variant fore;
        long width;
        long error;
    } cases[] = {
        {L"Label1", Variant(0L), 100, 438},
        {L"Text1", Variant(0L), 40000, 6},
        {L"Text1", Variant(0L), 2147483647, 6},
        {L"Text1", Variant(0L), -2147483647, 6},
        {L"Text2", Variant(std::wstring(L"rot")), 100, 13},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tip(get(c.control), L"Tipp", c.fore, c.width), c.error) << c.control;
        EXPECT_TRUE(errors.has("MultiLineTooltip", c.error)) << c.control;
        // A width out of range is refused before a tooltip is set up.
        if (c.error == 6) {
            EXPECT_TRUE(tips_of(form_hwnd()).empty()) << c.width;
        }
    }
}

TEST_F(TooltipTest, BalloonOverAWindow) {
    IDispatch* box = get(L"Text1");
    const HWND target = hwnd_of(box);
    long handle = static_cast<long>(reinterpret_cast<LONG_PTR>(target));
    Bstr text(L"Hinweis \u00fcber dem Feld");
    BSTR raw = text.get();
    ASSERT_EQ(ctl->Control_CreateBalloonToolTip(&handle, &raw), S_OK);
    std::vector<HWND> tips = tips_of(form_hwnd());
    ASSERT_EQ(tips.size(), 1u);
    const HWND h = tips[0];
    EXPECT_TRUE(GetWindowLongW(h, GWL_STYLE) & TTS_BALLOON);
    EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
    ASSERT_EQ(SendMessageW(h, TTM_GETTOOLCOUNT, 0, 0), 1);
    TTTOOLINFOW ti = tool_at(h, 0);
    RECT client{};
    GetClientRect(target, &client);
    EXPECT_EQ(ti.hwnd, target);
    EXPECT_TRUE(EqualRect(&ti.rect, &client));
    EXPECT_EQ(text_of_tool(h, ti), L"Hinweis \u00fcber dem Feld");

    Bstr again(L"Zweiter Hinweis");
    raw = again.get();
    ASSERT_EQ(ctl->Control_CreateBalloonToolTip(&handle, &raw), S_OK);
    ASSERT_EQ(tips_of(form_hwnd()).size(), 1u);
    EXPECT_EQ(SendMessageW(h, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(text_of_tool(h, tool_at(h, 0)), L"Zweiter Hinweis");
}
