// Desktop.Desktops: further desktops of the window station, made, switched to,
// started on, closed and listed.
#include <windows.h>

#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"
#include "windows/desktop.h"

namespace qm {

namespace {

BOOL CALLBACK EnumDesktops_Callback(LPWSTR name, LPARAM list) {
    reinterpret_cast<std::vector<std::wstring>*>(list)->emplace_back(name ? name : L"");
    return TRUE;
}

}  // namespace

Desktop::~Desktop() {
    // The handles this instance holds; the desktops themselves go when their
    // last window and handle are gone.
    for (auto& d : desktops_) {
        if (d.old_input) CloseDesktop(d.old_input);
        if (d.desktop) CloseDesktop(d.desktop);
    }
}

// Back to the desktops of before, and the entry with its handles gone.
void Desktop::unload(size_t index) {
    MadeDesktop d = desktops_[index];
    desktops_.erase(desktops_.begin() + static_cast<std::ptrdiff_t>(index));
    if (d.old_input) {
        SwitchDesktop(d.old_input);
        CloseDesktop(d.old_input);
    }
    if (d.old_thread) SetThreadDesktop(d.old_thread);
    if (d.desktop) CloseDesktop(d.desktop);
}

HRESULT Desktop::Desktops(DeskCommand* Command, BSTR DesktopName, BSTR AppPath, SAFEARRAY** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    // Errors are skipped here: each step does what it can.
    try {
        const std::wstring name(text_of(DesktopName));
        auto find = [&]() -> long {
            for (size_t i = 0; i < desktops_.size(); ++i)
                if (desktops_[i].name == name) return static_cast<long>(i);
            return -1;
        };
        switch (Command ? static_cast<long>(*Command) : -1) {
        case dcCreate_New: {
            MadeDesktop d{GetThreadDesktop(GetCurrentThreadId()), OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP),
                          CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr), name};
            desktops_.push_back(std::move(d));
            break;
        }
        case dcSwitchDesktop:
            if (long i = find(); i >= 0) {
                SetThreadDesktop(desktops_[i].desktop);
                SwitchDesktop(desktops_[i].desktop);
            }
            break;
        case dcUnload:
            if (long i = find(); i >= 0) unload(static_cast<size_t>(i));
            break;
        case dcUnload_All:
            while (!desktops_.empty()) unload(0);
            break;
        case dcExecute:
            if (name.empty()) {
                BSTR path = SysAllocStringLen(AppPath, SysStringLen(AppPath));
                VARIANT_BOOL ok = VARIANT_FALSE;
                shared<_Shell>()->Execute(&path, nullptr, nullptr, &ok);
                SysFreeString(path);
            } else {
                std::wstring command(text_of(AppPath));
                STARTUPINFOW si{};
                si.cb = sizeof si;
                si.lpDesktop = const_cast<wchar_t*>(name.c_str());
                PROCESS_INFORMATION pi{};
                if (!command.empty() && CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                                       NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi)) {
                    CloseHandle(pi.hThread);
                    CloseHandle(pi.hProcess);
                }
            }
            break;
        case dcGetDesktops: {
            std::vector<std::wstring> names;
            EnumDesktopsW(GetProcessWindowStation(), EnumDesktops_Callback, reinterpret_cast<LPARAM>(&names));
            if (!names.empty()) *result = string_array(names).detach();
            break;
        }
        default: break;
        }
    } catch (...) {
        // Skipped, as every error of this member.
    }
    return S_OK;
}

}  // namespace qm
