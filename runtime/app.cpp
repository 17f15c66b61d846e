#include "runtime/app.h"

#include <memory>

#include "runtime/errors.h"
#include "runtime/module.h"

namespace qm {

namespace {

// The module's file name part, after its last "\".
size_t name_start(const std::wstring& path) {
    size_t i = path.find_last_of(L"\\/");
    return i == std::wstring::npos ? 0 : i + 1;
}

}  // namespace

std::wstring App::Path() {
    std::wstring path = module_path();
    std::wstring folder = path.substr(0, name_start(path));
    if (folder.size() > 1 && folder.back() == L'\\' && folder[folder.size() - 2] != L':') folder.pop_back();
    return folder;
}

std::wstring App::EXEName() {
    std::wstring path = module_path();
    std::wstring name = path.substr(name_start(path));
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) name.resize(dot);
    return name;
}

long App::Major() { return static_cast<long>(module_version().major); }
long App::Minor() { return static_cast<long>(module_version().minor); }
long App::Revision() { return static_cast<long>(module_version().revision); }
HINSTANCE App::hInstance() noexcept { return module_handle(); }
DWORD App::ThreadID() noexcept { return GetCurrentThreadId(); }

void Beep() noexcept { MessageBeep(MB_OK); }

std::wstring Environ(std::wstring_view name) {
    if (name.empty()) raise(err::InvalidCall);
    const std::wstring key(name);
    if (key.find(L'=') != std::wstring::npos) return {};
    std::wstring value(256, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        DWORD n = GetEnvironmentVariableW(key.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) return {};  // not set, or set to ""
        if (n < value.size()) {
            value.resize(n);
            return value;
        }
        value.resize(n);
    }
}

std::wstring Environ(long number) {
    if (number < 1) raise(err::InvalidCall);
    std::unique_ptr<wchar_t, decltype(&FreeEnvironmentStringsW)> block(GetEnvironmentStringsW(),
                                                                        &FreeEnvironmentStringsW);
    if (!block) return {};
    long n = 0;
    for (const wchar_t* p = block.get(); *p; p += wcslen(p) + 1) {
        if (*p == L'=') continue;
        if (++n == number) return p;
    }
    return {};
}

}  // namespace qm
