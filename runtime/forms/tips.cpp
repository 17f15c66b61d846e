// ToolTipText of the intrinsic controls: one "tooltips_class32" window per form,
// a tool per control (its window, or its rectangle in the container for a
// windowless control).
#include <windows.h>
#include <commctrl.h>

#include "runtime/forms/forms.h"
#include "runtime/module.h"

namespace qm::forms {

void init_common_controls(DWORD classes) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), classes};
    InitCommonControlsEx(&icc);
}

HWND Form::tips() {
    if (tips_ && IsWindow(tips_)) return tips_;
    tips_ = nullptr;
    if (!hwnd_) return nullptr;
    init_common_controls(ICC_WIN95_CLASSES);
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                            0, hwnd_, nullptr, module_handle(), nullptr);
    if (tips_) SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 400);
    return tips_;
}

namespace {
TOOLINFOW tool_of(Control& c, HWND container) {
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = container;
    ti.hinst = module_handle();
    if (c.windowless()) {
        ti.uFlags = TTF_SUBCLASS;
        ti.uId = reinterpret_cast<UINT_PTR>(&c);
        ti.rect = c.pixel_rect();
    } else {
        ti.uFlags = TTF_SUBCLASS | TTF_IDISHWND;
        ti.uId = reinterpret_cast<UINT_PTR>(c.hwnd());
    }
    return ti;
}
}  // namespace

void Control::set_tool_tip(std::wstring text) {
    bool had = !tip_.empty();
    tip_ = std::move(text);
    if (had && tip_.empty() && form_ && form_->tips_) {
        HWND container = container_hwnd();
        if (container && (windowless() || hwnd_)) {
            TOOLINFOW ti = tool_of(*this, container);
            SendMessageW(form_->tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        }
        return;
    }
    apply_tip();
}

void Control::apply_tip() {
    if (tip_.empty() || !form_) return;
    HWND container = container_hwnd();
    if (!container || (!windowless() && !hwnd_)) return;
    HWND tips = form_->tips();
    if (!tips) return;
    TOOLINFOW ti = tool_of(*this, container);
    ti.lpszText = tip_.data();
    TOOLINFOW probe = ti;
    probe.lpszText = nullptr;
    if (SendMessageW(tips, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&probe))) {
        SendMessageW(tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
        if (windowless()) SendMessageW(tips, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
    } else {
        SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

}  // namespace qm::forms
