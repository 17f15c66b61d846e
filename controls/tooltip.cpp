// clsTooltip: one tooltip window, its tools, colours, delays, margins and texts.
#include "controls/tooltip.h"

#include <vector>

#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/latebind.h"
#include "runtime/module.h"

namespace qm {

namespace {

constexpr wchar_t kMark[] = L"Quillmark.Tooltip";

HWND window_of(IDispatch* object) {
    if (!object) raise(err::ObjectNotSet);
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(CLng(late::get(object, L"hWnd"))));
}

LRESULT send(HWND h, UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(h, msg, w, l); }

bool tooltip_class(HWND h) {
    wchar_t name[32]{};
    GetClassNameW(h, name, 32);
    return lstrcmpiW(name, TOOLTIPS_CLASSW) == 0;
}

}  // namespace

void mark_tooltip(HWND window) { SetPropW(window, kMark, reinterpret_cast<HANDLE>(1)); }
bool is_marked_tooltip(HWND window) { return GetPropW(window, kMark) != nullptr && tooltip_class(window); }

bool clsTooltip::Create(IDispatch* frm) {
    if (!hwnd_) {
        const HWND parent = window_of(frm);
        InitCommonControls();
        hwnd_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, 0, 0, 0, 0, parent, nullptr,
                                module_handle(), nullptr);
        if (hwnd_) mark_tooltip(hwnd_);
    }
    return hwnd_ != nullptr;
}

std::wstring clsTooltip::StripNulls(const std::wstring& text) {
    const size_t nul = text.find(L'\0');
    return nul == std::wstring::npos ? text : text.substr(0, nul);
}

bool clsTooltip::FindTool(HWND tool, TTTOOLINFOW& record, std::wstring* text) {
    const long count = ToolCount();
    for (long i = 0; i < count; ++i) {
        record = TTTOOLINFOW{};
        record.cbSize = sizeof(record);
        if (!send(hwnd_, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&record))) continue;
        if (record.uId != reinterpret_cast<UINT_PTR>(tool)) continue;
        if (text) {
            // The text may have been set by someone else: grow until it fits. Some
            // tooltip controls fill up to 1024 characters whatever the size given.
            size_t size = static_cast<size_t>(MaxLong(longest_, 1024));
            for (;;) {
                std::vector<wchar_t> buffer(size + 1, L'\0');
                TTTOOLINFOW probe = record;
                probe.lpszText = buffer.data();
                send(hwnd_, TTM_GETTEXTW, size, reinterpret_cast<LPARAM>(&probe));
                std::wstring got(buffer.data(), size);
                got = StripNulls(got);
                if (got.size() + 1 < size || size >= (1u << 24)) {
                    *text = got;
                    break;
                }
                size *= 2;
            }
        }
        return true;
    }
    return false;
}

bool clsTooltip::AddTool(IDispatch* ctrl, const std::wstring& sText) {
    bool added = false;
    trapped(Trap{Source::clsTooltip, L"AddTool"}, [&] {
        if (!hwnd_) return;
        const HWND tool = window_of(ctrl);
        TTTOOLINFOW record{};
        if (FindTool(tool, record, nullptr)) return;
        const Variant container = late::get(ctrl, L"Container");
        std::wstring text = sText.empty() ? L"Tool" + CStr(static_cast<long>(ToolCount()) + 1) : sText;
        record = TTTOOLINFOW{};
        record.cbSize = sizeof(record);
        record.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        record.hwnd = window_of(late::object(*container.get()).get());
        record.uId = reinterpret_cast<UINT_PTR>(tool);
        record.lpszText = text.data();
        longest_ = MaxLong(static_cast<long>(text.size()) + 1, longest_);
        added = send(hwnd_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&record)) != 0;
    });
    return added;
}

bool clsTooltip::RemoveTool(IDispatch* ctrl) {
    if (!hwnd_) return false;
    TTTOOLINFOW record{};
    if (!FindTool(window_of(ctrl), record, nullptr)) return false;
    send(hwnd_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&record));
    return true;
}

