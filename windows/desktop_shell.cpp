// Desktop: the recycle bin, recent documents, control-panel pages, the shell's
// virtual folders, the names of the desktop's system icons and entries of My
// Computer.
#include <windows.h>
#include <shellapi.h>

#include <limits>
#include <string>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/forms/globals.h"
#include "runtime/variant.h"
#include "windows/desktop.h"
#include "windows/desktop_recent.h"
#include "windows/window_common.h"

namespace qm {

namespace {

constexpr wchar_t kMyComputer[] = L"{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
constexpr wchar_t kRecycleBin[] = L"{645FF040-5081-101B-9F08-00AA002F954E}";
constexpr wchar_t kControlPanel[] = L"{21EC2020-3AEA-1069-A2DD-08002B30309D}";
constexpr wchar_t kNetwork[] = L"{208D2C60-3AEA-1069-A2D7-08002B30309D}";
constexpr wchar_t kPrinters[] = L"{2227A280-3AEA-1069-A2DE-08002B30309D}";
constexpr wchar_t kConnections[] = L"{7007acc7-3202-11d1-aad2-00805fc1270e}";

const wchar_t* system_icon_class(long icon) {
    switch (icon) {
    case diRECYCLEBIN: return kRecycleBin;
    case diMYCOMPUTER: return kMyComputer;
    case diSYSTEMPANEL: return kControlPanel;
    case diNETNEIGHBOURHOOD: return kNetwork;
    default: return nullptr;
    }
}

void set_value(RegRoot root, const std::wstring& key, const wchar_t* field, std::wstring_view text) {
    Bstr k(key), f(field);
    VARIANT_BOOL ok = VARIANT_FALSE;
    check(shared<_Registry>()->ValueSet(root, k.get(), f.get(), Variant(text), &ok));
}

void create_key(RegRoot root, const std::wstring& key) {
    Bstr k(key);
    Variant none = Variant::missing();
    VARIANT_BOOL ok = VARIANT_FALSE;
    check(shared<_Registry>()->KeyCreate(root, k.get(), none.get(), &ok));
}

bool key_exists(RegRoot root, const std::wstring& key) {
    Bstr k(key);
    VARIANT_BOOL ok = VARIANT_FALSE;
    check(shared<_Registry>()->KeyExist(root, k.get(), &ok));
    return ok != VARIANT_FALSE;
}

}  // namespace

std::wstring system_panel_command(long app, long* window_style) {
    static constexpr const wchar_t* kPages[] = {
        nullptr,                 nullptr,                  L" appwiz.cpl,,0",    L" appwiz.cpl,,1",
        L" appwiz.cpl,,2",       L" sysdm.cpl,,0",         L" sysdm.cpl,,1",     L" sysdm.cpl,,2",
        L" timedate.cpl",        L" intl.cpl,,0",          L" desk.cpl,,0",      L" inetcpl.cpl,,0",
        L" main.cpl @1",         L" main.cpl @0",          L" modem.cpl",        L" mmsys.cpl @1",
        nullptr,                 L" access.cpl @1",        L" intl.cpl,,0",      L" odbccp32.cpl @1",
        L" joy.cpl @1",          L" wuaucpl.cpl @1"};
    if (window_style) *window_style = 2;
    if (app == syNew_Printer) {
        if (window_style) *window_style = 1;
        return L"rundll32.exe shell32.dll,SHHelpShortcuts_RunDLL AddPrinter";
    }
    if (app < syRemove_Software || app > syWindows_Update) return {};
    return std::wstring(L"rundll32.exe shell32.dll,Control_RunDLL") + kPages[app] +
           (app == sySound_Settings ? L"\", 5" : L"\", 1");
}

std::wstring system_dir_command(long dir) {
    std::wstring path;
    switch (dir) {
    case sdMYCOMPUTER: path = kMyComputer; break;
    case sdRECYCLEBIN: path = kRecycleBin; break;
    case sdSYSTEMPANEL: path = std::wstring(kMyComputer) + L"\\::" + kControlPanel; break;
    case sdNETWORKCONNECTIONS:
        path = std::wstring(kMyComputer) + L"\\::" + kControlPanel + L"\\::" + kConnections;
        break;
    case sdNETWORKENVIRONMENT: path = kNetwork; break;
    case sdPRINTER: path = kPrinters; break;
    default: return {};
    }
    return L"Explorer.exe ::" + path;
}

HRESULT Desktop::RecycleBin_Info(RECYCLEBININFO* Info) {
    if (!Info) return E_POINTER;
    return untrapped([&] {
        SHQUERYRBINFO query{};
        query.cbSize = sizeof query;
        SHQueryRecycleBinW(nullptr, &query);
        // A Long cannot hold a larger bin: an error rather than the low bits.
        constexpr long long kMax = std::numeric_limits<long>::max();
        if (query.i64Size < 0 || query.i64Size > kMax || query.i64NumItems < 0 || query.i64NumItems > kMax)
            raise(err::Overflow);
        Info->Size = static_cast<long>(query.i64Size);
        Info->ITEMCOUNT = static_cast<long>(query.i64NumItems);
        Info->EMPTY = query.i64NumItems == 0 ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

HRESULT Desktop::RecycleBin_Clear(long* hwnd, VARIANT_BOOL* Confirm, VARIANT_BOOL* ShowProgress,
                                  VARIANT_BOOL* PlaySound) {
    return untrapped([&] {
        DWORD flags = 0;
        if (!flag_or(Confirm, false)) flags |= SHERB_NOCONFIRMATION;
        if (!flag_or(ShowProgress, false)) flags |= SHERB_NOPROGRESSUI;
        if (!flag_or(PlaySound, false)) flags |= SHERB_NOSOUND;
        SHEmptyRecycleBinW(hwnd_of(hwnd ? *hwnd : 0), nullptr, flags);
        check(RecycleBin_UpdateIcon());
    });
}

HRESULT Desktop::RecycleBin_UpdateIcon() {
    recycle_bin_update_icon();
    return S_OK;
}

HRESULT Desktop::RecentDocs(RECENTDOCSCOMMAND* Command, BSTR* File) {
    return untrapped([&] {
        const long command = Command ? static_cast<long>(*Command) : 0;
        if (command == rdADDFILE) {
            std::wstring path(File ? text_of(*File) : std::wstring_view());
            recent_docs_add(path.c_str());
        } else if (command == rdCLEAR) {
            recent_docs_add(nullptr);
        }
    });
}

HRESULT Desktop::SystemPanel(::SystemPanelApp* SystemPanelApp, long* ErrorNumber, long* result) {
    return trapped(Trap{Source::Desktop, L"SystemPanel", ErrorNumber}, result, -2L, [&]() -> long {
        const long app = SystemPanelApp ? static_cast<long>(*SystemPanelApp) : 0;
        if (app == syControlPanel) {
            SYSTEMDIR dir = sdSYSTEMPANEL;
            long ignored = 0;
            check(SystemDirOpen(&dir, &ignored));
            return 0;
        }
        long style = 2;
        const std::wstring command = system_panel_command(app, &style);
        if (command.empty()) return 0;
        return CLng(forms::shell(command, style));
    });
}

HRESULT Desktop::SystemDirOpen(SYSTEMDIR* SysDir, long* result) {
    return trapped(Trap{Source::Desktop, L"SystemDirOpen"}, result, ErrorNumberResult{}, [&]() -> long {
        const std::wstring command = system_dir_command(SysDir ? static_cast<long>(*SysDir) : 0);
        if (!command.empty()) forms::shell(command, 1);
        return 0;
    });
}

HRESULT Desktop::DesktopSystemIcons_Rename(DESKTOPSYSTEMICON* SystemIcon, BSTR NewName) {
    return untrapped([&] {
        const wchar_t* id = system_icon_class(SystemIcon ? static_cast<long>(*SystemIcon) : 0);
        if (!id) return;
        set_value(HKEY_CLASSES_ROOT_, std::wstring(L"CLSID\\") + id, L"", text_of(NewName));
        check(Desktop_Update());
    });
}

HRESULT Desktop::MyComputer_SetIcon(BSTR AppName, BSTR AppPath, BSTR AppInfoTip) {
    return untrapped([&] {
        const std::wstring prefix = L"{00000000-0000-0000-8000-00AA000";
        long n = 0;
        Bstr first(L"D0EA0");
        check(shared<_Mathematics>()->HexToDec(first.get(), &n));
        std::wstring id = prefix + L"D0EA0}";
        while (key_exists(HKEY_CLASSES_ROOT_, L"CLSID\\" + id)) {
            ++n;
            BSTR hex = nullptr;
            check(shared<_Mathematics>()->DecToHex(n, &hex));
            Bstr owned(Bstr::copy(hex));
            SysFreeString(hex);
            id = prefix + owned.str() + L"}";
        }
        const std::wstring key = L"CLSID\\" + id;
        create_key(HKEY_CLASSES_ROOT_, key);
        set_value(HKEY_CLASSES_ROOT_, key, L"", text_of(AppName));
        set_value(HKEY_CLASSES_ROOT_, key, L"InfoTip", text_of(AppInfoTip));
        create_key(HKEY_CLASSES_ROOT_, key + L"\\DefaultIcon");
        create_key(HKEY_CLASSES_ROOT_, key + L"\\Shell\\Open\\command");
        const std::wstring space = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\NameSpace\\" + id;
        create_key(HKEY_LOCAL_MACHINE_, space);
        set_value(HKEY_LOCAL_MACHINE_, space, L"", L"YOUR APP");
        set_value(HKEY_CLASSES_ROOT_, key + L"\\DefaultIcon", L"", std::wstring(text_of(AppPath)) + L",0");
        set_value(HKEY_CLASSES_ROOT_, key + L"\\Shell\\Open\\command", L"", text_of(AppPath));
        check(Desktop_Update());
    });
}

}  // namespace qm
