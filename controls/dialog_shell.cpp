// Dialog: the shell's Run, search, shut-down and about dialogs, and the
// system's colour and font dialogs.
#include <windows.h>
#include <commdlg.h>
#include <olectl.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "about/frm_about.h"
#include "controls/dialog.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/com_ptr.h"
#include "runtime/contract.h"
#include "runtime/handover.h"
#include "windows/window_common.h"

namespace qm {

namespace {

// shell32's Run dialog and shut-down dialog are exported by ordinal only.
constexpr WORD kRunDialogOrdinal = 61;
constexpr WORD kShutDownDialogOrdinal = 60;

template <class F>
F shell_ordinal(WORD ordinal) {
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (!shell) shell = LoadLibraryW(L"shell32.dll");
    FARPROC f = shell ? GetProcAddress(shell, MAKEINTRESOURCEA(ordinal)) : nullptr;
    if (!f) raise(err::InvalidCall);
    return reinterpret_cast<F>(f);
}

HICON icon_of(long icon) noexcept { return reinterpret_cast<HICON>(static_cast<LONG_PTR>(icon)); }

bool windows_nt() {
    VARIANT_BOOL nt = VARIANT_FALSE;
    check(shared<_System>()->isWindowsNT(&nt));
    return nt != VARIANT_FALSE;
}

}  // namespace

HRESULT Dialog::Execute(BSTR Title, BSTR* Prompt, long* Icon) {
    return untrapped([&] {
        const std::wstring title(text_of(Title)), prompt(Prompt ? text_of(*Prompt) : std::wstring_view());
        const HICON icon = icon_of(arg_or(Icon, 0L));
        // The dialog takes UTF-16 texts on the NT family and ANSI texts elsewhere.
        using RunDialog = void(WINAPI*)(HWND, HICON, const void*, const void*, const void*, UINT);
        auto run = shell_ordinal<RunDialog>(kRunDialogOrdinal);
        if (windows_nt()) {
            run(nullptr, icon, nullptr, title.c_str(), prompt.c_str(), 0);
        } else {
            const std::string a_title = to_ansi(title), a_prompt = to_ansi(prompt);
            run(nullptr, icon, nullptr, a_title.c_str(), a_prompt.c_str(), 0);
        }
    });
}

HRESULT Dialog::Find(BSTR* Path) {
    return untrapped([&] {
        const std::wstring_view given = Path ? text_of(*Path) : std::wstring_view(L"C:\\");
        check_plain_path(given);  // the shell never returns from a longer one
        const std::string path = to_ansi(given);
        ShellExecuteA(nullptr, "find", path.c_str(), "", "C:\\", SW_SHOWNORMAL);
    });
}

HRESULT Dialog::WindowsShutDown() {
    return untrapped([&] {
        using ShutDownDialog = void(WINAPI*)(HWND);
        shell_ordinal<ShutDownDialog>(kShutDownDialogOrdinal)(nullptr);
    });
}

HRESULT Dialog::About() {
    return untrapped([] { show_about(); });
}

HRESULT Dialog::AboutBox(long hwnd, BSTR InfoAbout, BSTR* Copyright, long* Icon, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        const std::wstring app(text_of(InfoAbout)), other(Copyright ? text_of(*Copyright) : std::wstring_view());
        return ShellAboutW(hwnd_of(hwnd), app.c_str(), other.c_str(), icon_of(arg_or(Icon, 0L))) == 1;
    });
}

HRESULT Dialog::ColorDlg(long hwnd, VARIANT_BOOL ExtColors, long* result) {
    return untrapped(result, [&] {
        COLORREF custom[16] = {};  // all black, fresh per call
        CHOOSECOLORA cc{};
        cc.lStructSize = sizeof(cc);
        cc.hwndOwner = hwnd_of(hwnd);
        cc.lpCustColors = custom;
        cc.Flags = CC_SOLIDCOLOR | (ExtColors ? CC_FULLOPEN : 0);
        return ChooseColorA(&cc) ? static_cast<long>(cc.rgbResult) : -1L;
    });
}

HRESULT Dialog::FontDlg(long* hwnd, IDispatch** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return trapped(Trap{Source::Dialog, L"FontDlg"}, [&] {
        CHOOSEFONTA cf{};
        cf.lStructSize = sizeof(cf);
        cf.hwndOwner = hwnd_of(arg_or(hwnd, 0L));
        cf.lpLogFont = &font_;
        cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
        cf.nFontType = SCREEN_FONTTYPE;

        // A face of blanks only presets no face; any other is cut to 31 characters.
        char* face = font_.lfFaceName;
        const size_t length = strnlen(face, LF_FACESIZE);
        if (length > 0 && std::string_view(face, length).find_first_not_of(' ') == std::string_view::npos)
            std::memset(face, ' ', LF_FACESIZE - 1);
        face[LF_FACESIZE - 1] = '\0';

        if (!ChooseFontA(&cf)) return;  // cancelled: nothing, the preset stays

        const std::wstring name = from_ansi(std::string_view(face, strnlen(face, LF_FACESIZE)));
        FONTDESC fd{sizeof(fd)};
        fd.lpstrName = const_cast<LPOLESTR>(name.c_str());
        fd.cySize.int64 = static_cast<LONGLONG>(cf.iPointSize) * 1000;  // tenths of a point -> currency points
        fd.sWeight = static_cast<SHORT>(font_.lfWeight >= FW_BOLD ? FW_BOLD : FW_NORMAL);
        fd.sCharset = DEFAULT_CHARSET;
        fd.fItalic = font_.lfItalic != 0;
        fd.fUnderline = font_.lfUnderline != 0;
        fd.fStrikethrough = font_.lfStrikeOut != 0;
        ComPtr<IFontDisp> font;
        check(OleCreateFontIndirect(&fd, IID_IFontDisp, font.put_void()));
        *result = font.detach();
    });
}

}  // namespace qm