long clsTooltip::BackColor() const { return hwnd_ ? static_cast<long>(send(hwnd_, TTM_GETTIPBKCOLOR)) : 0; }
void clsTooltip::BackColor(long clr) {
    if (hwnd_) send(hwnd_, TTM_SETTIPBKCOLOR, static_cast<DWORD>(clr));
}
long clsTooltip::DelayTime(long dwType) const {
    return hwnd_ ? static_cast<long>(send(hwnd_, TTM_GETDELAYTIME, dwType & 3)) : 0;
}
void clsTooltip::DelayTime(long dwType, long dwMilliSecs) {
    if (hwnd_) send(hwnd_, TTM_SETDELAYTIME, dwType & 3, dwMilliSecs);
}
long clsTooltip::ForeColor() const { return hwnd_ ? static_cast<long>(send(hwnd_, TTM_GETTIPTEXTCOLOR)) : 0; }
void clsTooltip::ForeColor(long clr) {
    if (hwnd_) send(hwnd_, TTM_SETTIPTEXTCOLOR, static_cast<DWORD>(clr));
}

long clsTooltip::Margin(long dwType) const {
    if (!hwnd_) return 0;
    RECT r{};
    send(hwnd_, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&r));
    switch (dwType) {
        case 0: return r.left;
        case 1: return r.top;
        case 2: return r.right;
        case 3: return r.bottom;
        default: return 0;
    }
}

void clsTooltip::Margin(long dwType, long cPixels) {
    if (!hwnd_) return;
    RECT r{};
    send(hwnd_, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&r));
    switch (dwType) {
        case 0: r.left = cPixels; break;
        case 1: r.top = cPixels; break;
        case 2: r.right = cPixels; break;
        case 3: r.bottom = cPixels; break;
        default: break;
    }
    send(hwnd_, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&r));
}

short clsTooltip::MaxTipWidth() const {
    return hwnd_ ? (LOWORD)(static_cast<long>(send(hwnd_, TTM_GETMAXTIPWIDTH))) : 0;
}

void clsTooltip::MaxTipWidth(short cX) {
    if (hwnd_) send(hwnd_, TTM_SETMAXTIPWIDTH, 0, cX < 1 ? -1 : cX);
}

short clsTooltip::ToolCount() const { return hwnd_ ? static_cast<short>(send(hwnd_, TTM_GETTOOLCOUNT)) : 0; }

std::wstring clsTooltip::ToolText(IDispatch* ctrl) {
    if (!hwnd_) return {};
    TTTOOLINFOW record{};
    std::wstring text;
    return FindTool(window_of(ctrl), record, &text) ? text : std::wstring();
}

void clsTooltip::ToolText(IDispatch* ctrl, const std::wstring& sText) {
    if (!hwnd_) return;
    TTTOOLINFOW record{};
    if (!FindTool(window_of(ctrl), record, nullptr)) return;
    std::wstring text = sText;
    record.lpszText = text.data();
    longest_ = MaxLong(static_cast<long>(text.size()) + 1, longest_);
    send(hwnd_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&record));
}

void clsTooltip::SetBKColor(long Color) { BackColor(Color); }
void clsTooltip::SetTXTColor(long Color) { ForeColor(Color); }

HWND clsTooltip::serving(HWND form, HWND control) {
    struct Search {
        HWND form, control, found;
    } search{form, control, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM p) CALLBACK -> BOOL {
            auto& s = *reinterpret_cast<Search*>(p);
            if (GetWindow(h, GW_OWNER) != s.form || !is_marked_tooltip(h)) return TRUE;
            clsTooltip probe;
            probe.attach(h);
            TTTOOLINFOW record{};
            if (!probe.FindTool(s.control, record, nullptr)) return TRUE;
            s.found = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace qm
