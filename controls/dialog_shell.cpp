// Dialog: the shell's Run, search, shut-down and about dialogs, and the
// system's colour and font dialogs.
#include <windows.h>
#include <commdlg.h>
#include <olectl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "about/frm_about.h"
#include "controls/dialog.h"
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

}  // namespace

// The dialog takes UTF-16 texts on the NT family, the only one the library runs on.
HRESULT Dialog::Execute(BSTR Title, BSTR* Prompt, long* Icon) {
    return untrapped([&] {
        const std::wstring title(text_of(Title)), prompt(Prompt ? text_of(*Prompt) : std::wstring_view());
        const HICON icon = icon_of(arg_or(Icon, 0L));
        using RunDialog = void(WINAPI*)(HWND, HICON, const wchar_t*, const wchar_t*, const wchar_t*, UINT);
        shell_ordinal<RunDialog>(kRunDialogOrdinal)(nullptr, icon, nullptr, title.c_str(), prompt.c_str(), 0);
    });
}

HRESULT Dialog::Find(BSTR* Path) {
    return untrapped([&] {
        const std::wstring_view given = Path ? text_of(*Path) : std::wstring_view(L"C:\\");
        check_plain_path(given);  // the shell never returns from a longer one
        const std::wstring path(given);
        ShellExecuteW(nullptr, L"find", path.c_str(), L"", L"C:\\", SW_SHOWNORMAL);
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
        CHOOSECOLORW cc{};
        cc.lStructSize = sizeof(cc);
        cc.hwndOwner = hwnd_of(hwnd);
        cc.lpCustColors = custom;
        cc.Flags = CC_SOLIDCOLOR | (ExtColors ? CC_FULLOPEN : 0);
        return ChooseColorW(&cc) ? static_cast<long>(cc.rgbResult) : -1L;
    });
}

HRESULT Dialog::FontDlg(long* hwnd, IDispatch** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return trapped(Trap{Source::Dialog, L"FontDlg"}, [&] {
        CHOOSEFONTW cf{};
        cf.lStructSize = sizeof(cf);
        cf.hwndOwner = hwnd_of(arg_or(hwnd, 0L));
        cf.lpLogFont = &font_;
        cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
        cf.nFontType = SCREEN_FONTTYPE;

        // A face of blanks only presets no face; any other is cut to 31 characters.
        wchar_t* face = font_.lfFaceName;
        const size_t length = wcsnlen(face, LF_FACESIZE);
        if (length > 0 && std::wstring_view(face, length).find_first_not_of(L' ') == std::wstring_view::npos)
            std::fill_n(face, LF_FACESIZE - 1, L' ');
        face[LF_FACESIZE - 1] = L'\0';

        if (!ChooseFontW(&cf)) return;  // cancelled: nothing, the preset stays

        const std::wstring name(face, wcsnlen(face, LF_FACESIZE));
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
