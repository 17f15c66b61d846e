// Controls: multi-line coloured tooltips for a form's controls and balloon
// tooltips over any window. The tooltip windows stay with their owner window.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "controls/controls.h"
#include "controls/tooltip.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/module.h"

namespace qm {

namespace {

HWND window_of(IDispatch* object) {
    if (!object) raise(err::ObjectNotSet);
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(object, L"hWnd"))));
}

HWND as_window(long h) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(h)); }

// The balloon of this library, owned by `owner`, whose tool covers `target`.
HWND balloon_for(HWND owner, HWND target) {
    struct Search {
        HWND owner, target, found;
    } search{owner, target, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM p) CALLBACK -> BOOL {
            auto& s = *reinterpret_cast<Search*>(p);
            if (GetWindow(h, GW_OWNER) != s.owner || !is_marked_tooltip(h)) return TRUE;
            if (!(GetWindowLongW(h, GWL_STYLE) & TTS_BALLOON)) return TRUE;
            TTTOOLINFOW record{};
            record.cbSize = sizeof(record);
            if (!SendMessageW(h, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&record))) return TRUE;
            if (record.hwnd != s.target || record.uId != 0) return TRUE;
            s.found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HRESULT Controls::MultiLineTooltip(IDispatch** Control, BSTR ToolTipText, VARIANT ToolTipTextColor,
                                   long ToolTipBackColor, long MaxTipWidth, long DelayTime, long* result) {
    IDispatch* control = Control ? *Control : nullptr;
    if (control) late::skipping_errors([&] { late::put(control, L"ToolTipText", Variant(std::wstring_view())); });
    const HRESULT hr = trapped(Trap{Source::Controls, L"MultiLineTooltip"}, result, ErrorNumberResult{}, [&] {
        const HWND tool = window_of(control);
        // A width beyond an Integer (6) is refused before any tooltip is set up.
        const short max_width = CInt(static_cast<double>(MaxTipWidth));
        const Variant parent = late::get(control, L"Parent");
        IDispatch* form = late::object(*parent.get()).get();
        auto wrapper = std::make_unique<clsTooltip>();
        tooltip_ = wrapper.get();
        struct Release {
            clsTooltip*& slot;
            ~Release() { slot = nullptr; }
        } release{tooltip_};
        // One tip per control: a window this library already made for it is set up anew.
        if (const HWND existing = clsTooltip::serving(window_of(form), tool)) {
            tooltip_->attach(existing);
        } else {
            tooltip_->Create(form);
        }
        tooltip_->MaxTipWidth(max_width);
        tooltip_->DelayTime(TTDT_AUTOPOP, DelayTime);
        tooltip_->SetBKColor(ToolTipBackColor);
        tooltip_->SetTXTColor(CLng(ToolTipTextColor));
        tooltip_->AddTool(control);
        tooltip_->ToolText(control, std::wstring(text_of(ToolTipText)));
        return 0L;
    });
    return hr;
}

void Controls::Create_BalloonToolTipWindow(HWND owner) {
    INITCOMMONCONTROLSEX icc{8, 0xFF};
    InitCommonControlsEx(&icc);
    const HWND h = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, L"",
                                   WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, module_handle(),
                                   nullptr);
    if (!h) return;
    mark_tooltip(h);
    SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    balloon_ = h;
    balloon_owner_ = owner;
}

HRESULT Controls::Control_CreateBalloonToolTip(long* hWndOwner, BSTR* ToolTipText) {
    return untrapped([&] {
        const long target_handle = hWndOwner ? *hWndOwner : 0;
        std::wstring text(ToolTipText ? text_of(*ToolTipText) : std::wstring_view());
        long top = 0;
        check(shared<_Window>()->Get_TopParent(target_handle, &top));
        const HWND owner = as_window(top);
        const HWND target = as_window(target_handle);
        TTTOOLINFOW record{};
        record.cbSize = sizeof(record);
        record.uFlags = TTF_SUBCLASS | TTF_TRANSPARENT;
        record.hwnd = target;
        record.hinst = module_handle();
        record.lpszText = text.data();
        // A second balloon for the same window would show two tips at once: the
        // one there gets the new text.
        if (const HWND existing = balloon_for(owner, target)) {
            SendMessageW(existing, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&record));
            return;
        }
        Create_BalloonToolTipWindow(owner);
        GetClientRect(target, &record.rect);
        SendMessageW(balloon_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&record));
    });
}

}  // namespace qm
