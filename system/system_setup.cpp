// Registering components and fonts, where classes live, what a DLL is, the
// autostart entry and the list of installed software.
#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "files/registry_key.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/safearray.h"
#include "runtime/wow64.h"
#include "system/system.h"

namespace qm {

namespace {

constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kRun[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr DWORD kRegisterWait = 10000;

using RegisterFn = HRESULT(STDAPICALLTYPE*)();
static_assert(std::is_same_v<RegisterFn, decltype(&DllRegisterServer)> &&
              std::is_same_v<RegisterFn, decltype(&DllUnregisterServer)>);

// The registration thread: the entry point takes no argument and answers an
// HRESULT, which becomes the thread's exit code.
DWORD WINAPI run_registration(void* entry) {
    return static_cast<DWORD>(reinterpret_cast<RegisterFn>(entry)());
}

// The text of a value, "" when it is missing or not text.
std::wstring text_value(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!reg::query(key, name, type, data) || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
    return reg::text_of(data);
}

// A key of the classes on the machine: the process's own classes root first,
// then on 64-bit Windows the machine's classes of the other half, which keeps
// its classes apart (class identifiers always, the rest on some versions): a
// class of either half is on the machine. Null when neither holds the key.
HKEY open_class_key(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) return key;
    return open_other_half_classes(path, KEY_READ);
}

std::wstring default_text(const std::wstring& path) {
    HKEY key = open_class_key(path);
    if (!key) return {};
    std::wstring value = text_value(key, L"");
    RegCloseKey(key);
    return value;
}

bool class_registered(BSTR name) {
    HKEY key = open_class_key(reg::path_of(name));
    if (!key) return false;
    RegCloseKey(key);
    return true;
}

// A file's bytes at an offset; false when the file is shorter.
bool read_at(std::ifstream& f, unsigned long long offset, void* into, size_t n) {
    f.clear();
    f.seekg(static_cast<std::streamoff>(offset));
    f.read(static_cast<char*>(into), static_cast<std::streamsize>(n));
    return f.gcount() == static_cast<std::streamsize>(n);
}

}  // namespace

namespace sys {

::DLLType dll_type(const std::wstring& path) {
    std::ifstream f(path.c_str(), std::ios::binary);
    if (!f) return dtNODLL;
    IMAGE_DOS_HEADER dos{};
    if (!read_at(f, 0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0) return dtNODLL;
    DWORD signature = 0;
    IMAGE_FILE_HEADER file{};
    unsigned long long at = static_cast<unsigned long long>(dos.e_lfanew);
    if (!read_at(f, at, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE ||
        !read_at(f, at + 4, &file, sizeof file))
        return dtNODLL;
    const unsigned long long optional = at + 4 + sizeof file;
    WORD magic = 0;
    if (!read_at(f, optional, &magic, sizeof magic)) return dtNODLL;
    IMAGE_DATA_DIRECTORY exports{};
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        IMAGE_OPTIONAL_HEADER32 h{};
        if (file.SizeOfOptionalHeader < offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory) ||
            !read_at(f, optional, &h, std::min<size_t>(sizeof h, file.SizeOfOptionalHeader)))
            return dtNODLL;
        if (h.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_EXPORT) exports = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        IMAGE_OPTIONAL_HEADER64 h{};
        if (file.SizeOfOptionalHeader < offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory) ||
            !read_at(f, optional, &h, std::min<size_t>(sizeof h, file.SizeOfOptionalHeader)))
            return dtNODLL;
        if (h.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_EXPORT) exports = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    } else {
        return dtNODLL;
    }
    if (!exports.VirtualAddress || !exports.Size) return dtSTANDARDDLL;

    std::vector<IMAGE_SECTION_HEADER> sections(file.NumberOfSections);
    if (!sections.empty() && !read_at(f, optional + file.SizeOfOptionalHeader, sections.data(),
                                      sections.size() * sizeof(IMAGE_SECTION_HEADER)))
        return dtSTANDARDDLL;
    // The file offset of a relative address, 0 when no section holds it.
    auto offset_of = [&](DWORD rva) -> unsigned long long {
        for (const auto& s : sections) {
            DWORD size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress < size)
                return static_cast<unsigned long long>(s.PointerToRawData) + (rva - s.VirtualAddress);
        }
        return 0;
    };
    IMAGE_EXPORT_DIRECTORY dir{};
    unsigned long long d = offset_of(exports.VirtualAddress);
    if (!d || !read_at(f, d, &dir, sizeof dir)) return dtSTANDARDDLL;
    unsigned long long names = offset_of(dir.AddressOfNames);
    if (!names || dir.NumberOfNames > 0x100000) return dtSTANDARDDLL;
    std::vector<DWORD> rvas(dir.NumberOfNames);
    if (!rvas.empty() && !read_at(f, names, rvas.data(), rvas.size() * sizeof(DWORD))) return dtSTANDARDDLL;
    static constexpr char kWanted[] = "DllRegisterServer";  // with its NUL
    for (DWORD rva : rvas) {
        char name[sizeof kWanted]{};
        unsigned long long n = offset_of(rva);
        if (n && read_at(f, n, name, sizeof name) && std::equal(name, name + sizeof name, kWanted))
            return dtACTIVEXDLL;
    }
    return dtSTANDARDDLL;
}

}  // namespace sys

