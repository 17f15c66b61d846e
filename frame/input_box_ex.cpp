#include "frame/input_box_ex.h"

#include <cwchar>
#include <vector>

#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"
#include "runtime/forms/limits.h"

namespace qm {

namespace {

// The settings of one waiting input box and the hook that applies them.
struct HookFrame {
    HHOOK hook = nullptr;
    long max_length = 0;       // 0: no limit
    wchar_t password = 0;      // 0: none
    bool numbers_only = false;
    HWND dialog = nullptr;     // the box, once activated
};

// The boxes waiting on this thread, innermost last.
thread_local std::vector<HookFrame*> t_frames;

// Puts the frame on the thread's stack for its box's lifetime and takes it off
// (with its hook) however the box ends.
class FrameScope {
public:
    explicit FrameScope(HookFrame& frame) : frame_(frame) { t_frames.push_back(&frame_); }
    ~FrameScope() {
        if (frame_.hook) UnhookWindowsHookEx(frame_.hook);
        std::erase(t_frames, &frame_);
    }
    FrameScope(const FrameScope&) = delete;
    FrameScope& operator=(const FrameScope&) = delete;

private:
    HookFrame& frame_;
};

// The frame whose box the dialog is: the one it was bound to, or else the
// innermost frame still waiting for its box.
HookFrame* frame_of(HWND dialog) {
    for (HookFrame* f : t_frames)
        if (f->dialog == dialog) return f;
    if (!t_frames.empty() && !t_frames.back()->dialog) {
        t_frames.back()->dialog = dialog;
        return t_frames.back();
    }
    return nullptr;
}

void apply(const HookFrame& f, HWND dialog) {
    if (f.password) SendDlgItemMessageW(dialog, forms::kInputBoxEditId, EM_SETPASSWORDCHAR, f.password, 0);
    if (f.max_length > 0)
        SendDlgItemMessageW(dialog, forms::kInputBoxEditId, EM_LIMITTEXT, static_cast<WPARAM>(f.max_length), 0);
    if (f.numbers_only) {
        if (HWND edit = GetDlgItem(dialog, forms::kInputBoxEditId))
            SetWindowLongW(edit, GWL_STYLE, GetWindowLongW(edit, GWL_STYLE) | ES_NUMBER);
    }
}

}  // namespace

LRESULT CALLBACK InputBoxHookProc(int code, WPARAM wparam, LPARAM lparam) {
    HHOOK hook = t_frames.empty() ? nullptr : t_frames.back()->hook;
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wparam);
        wchar_t name[256] = {};
        GetClassNameW(window, name, 255);
        // Only input boxes: a dialog with the box's edit field.
        if (std::wcscmp(name, L"#32770") == 0 && GetDlgItem(window, forms::kInputBoxEditId))
            if (HookFrame* f = frame_of(window)) apply(*f, window);
    }
    return CallNextHookEx(hook, code, wparam, lparam);
}

size_t input_box_hooks() noexcept {
    size_t n = 0;
    for (HookFrame* f : t_frames) n += f->hook != nullptr;
    return n;
}

std::wstring InputBoxEx(const std::wstring& prompt, const std::wstring& title, const std::wstring& default_text,
                        long x, long y, const VARIANT* help_file, const VARIANT* context, long& max_length,
                        std::wstring& password_char, bool& numbers_only, bool& cancelled) {
    // The box's place on the screen: beyond a window's coordinates it is refused
    // (380) before anything is set up.
    forms::check_window(x / forms::twips_per_pixel_x(), y / forms::twips_per_pixel_y(), 0, 0);
    HookFrame frame;
    frame.numbers_only = numbers_only;
    if (max_length > 0) frame.max_length = max_length;
    if (!password_char.empty()) frame.password = password_char[0];

    std::wstring help;
    long topic = 0;
    if (help_file && !IsMissing(*help_file)) help = CStr(*help_file);
    if (!help.empty() && context && !IsMissing(*context)) topic = CLng(*context);

    FrameScope scope(frame);
    if (frame.password || frame.max_length > 0 || frame.numbers_only) {
        frame.hook = SetWindowsHookExW(WH_CBT, InputBoxHookProc, nullptr, GetCurrentThreadId());
        if (!frame.hook) raise_win32();
    }
    // The position always goes to the box: omitted, it is the screen's top-left corner.
    float fx = static_cast<float>(x), fy = static_cast<float>(y);
    auto text = forms::input_box(prompt, title, default_text, &fx, &fy, help, topic);
    cancelled = !text.has_value();
    return text.value_or(std::wstring());
}

}  // namespace qm
