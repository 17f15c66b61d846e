// Special folders and the environment.
#include <windows.h>

#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/contract.h"
#include "runtime/safearray.h"
#include "system/shell_folder.h"
#include "system/system.h"

namespace qm {

namespace {

// Folder codes of 1000 and above that the member resolves itself.
constexpr long kQuickLaunch = 1000;
constexpr long kAllUsersProfile = 1001;
constexpr long kLastEnvironmentEntry = 1050;
constexpr long kUserTemp = 1100;
constexpr long kSystemTemp = 1200;
constexpr long kPrefetch = 1300;

std::wstring add_backslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring environment_variable(const wchar_t* name) {
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (n < value.size()) {
            value.resize(n);
            return value;
        }
        value.resize(n);
    }
}

// The process environment block, freed when done. Its entries are walked in
// block order, without the hidden per-drive entries that begin with "=".
class EnvironmentBlock {
public:
    EnvironmentBlock() noexcept : block_(GetEnvironmentStringsW()) {}
    ~EnvironmentBlock() {
        if (block_) FreeEnvironmentStringsW(block_);
    }
    EnvironmentBlock(const EnvironmentBlock&) = delete;
    EnvironmentBlock& operator=(const EnvironmentBlock&) = delete;

    // Calls entry(text) for each entry until it returns false.
    template <class Entry>
    void walk(Entry&& entry) const {
        if (!block_) return;
        for (const wchar_t* p = block_; *p;) {
            const size_t n = wcslen(p);
            if (*p != L'=' && !entry(std::wstring_view(p, n))) return;
            p += n + 1;
        }
    }
    size_t count() const {
        size_t n = 0;
        walk([&](std::wstring_view) { return ++n, true; });
        return n;
    }

private:
    wchar_t* block_;
};

// The text after the first "=" of environment entry n (counted from 1).
std::wstring environment_entry_value(size_t n) {
    std::wstring value;
    if (n == 0) return value;
    size_t k = 0;
    EnvironmentBlock().walk([&](std::wstring_view e) {
        if (++k < n) return true;
        size_t eq = e.find(L'=');
        if (eq != std::wstring_view::npos) value.assign(e.substr(eq + 1));
        return false;
    });
    return value;
}

std::wstring raw_folder(long folder) {
    if (folder >= 0 && folder < kQuickLaunch) return sys::shell_folder_path(static_cast<int>(folder));
    switch (folder) {
    // Quick Launch lies in the roaming application data (26), not the local one.
    case kQuickLaunch: return sys::special_folder(sdUser_AppData) + L"Microsoft\\Internet Explorer\\Quick Launch\\";
    case kAllUsersProfile: return environment_variable(L"ALLUSERSPROFILE");
    case kUserTemp: {
        wchar_t path[MAX_PATH + 1];
        DWORD n = GetTempPathW(MAX_PATH + 1, path);
        return n && n <= MAX_PATH ? std::wstring(path, n) : std::wstring();
    }
    case kSystemTemp: return sys::special_folder(sdSystem_Windows) + L"Temp";
    case kPrefetch: return sys::special_folder(sdSystem_Windows) + L"Prefetch";
    }
    if (folder > kAllUsersProfile && folder <= kLastEnvironmentEntry)
        return environment_entry_value(static_cast<size_t>(folder - 1000));
    return {};
}

}  // namespace

namespace sys {

std::wstring special_folder(long folder) {
    std::wstring path = raw_folder(folder);
    std::erase(path, L'\0');
    size_t b = path.find_first_not_of(L' '), e = path.find_last_not_of(L' ');
    path = b == std::wstring::npos ? std::wstring() : path.substr(b, e - b + 1);
    return add_backslash(std::move(path));
}

std::vector<std::wstring> environment() {
    const EnvironmentBlock block;
    std::vector<std::wstring> entries;
    entries.reserve(block.count());
    block.walk([&](std::wstring_view e) { return entries.emplace_back(e), true; });
    return entries;
}

}  // namespace sys

HRESULT System::SystemDirectory(::SystemDirectory* SysDir, BSTR* result) {
    if (!SysDir) return E_POINTER;
    return untrapped(result, [&] { return Bstr(sys::special_folder(static_cast<long>(*SysDir))); });
}

HRESULT System::Get_SystemDrive(BSTR* result) {
    return untrapped(result, [] { return Bstr(add_backslash(environment_variable(L"systemdrive"))); });
}

HRESULT System::Get_DOScommandPath(BSTR* result) {
    return untrapped(result, [] { return Bstr(environment_variable(L"ComSpec")); });
}

HRESULT System::Get_WindowsEnvironment(SAFEARRAY** result) {
    return untrapped(result, [] {
        // Straight from the block into the array, each entry made once as a BSTR.
        const EnvironmentBlock block;
        SafeArray entries(VT_BSTR, static_cast<long>(block.count()));
        if (entries.count() > 0) {
            BSTR* slots = &entries.at<BSTR>(0);
            long i = 0;
            block.walk([&](std::wstring_view e) { return i < entries.count() ? (slots[i++] = Bstr(e).detach(), true) : false; });
        }
        return entries.detach();
    });
}

}  // namespace qm