HRESULT System::Component_Register(BSTR ComponentPath, REGISTERCOMMAND* cmd, VARIANT_BOOL* result) {
    if (!cmd) return E_POINTER;
    return untrapped(result, [&] {
        HMODULE module = LoadLibraryW(reg::path_of(ComponentPath));
        if (!module) return false;
        const char* entry_name = *cmd == riUNREGISTER ? "DllUnregisterServer" : "DllRegisterServer";
        auto entry = reinterpret_cast<void*>(GetProcAddress(module, entry_name));
        if (!entry) {
            FreeLibrary(module);
            return true;
        }
        HANDLE thread = CreateThread(nullptr, 0, run_registration, entry, 0, nullptr);
        if (!thread) {
            FreeLibrary(module);
            return false;
        }
        DWORD exit_code = static_cast<DWORD>(E_FAIL);
        bool finished = WaitForSingleObject(thread, kRegisterWait) == WAIT_OBJECT_0;
        if (finished) GetExitCodeThread(thread, &exit_code);
        CloseHandle(thread);
        // A registration still running keeps its module: freeing code a thread
        // still runs would bring the whole client down.
        if (!finished) return false;
        FreeLibrary(module);
        return static_cast<HRESULT>(exit_code) == S_OK;
    });
}

HRESULT System::Font_Register(BSTR FontPath, REGISTERCOMMAND* cmd, VARIANT_BOOL* result) {
    if (!cmd) return E_POINTER;
    return untrapped(result, [&] {
        switch (*cmd) {
        case riREGISTER: return AddFontResourceW(reg::path_of(FontPath)) != 0;
        case riUNREGISTER: return RemoveFontResourceW(reg::path_of(FontPath)) != 0;
        default: return false;
        }
    });
}

HRESULT System::Class_isRegistered(BSTR Class, VARIANT_BOOL* result) {
    return untrapped(result, [&] { return class_registered(Class); });
}

HRESULT System::Class_GetPath(BSTR Class, BSTR* result) {
    return untrapped(result, [&] {
        if (!class_registered(Class)) return Bstr();
        std::wstring clsid = default_text(std::wstring(reg::path_of(Class)) + L"\\CLSID");
        if (clsid.empty()) return Bstr();
        return Bstr(default_text(L"CLSID\\" + clsid + L"\\InprocServer32"));
    });
}

HRESULT System::Get_DLLType(BSTR* DLLpath, ::DLLType* result) {
    if (!DLLpath || !result) return E_POINTER;
    *result = dtNODLL;
    return untrapped([&] { *result = sys::dll_type(reg::path_of(*DLLpath)); });
}

// An entry needs a name and a program: without either nothing is written (an
// empty name would overwrite the key's default value) and the result is False.
HRESULT System::AutoRun(BSTR Field, BSTR EXEpath, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (SysStringLen(Field) == 0 || SysStringLen(EXEpath) == 0) return false;
        Bstr key(kRun);
        Variant value;
        value.get()->vt = VT_BSTR;
        value.get()->bstrVal = SysAllocString(reg::path_of(EXEpath));
        VARIANT_BOOL done = VARIANT_FALSE;
        check(shared<_Registry>()->ValueSet(HKEY_LOCAL_MACHINE_, key.get(), Field, *value.get(), &done));
        return done != VARIANT_FALSE;
    });
}

// The programs of both registry views on 64-bit Windows, as the system's own list
// shows them: each program once, though the same entry may be in both views.
HRESULT System::Get_InstalledSoftware(INSTALLEDSOFTWAREINFO* result) {
    if (!result) return E_POINTER;
    std::vector<std::wstring> names, commands;
    std::set<std::pair<std::wstring, std::wstring>> seen;
    for (REGSAM view : machine_views()) {
        HKEY root = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ | view, &root) != ERROR_SUCCESS) continue;
        wchar_t sub[256];
        for (DWORD i = 0;; ++i) {
            DWORD n = 256;
            LONG rc = RegEnumKeyExW(root, i, sub, &n, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA) continue;
            if (rc != ERROR_SUCCESS) break;
            HKEY key = nullptr;
            if (RegOpenKeyExW(root, sub, 0, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
            std::wstring name = text_value(key, L"DisplayName");
            std::wstring command;
            if (!name.empty()) {
                command = text_value(key, L"UninstallString");
            } else {
                name = text_value(key, L"QuietDisplayName");
                command = text_value(key, L"QuietUninstallString");
            }
            RegCloseKey(key);
            if (name.empty() || !seen.emplace(name, command).second) continue;
            names.push_back(std::move(name));
            commands.push_back(std::move(command));
        }
        RegCloseKey(root);
    }
    return untrapped([&] {
        SafeArray display = string_array(names), uninstall = string_array(commands);
        result->DISPLAYNAME = display.detach();
        result->UNINSTALLSTRING = uninstall.detach();
    });
}

}  // namespace qm
