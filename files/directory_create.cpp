// Directory: every missing folder of a path made.
#include <string>

#include "files/directory.h"
#include "files/filebase.h"
#include "runtime/contract.h"
#include "runtime/files.h"

namespace qm {

namespace {

bool is_folder(const std::wstring& full) {
    const DWORD a = GetFileAttributesW(full.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Makes each missing folder of AddBackslash(Path), from the root down; True when
// all of them exist afterwards (also when they all existed before).
HRESULT Directory::CreatePath(BSTR Path, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        std::wstring full;
        try {
            full = win32_path(AddBackslash(text_of(Path)));
        } catch (const RuntimeError&) {
            return false;
        }
        // Where the folders start: after "X:\", "\\server\share\" or their "\\?\" forms.
        size_t start = 0;
        if (full.starts_with(L"\\\\?\\UNC\\"))
            start = 8;
        else if (full.starts_with(L"\\\\?\\"))
            start = 4;
        else if (full.starts_with(L"\\\\"))
            start = 2;
        if (start != 4 && start != 0) {  // server and share
            for (int part = 0; part < 2 && start != std::wstring::npos; ++part) start = full.find(L'\\', start) + 1;
            if (start == 0) return false;
        } else {
            start = full.find(L'\\', start) + 1;  // after the drive
        }
        for (size_t slash = full.find(L'\\', start); slash != std::wstring::npos; slash = full.find(L'\\', slash + 1)) {
            const std::wstring folder = full.substr(0, slash);
            if (is_folder(folder)) continue;
            if (!CreateDirectoryW(folder.c_str(), nullptr) && !is_folder(folder)) return false;
        }
        return is_folder(full);
    });
}

}  // namespace qm
