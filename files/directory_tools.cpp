// Directory: deleting a folder with its content, the access probe, and opening
// a folder in the file manager.
#include <windows.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "files/directory.h"
#include "files/filebase.h"
#include "files/folder_walk.h"
#include "files/shell.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/interfaces.h"

namespace qm {

namespace {

bool exists(const std::wstring& path) {
    try {
        return GetFileAttributesW(win32_path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    } catch (const RuntimeError&) {
        return false;
    }
}

// The entries of a folder, taken before any of them is deleted.
struct Listed {
    std::wstring name;
    DWORD attributes;
};
std::vector<Listed> listing(FolderWalk& walk, const std::wstring& folder, bool& listed) {
    std::vector<Listed> entries;
    listed = walk.list(folder, [&](const FolderEntry& e) {
        entries.push_back({std::wstring(e.name), e.attributes});
        return true;
    });
    return entries;
}

// Removes folder (with its trailing "\") and everything in it as far as it
// can; a link inside is removed, not followed. The first error, or 0.
DWORD remove_tree(FolderWalk& walk, const std::wstring& folder) {
    DWORD first = 0;
    const auto note = [&](BOOL ok) {
        if (!ok && !first) first = GetLastError();
    };
    bool listed = false;
    for (const Listed& e : listing(walk, folder, listed)) {
        const std::wstring path = folder + e.name;
        std::wstring full;
        try {
            full = win32_path(path);
        } catch (const RuntimeError&) {
            if (!first) first = ERROR_INVALID_NAME;
            continue;
        }
        if (e.attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(full.c_str(), e.attributes & ~FILE_ATTRIBUTE_READONLY);
        if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            note(DeleteFileW(full.c_str()));
        } else if (e.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            note(RemoveDirectoryW(full.c_str()));
        } else if (DWORD nested = remove_tree(walk, path + L"\\")) {
            if (!first) first = nested;
        }
    }
    const std::wstring self = win32_path(folder);
    if (!listed && GetFileAttributesW(self.c_str()) == INVALID_FILE_ATTRIBUTES) return first ? first : GetLastError();
    SetFileAttributesW(self.c_str(), FILE_ATTRIBUTE_NORMAL);
    note(RemoveDirectoryW(self.c_str()));
    return first;
}

}  // namespace

// Deletes the folder with all its content: with DeleteContent through the
// library's recursive deletion, which leaves read-only files (75); without it
// read-only entries go too. 0 or the error number.
HRESULT Directory::Delete(BSTR Directory, VARIANT_BOOL DeleteContent, long* result) {
    return untrapped(result, [&]() -> long {
        const std::wstring path = RemoveBackslash(text_of(Directory));
        if (DeleteContent) return DeleteTree(path);
        try {
            if (path.empty()) raise(err::PathNotFound);
            FolderWalk walk;
            if (const DWORD code = remove_tree(walk, AddBackslash(path)))
                raise_file_error(code == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : code);
            return 0;
        } catch (const RuntimeError& e) {
            detail::report(Trap{Source::Directory, L"Delete"}, e);
            return e.number();
        }
    });
}

// Deletes the folder and everything in it, whatever fails on the way: what
// cannot be deleted stays, the rest goes.
HRESULT Directory::DelTree(BSTR Directory) {
    return untrapped([&] {
        try {
            const std::wstring folder = AddBackslash(text_of(Directory));
            if (folder == L"\\") return;
            FolderWalk walk;
            remove_tree(walk, folder);
        } catch (const RuntimeError&) {
        }
    });
}

// Tries each right in the folder: listing it, writing, reading and deleting a
// file, making and removing a folder. Whatever the probe made is gone afterwards.
HRESULT Directory::DirectoryIsAccesable(BSTR Directory, long* ErrorNumber, DIRECTORYACCESSINFO* result) {
    if (!result) return E_POINTER;
    *result = DIRECTORYACCESSINFO{};
    std::wstring test_file, test_folder;
    bool folder_made = false;
    const HRESULT hr = trapped(Trap{Source::Directory, L"DirectoryIsAccesable", ErrorNumber}, [&] {
        const std::wstring folder = AddBackslash(text_of(Directory));
        Bstr where(folder), made;
        BSTR where_arg = where.get();
        check(shared<_File>()->TempFile_Create(&where_arg, made.put()));
        test_file = made.str();
        static std::mt19937 random{std::random_device{}()};
        static constexpr wchar_t kChars[] = L"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
        test_folder = folder;
        for (int i = 0; i < 20; ++i) test_folder += kChars[random() % (sizeof(kChars) / sizeof(wchar_t) - 1)];

        Bstr path(folder);
        BSTR path_arg = path.get();
        VARIANT_BOOL is_folder = VARIANT_FALSE;
        check(PathIsDirectory(&path_arg, &is_folder));
        if (!is_folder) return;

        Variant dirs, files;
        long attributes = 7, r = -1;
        check(Read(Bstr(folder).get(), dirs.get(), files.get(), &attributes, &r));
        result->CanReadDirectory = r == 0 ? VARIANT_TRUE : VARIANT_FALSE;
        if (!test_file.empty()) {  // without a file of its own the probe proves nothing about files
            check(shared<_Text>()->TextFile_WriteText(Bstr(test_file).get(), Bstr(L"test").get(), &r));
            result->CanWriteFiles = r == 0 ? VARIANT_TRUE : VARIANT_FALSE;
            long error = 0;
            Bstr text;
            check(shared<_Text>()->TextFile_Read(Bstr(test_file).get(), &error, text.put()));
            result->CanOpenFiles = text.str() == L"test" ? VARIANT_TRUE : VARIANT_FALSE;
            check(shared<_File>()->fKill(Bstr(test_file).get(), &r));
            result->CanDeleteFiles = r == 0 && !exists(test_file) ? VARIANT_TRUE : VARIANT_FALSE;
        }
        const bool existed = exists(test_folder);
        check(CreatePath(Bstr(test_folder).get(), &result->CanCreateDirs));
        folder_made = !existed && exists(test_folder);
        if (folder_made) {
            check(Delete(Bstr(test_folder).get(), VARIANT_FALSE, &r));
            result->CanDeleteDirs = r == 0 ? VARIANT_TRUE : VARIANT_FALSE;
        }
    });
    // Nothing of the probe stays behind, also after an error.
    try {
        if (!test_file.empty()) {
            const std::wstring full = win32_path(test_file);
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(full.c_str());
        }
        if (folder_made) RemoveDirectoryW(win32_path(test_folder).c_str());
    } catch (const RuntimeError&) {
    }
    return hr;
}

// Opens the folder in the file manager, maximised: as root of its tree with
// isRoot, with SelectedItem selected when given. False when the folder does not
// exist or the file manager could not be started.
HRESULT Directory::OpenPath(BSTR Path, BSTR* SelectedItem, VARIANT_BOOL* isRoot, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        VARIANT_BOOL create = VARIANT_FALSE, exists = VARIANT_FALSE;
        check(Exist(Path, &create, &exists));
        if (!exists) return false;
        const std::wstring folder = AddBackslash(text_of(Path));
        const std::wstring item = SelectedItem ? std::wstring(text_of(*SelectedItem)) : std::wstring();
        const std::optional<std::wstring> shown = explorer_argument(item.empty() ? folder : folder + item);
        if (!shown) return false;  // an item holding a quote: no name does
        std::wstring text = item.empty() ? *shown : L"/select," + *shown;
        if (isRoot && *isRoot) text = L"/root," + text;
        Bstr program(L"Explorer.exe"), parameters(text);
        long style = 3;
        VARIANT_BOOL started = VARIANT_FALSE;
        BSTR program_arg = program.get(), parameters_arg = parameters.get();
        check(shared<_Shell>()->Execute(&program_arg, &parameters_arg, &style, &started));
        return started != VARIANT_FALSE;
    });
}

}  // namespace qm
