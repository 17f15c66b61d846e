#include "frame/frmdebug.h"

#include <olectl.h>

#include <algorithm>

#include "frame/diagnostics.h"
#include "frame/shared.h"
#include "runtime/app.h"
#include "runtime/bstr.h"
#include "runtime/errors.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/process.h"

namespace qm {

using namespace forms;

namespace {

// Layout, in twips.
constexpr float kMargin = 60, kButtonWidth = 900, kRowHeight = 330;

}  // namespace

FrmDebug::FrmDebug() {
    set_name(L"frmDebug");
    w_ = 9600;
    h_ = 5400;
    on.load = [this] {
        set_caption(L"VeltrandisDLL ErrorLog (v" + std::to_wstring(App::Major()) + L"." + std::to_wstring(App::Minor()) +
                    L"." + std::to_wstring(App::Revision()) + L")");
        TextBox& text = txtDebug();
        text.set_text(diag::time_prefix() + L"*** ErrorLog started ***\r\n");
        text.set_locked(true);
        text.set_font_name(L"Lucida Console");
        text.set_font_flag(DISPID_FONT_BOLD, true);
    };
    on.resize = [this] { arrange(); };
}

void FrmDebug::design() {
    TextBox& text = add<TextBox>(L"txtDebug");
    text.s_.scroll_bars = 2;
    text.set_multi_line(true);
    // Entries pile up for as long as the window is open: no length limit.
    SendMessageW(text.hwnd(), EM_SETLIMITTEXT, 0, 0);

    add<TextBox>(L"txtPath").set_text(L"%Path%");
    Button& copy = add<Button>(L"butCopy");
    copy.set_caption(L"Copy");
    copy.on.click = [this] { copy_entries(); };
    Button& log = add<Button>(L"butLogFile");
    log.set_caption(L"LogFile");
    log.on.click = [this] { open_log_file(); };
    Button& sys = add<Button>(L"butSysMessage");
    sys.set_caption(L"SysMes");
    sys.on.click = [this] { show_system_message(); };
    Button& about = add<Button>(L"butAbout");
    about.set_caption(L"?");
    about.on.click = [this] { show_about(); };
    arrange();
}

// The entries fill the window above one row with the path box and the buttons.
void FrmDebug::arrange() {
    if (!loaded() || !control(L"butAbout")) return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    float width = std::max(client.right * twips_per_pixel_x(), 4 * kButtonWidth + 2000);
    float height = std::max(client.bottom * twips_per_pixel_y(), 3 * kRowHeight);
    float row = height - kMargin - kRowHeight;

    float text_w = width - 2 * kMargin, text_h = std::max(row - 2 * kMargin, kRowHeight);
    txtDebug().move(kMargin, &kMargin, &text_w, &text_h);
    float x = width - kMargin - 4 * kButtonWidth;
    for (const wchar_t* name : {L"butCopy", L"butLogFile", L"butSysMessage", L"butAbout"}) {
        get<Button>(name).move(x, &row, &kButtonWidth, &kRowHeight);
        x += kButtonWidth;
    }
    float path_w = width - 3 * kMargin - 4 * kButtonWidth;
    txtPath().move(kMargin, &row, &path_w, &kRowHeight);
}

void FrmDebug::append(std::wstring_view text) {
    TextBox& box = txtDebug();
    std::wstring all = box.text();
    all += text;
    box.set_text(all);
    box.set_sel_start(static_cast<long>(all.size()));
}

void FrmDebug::show_log_file(const std::wstring& path) {
    txtPath().set_text(path.empty() ? std::wstring(diag::kNoLogFile) : path);
    get<Button>(L"butLogFile").set_enabled(!path.empty());
}

void FrmDebug::copy_entries() {
    try {
        clipboard_clear();
        clipboard_set_text(txtDebug().text());
    } catch (...) {
    }
}

void FrmDebug::open_log_file() {
    try {
        shell(L"Notepad.exe " + process::quote(txtPath().text()), 3);
    } catch (...) {
    }
}

// The system's text of the thread's last error; a failure shows nothing.
void FrmDebug::show_system_message() {
    try {
        Bstr message;
        check(shared<_Misc>()->LastSystemMessage(message.put()));
        msg_box(message.str());
    } catch (...) {
    }
}

void FrmDebug::show_about() { shared<_Misc>()->About(); }

FrmDebug& frmDebug() { return predeclared<FrmDebug>(); }

}  // namespace qm
